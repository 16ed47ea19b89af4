#include "archive/zip/ExtraField.h"

#include <vector>

#include "archive/base/Stream32.h"
#include "archive/base/StreamReads.h"

namespace ruvevid {

namespace {

constexpr std::uint32_t kEscaped = 0xFFFFFFFF;

// Reads within one record's data.
class TRecordReader {
 public:
  TRecordReader(const std::uint8_t* Data, std::size_t Size) : FData(Data), FSize(Size) {}

  // A zip64 8-byte value: low 32 bits into Low, the next 16 into High, the top 16 dropped.
  void Read64(std::uint32_t& Low, std::uint16_t& High) {
    if (FAt + 8 > FSize) {
      FAt = FSize;
      return;
    }
    Low = GetLE32(FData + FAt);
    High = GetLE16(FData + FAt + 4);
    FAt += 8;
  }
  void Read16(std::uint16_t& Value) {
    if (FAt + 2 > FSize) {
      FAt = FSize;
      return;
    }
    Value = GetLE16(FData + FAt);
    FAt += 2;
  }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FAt = 0;
};

template <typename THeader, bool Central>
TExtraHighWords Walk(const std::uint8_t* Field, std::size_t Length, THeader& Header) {
  TExtraHighWords High;
  std::size_t At = 0;
  std::size_t Remaining = Length;
  while (Remaining >= 4) {
    const std::uint16_t Tag = GetLE16(Field + At);
    const std::uint16_t Size = GetLE16(Field + At + 2);
    At += 4;
    Remaining -= 4;
    const std::size_t Inside = Size <= Remaining ? Size : Remaining;
    TRecordReader Record(Field + At, Inside);
    if (Tag == kZip64ExtraTag) {
      if (Header.UnpackedSize() == kEscaped) {
        std::uint32_t Low = kEscaped;
        Record.Read64(Low, High.UnpackedSize);
        Header.SetUnpackedSize(Low);
      }
      if (Header.PackedSize() == kEscaped) {
        std::uint32_t Low = kEscaped;
        Record.Read64(Low, High.PackedSize);
        Header.SetPackedSize(Low);
      }
      if constexpr (Central) {
        if (Header.LocalHeaderOffset() == kEscaped) {
          std::uint32_t Low = kEscaped;
          Record.Read64(Low, High.HeaderOffset);
          Header.SetLocalHeaderOffset(Low);
        }
      }
    } else if (Tag == kSizeExtensionExtraTag) {
      Record.Read16(High.PackedSize);
      Record.Read16(High.UnpackedSize);
      if constexpr (Central) Record.Read16(High.HeaderOffset);
    }
    if (Size > Remaining) break;
    At += Size;
    Remaining -= Size;
  }
  return High;
}

std::vector<std::uint8_t> ReadField(TStream32& Stream, std::uint16_t Length) {
  std::vector<std::uint8_t> Field(Length);
  const std::int32_t Got = ReadSome(Stream, Field.data(), static_cast<std::int32_t>(Length));
  Field.resize(static_cast<std::size_t>(Got > 0 ? Got : 0));
  return Field;
}

}  // namespace

TExtraHighWords ParseExtraField(const std::uint8_t* Field, std::size_t Length,
                                TLocalHeader& Header) {
  return Walk<TLocalHeader, false>(Field, Length, Header);
}

TExtraHighWords ParseExtraField(const std::uint8_t* Field, std::size_t Length,
                                TCentralHeader& Header) {
  return Walk<TCentralHeader, true>(Field, Length, Header);
}

TExtraHighWords ReadExtraField(TStream32& Stream, std::uint16_t Length, TLocalHeader& Header) {
  const std::vector<std::uint8_t> Field = ReadField(Stream, Length);
  return ParseExtraField(Field.data(), Field.size(), Header);
}

TExtraHighWords ReadExtraField(TStream32& Stream, std::uint16_t Length, TCentralHeader& Header) {
  const std::vector<std::uint8_t> Field = ReadField(Stream, Length);
  return ParseExtraField(Field.data(), Field.size(), Header);
}

}  // namespace ruvevid
