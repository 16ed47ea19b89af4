// Hand-built streams, one per failure and result code of the decoder and one per edge case of
// deflate64, each decoded with every feed size: the code must not depend on where input or
// output ran out.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "InflateTestSupport.h"

namespace ruvevid::test {
namespace {

struct TStreamCase {
  const char* Name;
  TInflateVariant Variant;
  int WindowBits;
  std::function<TBytes()> Build;
  int Expected;                    // the result that ends decoding
  std::function<TBytes()> Output;  // the expected bytes when it decodes (nullptr: not checked)
};

constexpr TInflateVariant kDeflate = TInflateVariant::ivDeflate;
constexpr TInflateVariant kDeflate64 = TInflateVariant::ivDeflate64;

// The fixed code's literal/length lengths for the first Count symbols, kept complete: each 8-bit
// code dropped at the end is made up for by shortening another 8-bit code to 7 bits.
std::vector<unsigned> FixedLitLenLengths(unsigned Count) {
  std::vector<unsigned> Lengths(Count);
  for (unsigned Symbol = 0; Symbol < Count; ++Symbol) {
    Lengths[Symbol] = Symbol < 144 ? 8 : Symbol < 256 ? 9 : Symbol < 280 ? 7 : 8;
  }
  for (unsigned Missing = 0; Missing < 288 - Count; ++Missing) Lengths[280 + Missing] = 7;
  return Lengths;
}

// A dynamic block with the given lengths whose body is "ab" and end of block.
TBytes DynamicAb(const std::vector<unsigned>& LitLen, const std::vector<unsigned>& Dist) {
  TBitWriter Writer;
  Writer.Bits(1, 1);
  Writer.Bits(2, 2);
  WriteDynamicHeader(Writer, LitLen, Dist);
  const THuffman Lit(LitLen);
  Lit.Put(Writer, 'a');
  Lit.Put(Writer, 'b');
  Lit.Put(Writer, 256);
  return Writer.Bytes();
}

TBytes Text(const char* Value) {
  return TBytes(Value, Value + std::strlen(Value));
}

// Fixed block: Literal bytes, then a match (length symbol + extra, distance symbol + extra).
TBytes FixedWithMatch(const TBytes& Literals, unsigned LengthSymbol, std::uint32_t LengthExtra,
                      unsigned LengthExtraBits, unsigned DistSymbol, std::uint32_t DistExtra,
                      unsigned DistExtraBits) {
  TBitWriter Writer;
  Writer.Bits(1, 1);
  Writer.Bits(1, 2);
  for (std::uint8_t Byte : Literals) PutFixedLitLen(Writer, Byte);
  PutFixedLitLen(Writer, LengthSymbol);
  Writer.Bits(LengthExtra, LengthExtraBits);
  PutFixedDist(Writer, DistSymbol);
  Writer.Bits(DistExtra, DistExtraBits);
  PutFixedLitLen(Writer, 256);
  return Writer.Bytes();
}

TBytes Repeat(const TBytes& Pattern, std::size_t Size) {
  TBytes Out;
  while (Out.size() < Size) Out.push_back(Pattern[Out.size() % Pattern.size()]);
  return Out;
}

const std::vector<TStreamCase>& Cases() {
  static const std::vector<TStreamCase> kCases = {
      // Block layer.
      {"BlockType3", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(3, 2);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"StoredLengthMismatch", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(0, 2);
         W.AlignToByte();
         W.Bits(5, 16);
         W.Bits(0xFFFF ^ 6, 16);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"StoredBlocks", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(0, 1);  // not last, stored, LEN 0
         W.Bits(0, 2);
         W.AlignToByte();
         W.Bits(0, 16);
         W.Bits(0xFFFF, 16);
         W.Bits(1, 1);
         W.Bits(0, 2);
         W.AlignToByte();
         W.Bits(3, 16);
         W.Bits(0xFFFF ^ 3, 16);
         for (char C : std::string("xyz")) W.Byte(static_cast<std::uint8_t>(C));
         return W.Bytes();
       },
       kInflateStreamEnd, [] { return Text("xyz"); }},
      {"Hlit30InDeflate", kDeflate, -15,
       [] { return DynamicAb(FixedLitLenLengths(287), std::vector<unsigned>(30, 5)); },
       kInflateDataError, nullptr},
      {"Hdist30InDeflate", kDeflate, -15,
       [] { return DynamicAb(FixedLitLenLengths(286), std::vector<unsigned>(31, 5)); },
       kInflateDataError, nullptr},
      {"Hlit31Hdist31InDeflate64", kDeflate64, -15,
       [] { return DynamicAb(FixedLitLenLengths(288), std::vector<unsigned>(32, 5)); },
       kInflateStreamEnd, [] { return Text("ab"); }},
      {"Hlit29Hdist29InDeflate", kDeflate, -15,
       [] {
         std::vector<unsigned> Dist(30, 5);
         Dist[0] = Dist[1] = 4;  // 28 * 2^-5 + 2 * 2^-4 = 1
         return DynamicAb(FixedLitLenLengths(286), Dist);
       },
       kInflateStreamEnd, [] { return Text("ab"); }},
      {"CodeLengthCodeIncomplete", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(2, 2);
         W.Bits(0, 5);
         W.Bits(0, 5);
         W.Bits(15, 4);
         for (unsigned I = 0; I < 19; ++I) W.Bits(kCodeLengthOrder[I] == 8 ? 2 : 0, 3);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"CodeLengthCodeOversubscribed", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(2, 2);
         W.Bits(0, 5);
         W.Bits(0, 5);
         W.Bits(15, 4);
         for (unsigned I = 0; I < 19; ++I) W.Bits(I < 3 ? 1 : 0, 3);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"CodeLengthCodeEmpty", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(2, 2);
         W.Bits(0, 5);
         W.Bits(0, 5);
         W.Bits(15, 4);
         W.Bits(0, 19 * 3);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"RepeatBeforeAnyLength", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(2, 2);
         W.Bits(0, 5);
         W.Bits(0, 5);
         W.Bits(15, 4);
         const THuffman CodeLen = StandardCodeLengthCode();
         for (unsigned I = 0; I < 19; ++I) W.Bits(CodeLen.Lengths[kCodeLengthOrder[I]], 3);
         CodeLen.Put(W, 16);
         W.Bits(0, 2);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"RepeatPastTheLastLength", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(2, 2);
         W.Bits(0, 5);  // 257 literal/length and 1 distance lengths: 258 in all
         W.Bits(0, 5);
         W.Bits(15, 4);
         const THuffman CodeLen = StandardCodeLengthCode();
         for (unsigned I = 0; I < 19; ++I) W.Bits(CodeLen.Lengths[kCodeLengthOrder[I]], 3);
         for (int Run = 0; Run < 2; ++Run) {  // 2 * 138 zeros > 258
           CodeLen.Put(W, 18);
           W.Bits(127, 7);
         }
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"LitLenCodeIncomplete", kDeflate, -15,
       [] {
         std::vector<unsigned> Lit = FixedLitLenLengths(286);
         Lit[0] = 0;
         return DynamicAb(Lit, std::vector<unsigned>(1, 1));
       },
       kInflateDataError, nullptr},
      {"LitLenCodeOversubscribed", kDeflate, -15,
       [] {
         std::vector<unsigned> Lit = FixedLitLenLengths(286);
         Lit[0] = 7;
         return DynamicAb(Lit, std::vector<unsigned>(1, 1));
       },
       kInflateDataError, nullptr},
      {"DistCodeIncomplete", kDeflate, -15,
       [] {
         return DynamicAb(FixedLitLenLengths(286), std::vector<unsigned>{2, 2, 2});
       },
       kInflateDataError, nullptr},
      {"DistCodeOversubscribed", kDeflate, -15,
       [] {
         return DynamicAb(FixedLitLenLengths(286), std::vector<unsigned>{1, 1, 1});
       },
       kInflateDataError, nullptr},
      {"DistCodeSingleOneBitCode", kDeflate, -15,
       [] {
         return DynamicAb(FixedLitLenLengths(286), std::vector<unsigned>{0, 1});
       },
       kInflateStreamEnd, [] { return Text("ab"); }},
      {"NoDistCodeWithoutLengths", kDeflate, -15,
       [] {
         std::vector<unsigned> Lit(257, 9);
         Lit[256] = 1;  // 256 * 2^-9 + 2^-1 = 1
         return DynamicAb(Lit, std::vector<unsigned>{0});
       },
       kInflateStreamEnd, [] { return Text("ab"); }},
      {"NoDistCodeWithLengths", kDeflate, -15,
       [] { return DynamicAb(FixedLitLenLengths(286), std::vector<unsigned>{0}); },
       kInflateDataError, nullptr},
      // Code layer.
      {"FixedLitLen286", kDeflate, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(1, 2);
         PutFixedLitLen(W, 'q');
         PutFixedLitLen(W, 286);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"FixedLitLen287InDeflate64", kDeflate64, -15,
       [] {
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(1, 2);
         PutFixedLitLen(W, 287);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"FixedDist30InDeflate", kDeflate, -15,
       [] { return FixedWithMatch(Text("abc"), 257, 0, 0, 30, 0, 14); }, kInflateDataError,
       nullptr},
      {"FixedDist31InDeflate", kDeflate, -15,
       [] { return FixedWithMatch(Text("abc"), 257, 0, 0, 31, 0, 14); }, kInflateDataError,
       nullptr},
      {"MatchBeforeTheFirstByteGivesZeros", kDeflate, -15,
       [] { return FixedWithMatch(Text("xy"), 258, 0, 0, 4, 1, 1); },  // length 4, distance 6
       kInflateStreamEnd, [] { return TBytes{'x', 'y', 0, 0, 0, 0}; }},
      {"Length285InDeflateIs258", kDeflate, -15,
       [] { return FixedWithMatch(Text("ab"), 285, 0, 0, 1, 0, 0); }, kInflateStreamEnd,
       [] { return Repeat(Text("ab"), 260); }},
      {"Length285InDeflate64TakesSixteenBits", kDeflate64, -15,
       [] { return FixedWithMatch(Text("abc"), 285, 0xFFFF, 16, 2, 0, 0); }, kInflateStreamEnd,
       [] { return Repeat(Text("abc"), 3 + 65538); }},
      {"Length285InDeflate64Short", kDeflate64, -15,
       [] { return FixedWithMatch(Text("abc"), 285, 0, 16, 2, 0, 0); }, kInflateStreamEnd,
       [] { return Repeat(Text("abc"), 6); }},
      {"Dist30InDeflate64", kDeflate64, -15,
       [] {
         // 40000 stored bytes, then a fixed block copying 10 bytes from 32769 + 5 back.
         TBytes Data = MakeData(TDataKind::dkRandom, 40000, 3);
         TBitWriter W;
         W.Bits(0, 1);
         W.Bits(0, 2);
         W.AlignToByte();
         W.Bits(40000, 16);
         W.Bits(0xFFFF ^ 40000, 16);
         for (std::uint8_t Byte : Data) W.Byte(Byte);
         W.Bits(1, 1);
         W.Bits(1, 2);
         PutFixedLitLen(W, 264);  // length 10
         PutFixedDist(W, 30);
         W.Bits(5, 14);
         PutFixedLitLen(W, 256);
         return W.Bytes();
       },
       kInflateStreamEnd,
       [] {
         TBytes Data = MakeData(TDataKind::dkRandom, 40000, 3);
         const std::size_t From = Data.size() - (32769 + 5);
         const TBytes Copy(Data.begin() + From, Data.begin() + From + 10);
         Data.insert(Data.end(), Copy.begin(), Copy.end());
         return Data;
       }},
      {"Dist31InDeflate64ReachesTheWholeWindow", kDeflate64, -15,
       [] {
         // 65536 stored bytes (two blocks), then 20 bytes copied from 49153 + 16383 back.
         TBytes Data = MakeData(TDataKind::dkRandom, 65536, 4);
         TBitWriter W;
         for (int Half = 0; Half < 2; ++Half) {
           W.Bits(0, 1);
           W.Bits(0, 2);
           W.AlignToByte();
           W.Bits(32768, 16);
           W.Bits(0xFFFF ^ 32768, 16);
           for (int I = 0; I < 32768; ++I) W.Byte(Data[Half * 32768 + I]);
         }
         W.Bits(1, 1);
         W.Bits(1, 2);
         PutFixedLitLen(W, 269);  // length 19 + 1 extra bit
         W.Bits(1, 2);
         PutFixedDist(W, 31);
         W.Bits(16383, 14);
         PutFixedLitLen(W, 256);
         return W.Bytes();
       },
       kInflateStreamEnd,
       [] {
         TBytes Data = MakeData(TDataKind::dkRandom, 65536, 4);
         const TBytes Copy(Data.begin(), Data.begin() + 20);
         Data.insert(Data.end(), Copy.begin(), Copy.end());
         return Data;
       }},
      {"DistanceTooFarBackForTheWindow", kDeflate, -9,
       [] {
         TBytes Data = MakeData(TDataKind::dkText, 2000, 4);
         TBitWriter W;
         W.Bits(1, 1);
         W.Bits(1, 2);
         for (std::uint8_t Byte : Data) PutFixedLitLen(W, Byte);
         PutFixedLitLen(W, 260);  // length 6
         PutFixedDist(W, 18);     // 513 + 8 bits: beyond a 512-byte window
         W.Bits(0, 8);
         for (int I = 0; I < 40; ++I) PutFixedLitLen(W, 'z');  // keeps the fast path running
         PutFixedLitLen(W, 256);
         return W.Bytes();
       },
       kInflateDataError, nullptr},
      {"TruncatedStream", kDeflate, -15,
       [] {
         TBytes Packed = ZlibDeflate(MakeData(TDataKind::dkText, 5000), 6, Z_DEFAULT_STRATEGY, -15);
         Packed.resize(Packed.size() / 2);
         return Packed;
       },
       kInflateBufError, nullptr},
      // Stream layer (wrapped form).
      {"WrappedBadAdler", kDeflate, 15,
       [] {
         TBytes Packed = ZlibDeflate(MakeData(TDataKind::dkText, 5000), 6, Z_DEFAULT_STRATEGY, 15);
         Packed.back() ^= 1;
         return Packed;
       },
       kInflateDataError, nullptr},
      {"WrappedBadMethod", kDeflate, 15,
       [] {
         return TBytes{0x77, 0x01 + 0x00, 3, 0};
       },
       kInflateDataError, nullptr},
      {"WrappedBadHeaderCheck", kDeflate, 15,
       [] {
         return TBytes{0x78, 0x9D, 3, 0};
       },
       kInflateDataError, nullptr},
      {"WrappedWindowTooLarge", kDeflate, 9,
       [] {
         return TBytes{0x78, 0x9C, 3, 0};
       },
       kInflateDataError, nullptr},
      {"WrappedPresetDictionary", kDeflate, 15, [] { return TBytes{0x78, 0xBB, 0, 0, 0, 1, 3, 0}; },
       kInflateNeedDict, nullptr},
      {"WrappedEmpty", kDeflate, 15, [] { return TBytes{0x78, 0x9C, 3, 0, 0, 0, 0, 1}; },
       kInflateStreamEnd, [] { return TBytes{}; }},
  };
  return kCases;
}

struct TFeed {
  std::size_t In;
  std::size_t Out;
};

class InflateStreamTest : public ::testing::TestWithParam<std::tuple<std::size_t, TFeed>> {};

TEST_P(InflateStreamTest, EndsWithItsCode) {
  const auto& [Index, Feed] = GetParam();
  const TStreamCase& Case = Cases()[Index];
  const TBytes Input = Case.Build();
  const TBytes Expected = Case.Output ? Case.Output() : TBytes{};
  const TInflateOutcome Outcome =
      InflateInPieces(Input, Case.Variant, Case.WindowBits, Feed.In, Feed.Out, Expected.size());
  EXPECT_EQ(Outcome.Result, Case.Expected);
  if (Case.Output) {
    EXPECT_EQ(Outcome.Output.size(), Expected.size());
    EXPECT_TRUE(Outcome.Output == Expected);
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<std::size_t, TFeed>>& Info) {
  const std::size_t Index = std::get<0>(Info.param);
  const TFeed Feed = std::get<1>(Info.param);
  return std::string(Cases()[Index].Name) + "_in" + std::to_string(Feed.In) + "_out" +
         std::to_string(Feed.Out);
}

INSTANTIATE_TEST_SUITE_P(Cases, InflateStreamTest,
                         ::testing::Combine(::testing::Range<std::size_t>(0, Cases().size()),
                                            ::testing::Values(TFeed{1, 1}, TFeed{2, 3}, TFeed{7, 7},
                                                              TFeed{64, 64}, TFeed{4096, 4096},
                                                              TFeed{0, 0})),
                         CaseName);

// A data error is sticky.
TEST(InflateStickyTest, BadStaysBad) {
  TBitWriter W;
  W.Bits(1, 1);
  W.Bits(3, 2);
  const TBytes Input = W.Bytes();
  TInflateRecord Record;
  ASSERT_EQ(DecoderInit(Record, kDeflate, -15), kInflateOk);
  TBytes Out(16);
  Record.NextIn = Input.data();
  Record.AvailIn = static_cast<std::uint32_t>(Input.size());
  Record.NextOut = Out.data();
  Record.AvailOut = 16;
  EXPECT_EQ(DecoderRun(Record), kInflateDataError);
  EXPECT_EQ(DecoderRun(Record), kInflateDataError);
  DecoderFree(Record);
}

// After a preset-dictionary request the next call is a bad call, then the stream is bad.
TEST(InflateDictionaryTest, DictionaryIdInCheckThenBadCall) {
  const TBytes Input = {0x78, 0xBB, 0x12, 0x34, 0x56, 0x78, 3, 0};
  TInflateRecord Record;
  ASSERT_EQ(DecoderInit(Record, kDeflate, 15), kInflateOk);
  TBytes Out(16);
  Record.NextIn = Input.data();
  Record.AvailIn = static_cast<std::uint32_t>(Input.size());
  Record.NextOut = Out.data();
  Record.AvailOut = 16;
  EXPECT_EQ(DecoderRun(Record), kInflateNeedDict);
  EXPECT_EQ(Record.Check, 0x12345678u);
  EXPECT_EQ(DecoderRun(Record), kInflateStreamError);
  EXPECT_EQ(DecoderRun(Record), kInflateDataError);
  DecoderFree(Record);
}

// Operation results outside decoding.
TEST(InflateCallTest, InitChecksItsArguments) {
  struct TInit {
    TInflateVariant Variant;
    int WindowBits;
    int Expected;
  };
  for (const TInit& Init :
       {TInit{kDeflate, -15, kInflateOk}, TInit{kDeflate, 15, kInflateOk},
        TInit{kDeflate, -8, kInflateOk}, TInit{kDeflate, -7, kInflateStreamError},
        TInit{kDeflate, -16, kInflateStreamError}, TInit{kDeflate, 16, kInflateStreamError},
        TInit{kDeflate64, -15, kInflateOk}, TInit{kDeflate64, -7, kInflateOk},
        TInit{kDeflate64, -16, kInflateStreamError}, TInit{kDeflate64, -6, kInflateStreamError}}) {
    TInflateRecord Record;
    EXPECT_EQ(DecoderInit(Record, Init.Variant, Init.WindowBits), Init.Expected) << Init.WindowBits;
    EXPECT_EQ(Record.State != nullptr, Init.Expected == kInflateOk);
    if (Record.State != nullptr) {
      EXPECT_EQ(DecoderFree(Record), kInflateOk);
    }
  }
  TInflateRecord Record;
  EXPECT_EQ(DecoderInit(Record, kDeflate, -15, sizeof(TInflateRecord) + 4), kInflateVersionError);
  EXPECT_EQ(Record.State, nullptr);
}

TEST(InflateCallTest, CallsWithoutStateAreBadCalls) {
  TInflateRecord Record;
  EXPECT_EQ(DecoderRun(Record), kInflateStreamError);
  EXPECT_EQ(DecoderReset(Record), kInflateStreamError);
  EXPECT_EQ(DecoderFree(Record), kInflateStreamError);
  ASSERT_EQ(DecoderInit(Record, kDeflate, -15), kInflateOk);
  Record.NextIn = nullptr;
  EXPECT_EQ(DecoderRun(Record), kInflateStreamError) << "no input pointer";
  EXPECT_EQ(DecoderFree(Record), kInflateOk);
  EXPECT_EQ(DecoderFree(Record), kInflateStreamError);
}

// An allocation hook that gives out a fixed number of blocks, then nothing.
struct TLimitedHeap {
  int Left = 0;
  int Live = 0;
  static void* Allocate(void* Context, std::uint32_t Items, std::uint32_t Size) {
    auto* Heap = static_cast<TLimitedHeap*>(Context);
    if (Heap->Left == 0) return nullptr;
    --Heap->Left;
    ++Heap->Live;
    return std::calloc(Items, Size);
  }
  static void Release(void* Context, void* Block) {
    --static_cast<TLimitedHeap*>(Context)->Live;
    std::free(Block);
  }
};

TEST(InflateCallTest, FailedAllocationGivesMemErrorAndLeaksNothing) {
  for (int Blocks = 0; Blocks < 3; ++Blocks) {
    TLimitedHeap Heap{Blocks, 0};
    TInflateRecord Record;
    Record.Allocate = TLimitedHeap::Allocate;
    Record.Release = TLimitedHeap::Release;
    Record.Context = &Heap;
    EXPECT_EQ(DecoderInit(Record, kDeflate, -15), kInflateMemError) << Blocks;
    EXPECT_EQ(Record.State, nullptr);
    EXPECT_EQ(Heap.Live, 0);
  }
  TLimitedHeap Heap{3, 0};
  TInflateRecord Record;
  Record.Allocate = TLimitedHeap::Allocate;
  Record.Release = TLimitedHeap::Release;
  Record.Context = &Heap;
  ASSERT_EQ(DecoderInit(Record, kDeflate, -15), kInflateOk);
  EXPECT_EQ(Heap.Live, 3);
  DecoderFree(Record);
  EXPECT_EQ(Heap.Live, 0);
}

// A fixed deflate stream and a fixed deflate64 stream, one after the other and the reverse: each
// variant decodes with its own fixed tables.
TEST(InflateFixedTablesTest, VariantsAlternate) {
  const TBytes Plain = FixedWithMatch(Text("abc"), 285, 0, 0, 2, 0, 0);
  const TBytes Wide = FixedWithMatch(Text("abc"), 285, 7, 16, 2, 0, 0);
  for (int Round = 0; Round < 2; ++Round) {
    for (TInflateVariant Variant :
         Round == 0 ? std::vector{kDeflate, kDeflate64} : std::vector{kDeflate64, kDeflate}) {
      const bool Is64 = Variant == kDeflate64;
      const TInflateOutcome Outcome = InflateInPieces(Is64 ? Wide : Plain, Variant, -15, 0, 0, 300);
      ASSERT_EQ(Outcome.Result, kInflateStreamEnd);
      EXPECT_TRUE(Outcome.Output == Repeat(Text("abc"), Is64 ? 3 + 10 : 3 + 258));
    }
  }
}

// Mutated valid streams never crash, hang or read out of bounds (the sanitizer build checks the
// last); every run ends with a defined result.
TEST(InflateMutationTest, MutatedStreamsEndCleanly) {
  std::mt19937 Random(1234);
  const TBytes Data = MakeData(TDataKind::dkMixed, 20'000, 9);
  std::vector<TBytes> Seeds = {ZlibDeflate(Data, 6, Z_DEFAULT_STRATEGY, -15),
                               ZlibDeflate(Data, 1, Z_FIXED, -15),
                               ZlibDeflate(Data, 9, Z_RLE, -15)};
  for (int Round = 0; Round < 600; ++Round) {
    TBytes Input = Seeds[Round % Seeds.size()];
    const int Flips = 1 + static_cast<int>(Random() % 4);
    for (int Flip = 0; Flip < Flips; ++Flip) {
      const std::size_t At =
          Random() % std::min<std::size_t>(Input.size(), Round % 2 ? 64 : Input.size());
      Input[At] = static_cast<std::uint8_t>(Input[At] ^ (1u << (Random() % 8)));
    }
    if (Random() % 4 == 0) Input.resize(Random() % Input.size());
    const TInflateVariant Variant = Random() % 2 ? kDeflate : kDeflate64;
    const std::size_t Feed = Round % 3 == 0 ? 7 : 0;
    const TInflateOutcome Outcome = InflateInPieces(Input, Variant, -15, Feed, Feed, Data.size());
    EXPECT_TRUE(Outcome.Result == kInflateStreamEnd || Outcome.Result == kInflateDataError ||
                Outcome.Result == kInflateBufError)
        << Outcome.Result;
  }
}

}  // namespace
}  // namespace ruvevid::test
