#pragma once
// Memory the inflate path takes again for every entry: the decoder's window and table pool, and
// the decompression stream's input buffer. An extraction run keeps one cache, so an archive of
// many small deflated entries does not allocate, fault in and give back the same couple of hundred
// kilobytes for each of them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ruvevid {

class TInflateBlockCache {
 public:
  TInflateBlockCache() = default;
  ~TInflateBlockCache();
  TInflateBlockCache(const TInflateBlockCache&) = delete;
  TInflateBlockCache& operator=(const TInflateBlockCache&) = delete;

  // A block of Bytes bytes, zero-filled when Zeroed; a free block of that size is taken again.
  // Null when memory is exhausted.
  void* Acquire(std::size_t Bytes, bool Zeroed);
  // Gives a block back for the next Acquire; blocks the cache does not keep are freed.
  void Release(void* Block);

  // The decoder record's allocation hooks with the cache as their context.
  static void* AllocateZeroed(void* Context, std::uint32_t Items, std::uint32_t Size);
  static void ReleaseBlock(void* Context, void* Block);

 private:
  struct TBlock {
    void* Memory;
    std::size_t Bytes;
    bool InUse;
  };
  // A handful covers one stream (state, window, pool, input buffer); more are not kept.
  static constexpr std::size_t kMaxKept = 8;
  std::vector<TBlock> FBlocks;
};

}  // namespace ruvevid
