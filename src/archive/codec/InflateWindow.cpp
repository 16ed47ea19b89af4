#include "archive/codec/InflateWindow.h"

#include <cstring>

#include "archive/codec/Adler32.h"

namespace ruvevid::inflate {

namespace {

std::size_t Deliver(TInflateRecord& Record, TBlockDecoder& Block, const std::uint8_t* Limit) {
  std::size_t Count = static_cast<std::size_t>(Limit - Block.Read);
  if (Count > Record.AvailOut) Count = Record.AvailOut;
  if (Count == 0) return 0;
  if (Block.Wrapped) Block.CheckValue = Adler32Update(Block.CheckValue, Block.Read, Count);
  std::memcpy(Record.NextOut, Block.Read, Count);
  Record.NextOut += Count;
  Record.AvailOut -= static_cast<std::uint32_t>(Count);
  Record.TotalOut += Count;
  Block.Read += Count;
  return Count;
}

}  // namespace

std::size_t WindowFlush(TInflateRecord& Record, TBlockDecoder& Block) {
  // Up to the write pointer, or to the window's end when the write pointer has wrapped behind.
  std::size_t Delivered =
      Deliver(Record, Block, Block.Read <= Block.Write ? Block.Write : Block.WindowEnd);
  if (Block.Read == Block.WindowEnd) {
    Block.Read = Block.Window;
    if (Block.Write == Block.WindowEnd) Block.Write = Block.Window;
    Delivered += Deliver(Record, Block, Block.Write);
  }
  return Delivered;
}

std::size_t WindowMakeRoom(TInflateRecord& Record, TBlockDecoder& Block) {
  WindowWrapWrite(Block);
  std::size_t Space = WindowSpace(Block);
  if (Space != 0) return Space;
  WindowFlush(Record, Block);
  WindowWrapWrite(Block);
  return WindowSpace(Block);
}

}  // namespace ruvevid::inflate
