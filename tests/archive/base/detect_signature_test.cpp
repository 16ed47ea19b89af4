// The signature table of archive type detection: every row in both columns.

#include <gtest/gtest.h>

#include "archive/base/SignatureTable.h"

namespace ruvevid {
namespace {

using enum TArcType;

struct TRow {
  const char* Title;
  TSignatureHead Head;
  TSignatureClass Plain;
  TSignatureClass Executable;
};

class DetectSignatureTable : public ::testing::TestWithParam<TRow> {};

TEST_P(DetectSignatureTable, BothColumns) {
  const TRow& Row = GetParam();
  EXPECT_EQ(ClassifySignatureHead(false, Row.Head), Row.Plain);
  EXPECT_EQ(ClassifySignatureHead(true, Row.Head), Row.Executable);
}

constexpr TSignatureClass Split{atNA, true, false, false};
constexpr TSignatureClass SplitThenLocate{atNA, true, true, false};
constexpr TSignatureClass ArcStub{atArcExe, false, false, true};

INSTANTIATE_TEST_SUITE_P(
    Rows, DetectSignatureTable,
    ::testing::Values(TRow{"Bh", {0x42, 0x48, 0x05, 0x07}, {atBh}, {atBhExe}},
                      TRow{"Rar", {'R', 'a', 'r', '!'}, {atRar}, {atRarExe}},
                      TRow{"Pkg5", {'P', 'K', 'G', '5'}, {atUnknown}, {atUnknown}},
                      TRow{"Cab", {'M', 'S', 'C', 'F'}, {atCab}, {atCabExe}},
                      TRow{"ArcTw", {0xB7, 0xDF, 'T', 'W'}, {atArc}, ArcStub},
                      TRow{"MsGz", {0x13, 0x5D, 0x65, 0x8C}, {atMsGZ}, {atUnsupported}},
                      TRow{"Lha", {'x', 'y', '-', 'l'}, {atLha}, {atLhaExe}},
                      TRow{"Arc02", {0x1A, 0x02, 0, 0}, {atArc}, {atUnsupported}},
                      TRow{"Arc1E", {0x1A, 0x1E, 0, 0}, {atArc}, {atUnsupported}},
                      TRow{"Arc08", {0x1A, 0x08, 0, 0}, {atArc}, {atArcExe}},
                      TRow{"Arc09", {0x1A, 0x09, 0, 0}, {atArc}, {atArcExe}},
                      TRow{"Pak0A", {0x1A, 0x0A, 0, 0}, {atPak}, {atPakExe}},
                      TRow{"Pak0B", {0x1A, 0x0B, 0, 0}, {atPak}, {atPakExe}},
                      TRow{"Gzip1F1E", {0x1F, 0x1E, 0, 0}, {atGZip}, {atUnsupported}},
                      TRow{"Gzip2521", {0x25, 0x21, 0, 0}, {atGZip}, {atUnsupported}},
                      TRow{"Gzip1F8B", {0x1F, 0x8B, 0x08, 0}, {atGZip}, {atUnsupported}},
                      TRow{"Gzip1F9D", {0x1F, 0x9D, 0, 0}, {atGZip}, {atUnsupported}},
                      TRow{"Gzip1F9E", {0x1F, 0x9E, 0, 0}, {atGZip}, {atUnsupported}},
                      TRow{"Gzip1FA0", {0x1F, 0xA0, 0, 0}, {atGZip}, {atUnsupported}},
                      TRow{"Ha", {'H', 'A', 1, 2}, {atHA}, {atUnsupported}},
                      TRow{"PkCentral", {'P', 'K', 1, 2}, SplitThenLocate, SplitThenLocate},
                      TRow{"PnCentral", {'P', 'N', 1, 2}, SplitThenLocate, SplitThenLocate},
                      TRow{"PkSplitMarker", {'P', 'K', 7, 8}, Split, Split},
                      TRow{"PlSplitMarker", {'P', 'L', 7, 8}, Split, Split},
                      TRow{"PkG4", {'P', 'K', 'G', '4'}, {atNA}, {atNA}},
                      TRow{"PmCI", {'P', 'M', 'C', 'I'}, {atNA}, {atNA}},
                      TRow{"PkLocal", {'P', 'K', 3, 4}, {atZip}, {atZipExe}},
                      TRow{"PlLocal", {'P', 'L', 3, 4}, {atZip}, {atZipExe}},
                      TRow{"PkEnd", {'P', 'K', 5, 6}, {atZip}, {atZipExe}},
                      TRow{"Zoo", {'Z', 'O', 'O', ' '}, {atZoo}, {atUnsupported}},
                      TRow{"ArcB792", {0xB7, 0x92, 0, 0}, ArcStub, ArcStub},
                      TRow{"ArcB7DF", {0xB7, 0xDF, 0, 0}, ArcStub, ArcStub},
                      TRow{"Arj", {0x60, 0xEA, 0x20, 0}, {atArj}, {atArjExe}},
                      TRow{"Other", {'A', 'A', 'A', 'A'}, {atNA}, {atNA}},
                      TRow{"Zeros", {0, 0, 0, 0}, {atNA}, {atNA}},
                      // Earlier rows win: "-l" in bytes 2 and 3 is taken before the zip rows.
                      TRow{"LhaBeforeZip", {'P', 'K', '-', 'l'}, {atLha}, {atLhaExe}}),
    [](const auto& Info) { return std::string(Info.param.Title); });

}  // namespace
}  // namespace ruvevid
