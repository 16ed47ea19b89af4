#include "archive/base/support/ZipBuilder.h"

#include <zlib.h>

#include "archive/base/LittleEndian.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/codec/ZipCipher.h"
#include "support/TestPaths.h"

namespace ruvevid::zipfmt_test {

namespace {

void Put16(TBytes& Out, std::uint32_t Value) {
  Out.push_back(static_cast<std::uint8_t>(Value));
  Out.push_back(static_cast<std::uint8_t>(Value >> 8));
}

void Put32(TBytes& Out, std::uint32_t Value) {
  Put16(Out, Value & 0xFFFF);
  Put16(Out, Value >> 16);
}

void Put64(TBytes& Out, std::uint64_t Value) {
  Put32(Out, static_cast<std::uint32_t>(Value));
  Put32(Out, static_cast<std::uint32_t>(Value >> 32));
}

void PutText(TBytes& Out, const std::string& Text) {
  Out.insert(Out.end(), Text.begin(), Text.end());
}

void PutSignature(TBytes& Out, char Marker, std::uint8_t A, std::uint8_t B) {
  Out.push_back('P');
  Out.push_back(static_cast<std::uint8_t>(Marker));
  Out.push_back(A);
  Out.push_back(B);
}

bool Enciphered(char Marker) {
  return Marker == 'L' || Marker == 'N' || Marker == '\\';
}

// Enciphers the header that starts at Start (FixedSize bytes) and the name after it.
void EncipherHeader(TBytes& Out, std::size_t Start, std::size_t FixedSize, std::size_t NameSize) {
  TZipCipher Cipher;
  EncodeZipHeader(Out.data() + Start, FixedSize, Cipher);
  EncodeZipName(Out.data() + Start + FixedSize, NameSize, Cipher);
}

}  // namespace

TBytes BuildZip(const TZipSpec& Spec, std::vector<std::uint64_t>* Offsets) {
  TBytes Out(Spec.Prefix.begin(), Spec.Prefix.end());
  const std::uint64_t Shift = Spec.AdjustOffsets ? Spec.Prefix.size() : 0;
  std::vector<std::uint64_t> Local;
  std::vector<std::uint32_t> Crcs;
  for (const TSpecEntry& Entry : Spec.Entries) {
    const std::size_t Start = Out.size();
    Local.push_back(Start);
    const auto Crc =
        static_cast<std::uint32_t>(::crc32(0, reinterpret_cast<const Bytef*>(Entry.Data.data()),
                                           static_cast<uInt>(Entry.Data.size())));
    Crcs.push_back(Crc);
    PutSignature(Out, Spec.Marker, 3, 4);
    Put16(Out, 20);
    Put16(Out, Entry.Flags);
    Put16(Out, 0);
    Put32(Out, Entry.DosDateTime);
    Put32(Out, Crc);
    Put32(Out, static_cast<std::uint32_t>(Entry.Data.size()));
    Put32(Out, static_cast<std::uint32_t>(Entry.Data.size()));
    Put16(Out, static_cast<std::uint32_t>(Entry.Name.size()));
    Put16(Out, static_cast<std::uint32_t>(Entry.LocalExtra.size()));
    PutText(Out, Entry.Name);
    if (Enciphered(Spec.Marker)) EncipherHeader(Out, Start, 30, Entry.Name.size());
    PutText(Out, Entry.LocalExtra);
    PutText(Out, Entry.Data);
  }
  const std::size_t Directory = Out.size();
  for (std::size_t i = 0; i < Spec.Entries.size(); ++i) {
    const TSpecEntry& Entry = Spec.Entries[i];
    const std::size_t Start = Out.size();
    const std::uint32_t Crc = Crcs[i];
    PutSignature(Out, Spec.Marker, 1, 2);
    Put16(Out, 20);
    Put16(Out, 20);
    Put16(Out, Entry.Flags);
    Put16(Out, 0);
    Put32(Out, Entry.DosDateTime);
    Put32(Out, Crc);
    Put32(Out, static_cast<std::uint32_t>(Entry.Data.size()));
    Put32(Out, static_cast<std::uint32_t>(Entry.Data.size()));
    Put16(Out, static_cast<std::uint32_t>(Entry.Name.size()));
    Put16(Out, static_cast<std::uint32_t>(Entry.CentralExtra.size()));
    Put16(Out, 0);
    Put16(Out, 0);
    Put16(Out, 0);
    Put32(Out, Entry.ExternalAttr);
    Put32(Out, static_cast<std::uint32_t>(Local[i] - Spec.Prefix.size() + Shift));
    PutText(Out, Entry.Name);
    if (Enciphered(Spec.Marker)) EncipherHeader(Out, Start, 46, Entry.Name.size());
    PutText(Out, Entry.CentralExtra);
  }
  const std::uint64_t DirectorySize = Out.size() - Directory;
  const std::uint64_t DirectoryOffset = Directory - Spec.Prefix.size() + Shift;
  const auto Count = static_cast<std::uint32_t>(Spec.Entries.size());
  if (Spec.Zip64Records) {
    const std::uint64_t Record = Out.size() - Spec.Prefix.size() + Shift;
    Put32(Out, 0x06064B50);
    Put64(Out, 44);
    Put16(Out, 45);
    Put16(Out, 45);
    Put32(Out, 0);
    Put32(Out, 0);
    Put64(Out, Count);
    Put64(Out, Count);
    Put64(Out, DirectorySize);
    Put64(Out, DirectoryOffset);
    Put32(Out, 0x07064B50);
    Put32(Out, 0);
    Put64(Out, Record);
    Put32(Out, 1);
  }
  const std::size_t EndStart = Out.size();
  const bool Wide = Spec.End == TEndKind::ekWide || Spec.End == TEndKind::ekWideEnciphered;
  const bool EndEnciphered =
      Spec.End == TEndKind::ekEnciphered || Spec.End == TEndKind::ekWideEnciphered;
  if (Wide) {
    PutSignature(Out, EndEnciphered ? '\\' : '[', 5, 6);
    Put16(Out, 0);
    Put16(Out, 0);
    Put16(Out, Count);
    Put16(Out, Count);
    Put32(Out, static_cast<std::uint32_t>(DirectorySize));
    Put64(Out, DirectoryOffset);
    Put16(Out, static_cast<std::uint32_t>(Spec.Comment.size()));
  } else {
    PutSignature(Out, EndEnciphered ? 'L' : 'K', 5, 6);
    Put16(Out, 0);
    Put16(Out, 0);
    Put16(Out, Count);
    Put16(Out, Count);
    Put32(Out, static_cast<std::uint32_t>(DirectorySize));
    Put32(Out, static_cast<std::uint32_t>(DirectoryOffset));
    Put16(Out, static_cast<std::uint32_t>(Spec.Comment.size()));
  }
  if (EndEnciphered) {
    TZipCipher Cipher;
    EncodeZipHeader(Out.data() + EndStart, Wide ? 26 : 22, Cipher);
  }
  PutText(Out, Spec.Comment);
  if (Offsets != nullptr) *Offsets = Local;
  return Out;
}

std::int64_t DirectoryOffset(const TZipSpec& Spec) {
  TBytes Zip = BuildZip(Spec);
  // The end record is the last record before the comment; an enciphered one is read deciphered.
  const bool Wide = Spec.End == TEndKind::ekWide || Spec.End == TEndKind::ekWideEnciphered;
  const std::size_t EndSize = Wide ? 26 : 22;
  std::uint8_t* End = Zip.data() + Zip.size() - Spec.Comment.size() - EndSize;
  if (Spec.End == TEndKind::ekEnciphered || Spec.End == TEndKind::ekWideEnciphered) {
    TZipCipher Cipher;
    DecodeZipHeader(End, EndSize, Cipher);
  }
  std::uint64_t Offset = Wide ? GetLE64(End + 16) : GetLE32(End + 16);
  if (Spec.Zip64Records && Offset == 0xFFFFFFFFu) {
    // The zip64 end record in front of the locator (20 bytes) holds the offset.
    Offset = GetLE64(End - 20 - 56 + 48);
  }
  if (!Spec.AdjustOffsets) Offset += Spec.Prefix.size();
  return static_cast<std::int64_t>(Offset);
}

TBytes ToBytes(const std::string& Text) {
  return TBytes(Text.begin(), Text.end());
}

std::filesystem::path Fixture(const std::string& Name) {
  const std::filesystem::path Folder = test::FixturesDir();
  if (Folder.empty()) return {};
  return Folder / "zip" / Name;
}

}  // namespace ruvevid::zipfmt_test
