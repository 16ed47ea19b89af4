#pragma once
// Helpers of the inflate tests: zlib as the oracle, a driver that feeds the decoder in pieces of a
// given size, Huffman codes for hand-built streams, and test data.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archive/codec/Inflate.h"
#include "support/BitWriter.h"

namespace ruvevid::test {

using TBytes = std::vector<std::uint8_t>;

// Compresses with zlib: WindowBits -15 for raw deflate, 15 for the wrapped form. A Dictionary is
// set as zlib's preset dictionary, which the data's first matches may reach into.
inline TBytes ZlibDeflate(const TBytes& Data, int Level, int Strategy, int WindowBits,
                          const TBytes& Dictionary = {}) {
  z_stream Stream{};
  if (deflateInit2(&Stream, Level, Z_DEFLATED, WindowBits, 8, Strategy) != Z_OK) return {};
  if (!Dictionary.empty()) {
    deflateSetDictionary(&Stream, Dictionary.data(), static_cast<uInt>(Dictionary.size()));
  }
  TBytes Out(deflateBound(&Stream, static_cast<uLong>(Data.size())) + 64);
  Stream.next_in = const_cast<Bytef*>(Data.data());
  Stream.avail_in = static_cast<uInt>(Data.size());
  Stream.next_out = Out.data();
  Stream.avail_out = static_cast<uInt>(Out.size());
  const int Result = deflate(&Stream, Z_FINISH);
  Out.resize(Stream.total_out);
  deflateEnd(&Stream);
  if (Result != Z_STREAM_END) return {};
  return Out;
}

// The CRC-32 of Data, by zlib.
inline std::uint32_t Crc32Of(const TBytes& Data) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0, nullptr, 0), Data.data(), static_cast<uInt>(Data.size())));
}

struct TInflateOutcome {
  int Result = 0;  // the last DecoderRun result that ended the loop
  TBytes Output;   // every byte delivered
  std::uint64_t TotalIn = 0;
  std::uint32_t LeftIn = 0;  // input handed over but not consumed at the end
};

// Decodes Input handing over at most InFeed input bytes and OutFeed output bytes at a time (0:
// all). Ends at stream end, at a failure other than -5, or when -5 comes with all input given.
inline TInflateOutcome InflateInPieces(const TBytes& Input, TInflateVariant Variant, int WindowBits,
                                       std::size_t InFeed, std::size_t OutFeed,
                                       std::size_t ExpectedSize = 0) {
  TInflateOutcome Outcome;
  TInflateRecord Record;
  Outcome.Result = DecoderInit(Record, Variant, WindowBits);
  if (Outcome.Result != kInflateOk) return Outcome;
  if (InFeed == 0) InFeed = Input.size() + 1;
  if (OutFeed == 0) OutFeed = ExpectedSize + 1024;
  TBytes Piece(OutFeed);
  std::size_t Given = 0;
  static const std::uint8_t kNothing = 0;
  Record.NextIn = Input.empty() ? &kNothing : Input.data();
  for (std::size_t Round = 0;; ++Round) {
    if (Record.AvailIn == 0 && Given < Input.size()) {
      const std::size_t Take = std::min(InFeed, Input.size() - Given);
      Record.NextIn = Input.data() + Given;
      Record.AvailIn = static_cast<std::uint32_t>(Take);
      Given += Take;
    }
    Record.NextOut = Piece.data();
    Record.AvailOut = static_cast<std::uint32_t>(Piece.size());
    const int Result = DecoderRun(Record);
    Outcome.Output.insert(Outcome.Output.end(), Piece.data(), Record.NextOut);
    if (Result == kInflateStreamEnd || (Result < 0 && Result != kInflateBufError) ||
        Result == kInflateNeedDict) {
      Outcome.Result = Result;
      break;
    }
    if (Result == kInflateBufError && Given == Input.size() && Record.AvailIn == 0 &&
        Record.AvailOut > 0) {
      Outcome.Result = Result;
      break;
    }
    if (Round > 100'000'000) {
      Outcome.Result = 99;  // no end: a hang
      break;
    }
  }
  Outcome.TotalIn = Record.TotalIn;
  Outcome.LeftIn = Record.AvailIn;
  DecoderFree(Record);
  return Outcome;
}

// Canonical codes of a set of code lengths (RFC 1951, 3.2.2).
inline std::vector<std::uint32_t> CanonicalCodes(const std::vector<unsigned>& Lengths) {
  unsigned Count[16] = {};
  for (unsigned Length : Lengths) ++Count[Length];
  Count[0] = 0;
  std::uint32_t Next[16] = {};
  std::uint32_t Code = 0;
  for (unsigned Bits = 1; Bits < 16; ++Bits) {
    Code = (Code + Count[Bits - 1]) << 1;
    Next[Bits] = Code;
  }
  std::vector<std::uint32_t> Codes(Lengths.size());
  for (std::size_t Symbol = 0; Symbol < Lengths.size(); ++Symbol) {
    if (Lengths[Symbol] != 0) Codes[Symbol] = Next[Lengths[Symbol]]++;
  }
  return Codes;
}

// A Huffman code given by its lengths, for writing symbols.
struct THuffman {
  std::vector<unsigned> Lengths;
  std::vector<std::uint32_t> Codes;
  explicit THuffman(std::vector<unsigned> L)
      : Lengths(std::move(L)), Codes(CanonicalCodes(Lengths)) {}
  void Put(TBitWriter& Writer, unsigned Symbol) const {
    Writer.Code(Codes.at(Symbol), Lengths.at(Symbol));
  }
};

// The code-length code used by the hand-built dynamic headers: symbols 0-12 get 4 bits, 13-18
// get 5 bits (a complete code).
inline THuffman StandardCodeLengthCode() {
  std::vector<unsigned> Lengths(19);
  for (unsigned Symbol = 0; Symbol < 19; ++Symbol) Lengths[Symbol] = Symbol < 13 ? 4 : 5;
  return THuffman(Lengths);
}

inline constexpr unsigned kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                  11, 4,  12, 3, 13, 2, 14, 1, 15};

// Writes a dynamic block header (after the 3 header bits): HLIT, HDIST, HCLEN and the code-length
// code of CodeLen, then every literal/length and distance length as a plain symbol.
inline void WriteDynamicHeader(TBitWriter& Writer, const std::vector<unsigned>& LitLen,
                               const std::vector<unsigned>& Dist,
                               const THuffman& CodeLen = StandardCodeLengthCode()) {
  Writer.Bits(static_cast<std::uint32_t>(LitLen.size() - 257), 5);
  Writer.Bits(static_cast<std::uint32_t>(Dist.size() - 1), 5);
  Writer.Bits(19 - 4, 4);
  for (unsigned Index = 0; Index < 19; ++Index)
    Writer.Bits(CodeLen.Lengths[kCodeLengthOrder[Index]], 3);
  for (unsigned Length : LitLen) CodeLen.Put(Writer, Length);
  for (unsigned Length : Dist) CodeLen.Put(Writer, Length);
}

// Fixed-block codes.
inline void PutFixedLitLen(TBitWriter& Writer, unsigned Symbol) {
  if (Symbol < 144) {
    Writer.Code(0x30 + Symbol, 8);
  } else if (Symbol < 256) {
    Writer.Code(0x190 + (Symbol - 144), 9);
  } else if (Symbol < 280) {
    Writer.Code(Symbol - 256, 7);
  } else {
    Writer.Code(0xC0 + (Symbol - 280), 8);
  }
}
inline void PutFixedDist(TBitWriter& Writer, unsigned Symbol) {
  Writer.Code(Symbol, 5);
}

// Test data of several kinds, reproducible from a seed.
enum class TDataKind { dkRandom, dkText, dkBinary, dkRuns, dkMixed };

inline TBytes MakeData(TDataKind Kind, std::size_t Size, std::uint32_t Seed = 7) {
  std::mt19937 Random(Seed);
  TBytes Data;
  Data.reserve(Size);
  static const char* const kWords[] = {"update", "label",   "maker", "archive", "the",    "of",
                                       "window", "deflate", "zip",   "entry",   "stream", "and",
                                       "a",      "block",   "\n",    "ruvevid", "code",   "table"};
  switch (Kind) {
    case TDataKind::dkRandom:
      while (Data.size() < Size) Data.push_back(static_cast<std::uint8_t>(Random()));
      break;
    case TDataKind::dkText:
      while (Data.size() < Size) {
        const std::string Word = kWords[Random() % std::size(kWords)];
        Data.insert(Data.end(), Word.begin(), Word.end());
        Data.push_back(' ');
      }
      break;
    case TDataKind::dkBinary: {
      std::uint32_t Value = 1000;
      while (Data.size() < Size) {
        Value += Random() % 17;
        for (int Byte = 0; Byte < 4; ++Byte)
          Data.push_back(static_cast<std::uint8_t>(Value >> (8 * Byte)));
      }
      break;
    }
    case TDataKind::dkRuns:
      while (Data.size() < Size) {
        const std::size_t Run = 1 + Random() % 700;
        const std::uint8_t Value = static_cast<std::uint8_t>(Random() % 4);
        Data.insert(Data.end(), Run, Value);
      }
      break;
    case TDataKind::dkMixed:
      while (Data.size() < Size) {
        const TDataKind Part = static_cast<TDataKind>(Random() % 4);
        const TBytes Chunk = MakeData(Part, 1000 + Random() % 40000, Random());
        // Repeat an earlier stretch now and then, from far back.
        if (Data.size() > 40000 && Random() % 3 == 0) {
          const std::size_t From = Data.size() - 40000 + Random() % 5000;
          const TBytes Copy(Data.begin() + From, Data.begin() + From + 3000);
          Data.insert(Data.end(), Copy.begin(), Copy.end());
        }
        Data.insert(Data.end(), Chunk.begin(), Chunk.end());
      }
      break;
  }
  Data.resize(Size);
  return Data;
}

}  // namespace ruvevid::test
