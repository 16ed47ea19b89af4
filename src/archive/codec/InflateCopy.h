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
// overlap of LZ77 (a short distance repeats its pattern): the first 32 bytes unconditionally (most
// matches are shorter, so the loop's exit is rarely mispredicted), then 16 bytes per step. May
// write up to 31 bytes past the end and read up to 31 bytes past the source's end. Each step
// reads only bytes that earlier steps have written, so the overlap comes out right.
inline void CopyMatchFast(std::uint8_t* Target, std::size_t Distance, std::size_t Length) {
  const std::uint8_t* Source = Target - Distance;
  std::uint8_t* const TargetEnd = Target + Length;
  if (Distance >= 16) {
    CopyChunk(Target, Source);
    CopyChunk(Target + 16, Source + 16);
    Target += 32;
    Source += 32;
    while (Target < TargetEnd) {
      CopyChunk(Target, Source);
      Target += 16;
      Source += 16;
    }
  } else if (Distance >= 8) {
    for (int Word = 0; Word < 4; ++Word) StoreWord(Target + 8 * Word, LoadWord(Source + 8 * Word));
    Target += 32;
    Source += 32;
    while (Target < TargetEnd) {
      StoreWord(Target, LoadWord(Source));
      StoreWord(Target + 8, LoadWord(Source + 8));
      Target += 16;
      Source += 16;
    }
  } else if (Distance == 1) {
    // A run of one byte: the byte spread over a word.
    const std::uint64_t Pattern = std::uint64_t{*Source} * 0x0101010101010101ull;
    for (int Word = 0; Word < 4; ++Word) StoreWord(Target + 8 * Word, Pattern);
    Target += 32;
    while (Target < TargetEnd) {
      StoreWord(Target, Pattern);
      StoreWord(Target + 8, Pattern);
      Target += 16;
    }
  } else {
    // Periods of 2 to 7: the pattern's bytes at the source, doubled until they fill a word, give
    // the first 8 bytes. From then on a multiple of the period that reaches a word stands written
    // before the target (the 8 bytes plus the pattern at the source are at least that many), so
    // words copied from that far back repeat the pattern.
    constexpr std::uint8_t kWordPeriod[8] = {0, 8, 8, 9, 8, 10, 12, 14};
    const unsigned Shift = 8 * static_cast<unsigned>(Distance);
    std::uint64_t Pattern = LoadWord(Source) & ((std::uint64_t{1} << Shift) - 1);
    Pattern |= Pattern << Shift;
    if (Distance < 4) Pattern |= Pattern << (2 * Shift);
    StoreWord(Target, Pattern);
    if (Length > 8) {
      const std::size_t Period = kWordPeriod[Distance];
      CopyWords(Target + 8, Target + 8 - Period, Length - 8);
    }
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
