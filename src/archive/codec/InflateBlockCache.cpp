#include "archive/codec/InflateBlockCache.h"

#include <cstdlib>
#include <cstring>

namespace ruvevid {

TInflateBlockCache::~TInflateBlockCache() {
  for (const TBlock& Block : FBlocks) std::free(Block.Memory);
}

void* TInflateBlockCache::Acquire(std::size_t Bytes, bool Zeroed) {
  for (TBlock& Block : FBlocks) {
    if (!Block.InUse && Block.Bytes == Bytes) {
      Block.InUse = true;
      if (Zeroed) std::memset(Block.Memory, 0, Bytes);
      return Block.Memory;
    }
  }
  void* Memory = Zeroed ? std::calloc(Bytes, 1) : std::malloc(Bytes);
  if (Memory == nullptr) return nullptr;
  if (FBlocks.size() < kMaxKept) {
    FBlocks.reserve(kMaxKept);
    FBlocks.push_back({Memory, Bytes, true});
  }
  return Memory;
}

void TInflateBlockCache::Release(void* Memory) {
  if (Memory == nullptr) return;
  for (TBlock& Block : FBlocks) {
    if (Block.Memory == Memory) {
      Block.InUse = false;
      return;
    }
  }
  std::free(Memory);
}

void* TInflateBlockCache::AllocateZeroed(void* Context, std::uint32_t Items, std::uint32_t Size) {
  return static_cast<TInflateBlockCache*>(Context)->Acquire(static_cast<std::size_t>(Items) * Size,
                                                            true);
}

void TInflateBlockCache::ReleaseBlock(void* Context, void* Block) {
  static_cast<TInflateBlockCache*>(Context)->Release(Block);
}

}  // namespace ruvevid
