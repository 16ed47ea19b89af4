// The archive engine and the download queue raise one EConvertError: a source that includes both
// compiles, and one handler catches the failures of either.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "archive/base/ArcTypeDetector.h"
#include "download/DownloadItem.h"

namespace ruvevid {
namespace {

struct TConvertCase {
  const char* Name;
  std::function<void()> Fail;
  const char* Message;
};

class ConvertErrorTest : public ::testing::TestWithParam<TConvertCase> {};

TEST_P(ConvertErrorTest, OneHandlerCatchesEitherLayersFailure) {
  const TConvertCase& Case = GetParam();
  std::string Caught;
  try {
    Case.Fail();
  } catch (const EConvertError& Error) {
    Caught = Error.what();
  }
  EXPECT_EQ(Caught, Case.Message);
}

INSTANTIATE_TEST_SUITE_P(Layers, ConvertErrorTest,
                         ::testing::Values(TConvertCase{"VolumeNumberOfAnArchive",
                                                        [] {
                                                          std::int32_t Number = 0;
                                                          char Letter = '\0';
                                                          ComputeVolumeNaming(TArcType::atRar,
                                                                              "set.r0a", Number,
                                                                              Letter);
                                                        },
                                                        "'0a' is not a valid integer value"},
                                           TConvertCase{"AssignOfADownloadItem",
                                                        [] {
                                                          TDownLoadItems Items;
                                                          Items.Add()->Assign(nullptr);
                                                        },
                                                        "Cannot assign a nil to a TDownLoadItem"}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
}  // namespace ruvevid
