// The run's inflate block cache: blocks taken again from entry to entry, cleared where the decoder
// needs it, and decoding through a cache that served other streams before.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "archive/base/DecompressStream.h"
#include "archive/base/Stream32.h"
#include "archive/codec/InflateBlockCache.h"
#include "archive/codec/InflateTestSupport.h"
#include "support/FileSet.h"
#include "support/TestPaths.h"

namespace ruvevid::test {
namespace {

TEST(InflateBlockCache, TakesAFreedBlockOfTheSameSizeAgainCleared) {
  TInflateBlockCache Cache;
  auto* First = static_cast<std::uint8_t*>(Cache.Acquire(1000, true));
  ASSERT_NE(First, nullptr);
  EXPECT_TRUE(std::all_of(First, First + 1000, [](std::uint8_t B) { return B == 0; }));
  std::memset(First, 0xAA, 1000);
  // In use: another block of that size is a different one.
  void* Second = Cache.Acquire(1000, false);
  EXPECT_NE(Second, First);
  Cache.Release(First);
  auto* Again = static_cast<std::uint8_t*>(Cache.Acquire(1000, true));
  EXPECT_EQ(Again, First);
  EXPECT_TRUE(std::all_of(Again, Again + 1000, [](std::uint8_t B) { return B == 0; }));
  // Another size is never served from it.
  Cache.Release(Again);
  void* Other = Cache.Acquire(999, false);
  EXPECT_NE(Other, First);
  Cache.Release(Other);
  Cache.Release(Second);
}

TEST(InflateBlockCache, BlocksBeyondTheKeptOnesAreFreedOnRelease) {
  TInflateBlockCache Cache;
  std::vector<void*> Blocks;
  for (int i = 0; i < 20; ++i) Blocks.push_back(Cache.Acquire(4096, false));
  for (void* Block : Blocks) Cache.Release(Block);
  // The sanitizer build finds any block freed twice or lost; a kept block is served again.
  void* Again = Cache.Acquire(4096, false);
  EXPECT_NE(std::find(Blocks.begin(), Blocks.end(), Again), Blocks.end());
  Cache.Release(Again);
}

TBytes DecodeFile(const std::filesystem::path& Path, std::size_t Expected,
                  TInflateBlockCache& Cache) {
  TFileStream32 Source(Path.string(), fmOpenRead | fmShareDenyWrite);
  TDecompressStream Stream(Source, -15, TInflateVariant::ivDeflate, &Cache);
  EXPECT_EQ(Stream.InitResult(), kInflateOk);
  TBytes Out(Expected);
  EXPECT_EQ(Stream.Read(Out.data(), static_cast<std::int32_t>(Expected)),
            static_cast<std::int32_t>(Expected));
  return Out;
}

TEST(InflateBlockCache, AStreamDecodedAfterAnotherStartsFromAClearWindow) {
  TempDir Dir;
  const TBytes Filler(60000, 'Q');
  const TBytes Shared(400, 'Q');
  TBytes Tail = Shared;
  Tail.insert(Tail.end(), {'e', 'n', 'd'});
  WriteBytes(Dir / "filler.bin", ZlibDeflate(Filler, 6, Z_DEFAULT_STRATEGY, -15));
  // The tail's first matches reach into the dictionary: decoded without it, those bytes lie
  // before the stream's first byte and come out as zeros.
  const TBytes Packed = ZlibDeflate(Tail, 6, Z_DEFAULT_STRATEGY, -15, Shared);
  ASSERT_FALSE(Packed.empty());
  WriteBytes(Dir / "tail.bin", Packed);

  TInflateBlockCache Cache;
  EXPECT_EQ(DecodeFile(Dir / "filler.bin", Filler.size(), Cache), Filler);
  // The window block that held the 'Q's serves the second stream: it must see zeros before its
  // first byte, as a fresh decoder does.
  TInflateBlockCache Fresh;
  const TBytes Expected = DecodeFile(Dir / "tail.bin", Tail.size(), Fresh);
  EXPECT_EQ(Expected[0], 0);
  EXPECT_EQ(DecodeFile(Dir / "tail.bin", Tail.size(), Cache), Expected);
}

}  // namespace
}  // namespace ruvevid::test
