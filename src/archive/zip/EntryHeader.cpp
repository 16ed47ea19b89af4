#include "archive/zip/EntryHeader.h"

#include <algorithm>

#include "archive/base/StreamReads.h"
#include "archive/base/ZipHeaderCipher.h"
#include "archive/base/ZipSignatures.h"
#include "archive/zip/ExtraField.h"
#include "archive/zip/HeaderName.h"
#include "archive/zip/UnZip.h"

namespace ruvevid {

namespace {

std::string ReadLocalEntryHeader(TUnZip& Arc, TStream32& Stream, const TZipDirEntry& Entry) {
  TZipFormatState& Zip = Arc.ZipState();
  TRunState& Run = Arc.Run();
  TLocalHeader& Local = Zip.Headers.Local;
  Local.Bytes.fill(0);
  ReadAt(Stream, static_cast<std::int64_t>(Entry.HeaderOffset), Local.data(),
         static_cast<std::int32_t>(TLocalHeader::kSize));
  bool Enciphered = false;
  GetZipHeaderType(Local.Signature(), THeaderType::htLocal, Enciphered);
  if (Enciphered) DecodeZipHeader(Local, Run.Decode.Cipher, Arc.HeaderKeyState());
  const std::string Raw =
      ReadHeaderName(Stream, Local.NameLength(), Enciphered ? &Run.Decode.Cipher : nullptr);
  Zip.HighWords = ReadExtraField(Stream, Local.ExtraLength(), Local);
  return TranslateEntryName(Raw, Local.Flags(), Arc.TranslateOemChar);
}

}  // namespace

std::string ReadEntryHeader(TUnZip& Arc, TStream32& Stream, const TEntryListing& Listing) {
  TZipFormatState& Zip = Arc.ZipState();
  TRunState& Run = Arc.Run();
  const std::string Name = ReadLocalEntryHeader(Arc, Stream, Listing.Entry);
  TZipEntryInfo& Info = Run.Decode.EntryInfo;
  if (Listing.ListedFromCentral) {
    TCentralHeader& Central = Zip.Headers.Central;
    Central.Bytes.fill(0);
    std::copy_n(Listing.Central.begin(), std::min(Listing.Central.size(), TCentralHeader::kSize),
                Central.Bytes.begin());
    Info.Flags = Central.Flags();
    Info.Method = Central.Method();
    Info.PackedSize = Join48(Central.PackedSize(), Zip.HighWords.PackedSize);
    Info.UnpackedSize = Join48(Central.UnpackedSize(), Zip.HighWords.UnpackedSize);
    Run.Decode.EntrySizeKnown = true;
    return Name;
  }
  TLocalHeader& Local = Zip.Headers.Local;
  Info.Flags = Local.Flags();
  Info.Method = Local.Method();
  Info.PackedSize = Join48(Local.PackedSize(), Zip.HighWords.PackedSize);
  Info.UnpackedSize = Join48(Local.UnpackedSize(), Zip.HighWords.UnpackedSize);
  if (Listing.Descriptor) {
    // The CRC and sizes the data descriptor gives are the entry's.
    Local.SetCrc32(Listing.Descriptor->Crc32);
    Info.PackedSize = Listing.Descriptor->PackedSize;
    Info.UnpackedSize = Listing.Descriptor->UnpackedSize;
  }
  Run.Decode.EntrySizeKnown = Listing.SizeKnown;
  return Name;
}

}  // namespace ruvevid
