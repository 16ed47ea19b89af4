#pragma once
// Match copies inside the window.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ruvevid::inflate {

inline std::uint64_t LoadWord(const std::uint8_t* Source) {
  std::uint64_t Word;
  std::memcpy(&Word, Source, sizeof Word);
  return Word;
}

inline void StoreWord(std::uint8_t* Target, std::uint64_t Word) {
  std::memcpy(Target, &Word, sizeof Word);
}

// Copies Length bytes from Source to Target in 8-byte words: may read up to 7 bytes past the
// source and write up to 7 bytes past the target's end. Source must lie at least 8 bytes before
// Target or entirely apart from it.
inline void CopyWords(std::uint8_t* Target, const std::uint8_t* Source, std::size_t Length) {
  std::uint8_t* const TargetEnd = Target + Length;
  do {
    StoreWord(Target, LoadWord(Source));
    Target += 8;
    Source += 8;
  } while (Target < TargetEnd);
}

inline void CopyChunk(std::uint8_t* Target, const std::uint8_t* Source) {
  std::uint8_t Chunk[16];
  std::memcpy(Chunk, Source, sizeof Chunk);
  std::memcpy(Target, Chunk, sizeof Chunk);
}

// Copies a match whose source (Target - Distance) lies inside the window before Target, with the
// overlap of LZ77 (a short distance repeats its pattern), 16 bytes per step: may write up to 15
// bytes past the end and read up to 15 bytes past the source's end. Each step reads only bytes
// that earlier steps have written, so the overlap comes out right.
inline void CopyMatchFast(std::uint8_t* Target, std::size_t Distance, std::size_t Length) {
  const std::uint8_t* Source = Target - Distance;
  std::uint8_t* const TargetEnd = Target + Length;
  if (Distance >= 16) {
    do {
      CopyChunk(Target, Source);
      Target += 16;
      Source += 16;
    } while (Target < TargetEnd);
  } else if (Distance >= 8) {
    do {
      StoreWord(Target, LoadWord(Source));
      StoreWord(Target + 8, LoadWord(Source + 8));
      Target += 16;
      Source += 16;
    } while (Target < TargetEnd);
  } else if (Distance == 1) {
    // A run of one byte: the byte spread over a word.
    const std::uint64_t Pattern = std::uint64_t{*Source} * 0x0101010101010101ull;
    do {
      StoreWord(Target, Pattern);
      StoreWord(Target + 8, Pattern);
      Target += 16;
    } while (Target < TargetEnd);
  } else {
    // Short periods: a multiple of the period that reaches a word gives the same bytes, once that
    // many bytes of the pattern stand before the target.
    const std::size_t Period = Distance * ((8 + Distance - 1) / Distance);
    std::uint8_t* const WordStart = Target + (Period - Distance);
    while (Target < TargetEnd && Target < WordStart) *Target++ = *Source++;
    if (Target < TargetEnd)
      CopyWords(Target, Target - Period, static_cast<std::size_t>(TargetEnd - Target));
  }
}

// Copies Length bytes from Distance bytes back, exactly, with LZ77 overlap.
inline void CopyMatchExact(std::uint8_t* Target, std::size_t Distance, std::size_t Length) {
  const std::uint8_t* Source = Target - Distance;
  if (Distance >= Length) {
    std::memcpy(Target, Source, Length);
    return;
  }
  // The bytes from Source to Target repeat with period Distance; doubling chunks keep it.
  std::size_t Chunk = Distance;
  while (Length > 0) {
    const std::size_t Take = Length < Chunk ? Length : Chunk;
    std::memcpy(Target, Source, Take);
    Target += Take;
    Length -= Take;
    Chunk += Take;
  }
}

}  // namespace ruvevid::inflate
