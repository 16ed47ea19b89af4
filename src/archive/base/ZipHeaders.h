#pragma once
// The zip headers as the reader keeps them: the raw bytes of the last header of each kind read
// (after deciphering), with accessors that decode each little-endian field at its offset.

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/base/LittleEndian.h"

namespace ruvevid {

// Signatures, read as one little-endian 32-bit value. 'K' is the plain marker byte, 'L' the
// enciphered one; 'M' and 'N' are read like 'K' and 'L'. '[' and '\' mark the wide end record.
inline constexpr std::uint32_t kLocalSignatureK = 0x04034B50;
inline constexpr std::uint32_t kLocalSignatureL = 0x04034C50;
inline constexpr std::uint32_t kLocalSignatureM = 0x04034D50;
inline constexpr std::uint32_t kLocalSignatureN = 0x04034E50;
inline constexpr std::uint32_t kCentralSignatureK = 0x02014B50;
inline constexpr std::uint32_t kCentralSignatureL = 0x02014C50;
inline constexpr std::uint32_t kCentralSignatureM = 0x02014D50;
inline constexpr std::uint32_t kCentralSignatureN = 0x02014E50;
inline constexpr std::uint32_t kEndSignatureK = 0x06054B50;
inline constexpr std::uint32_t kEndSignatureL = 0x06054C50;
inline constexpr std::uint32_t kWideEndSignature = 0x06055B50;
inline constexpr std::uint32_t kWideEndSignatureEnciphered = 0x06055C50;
inline constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
inline constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
// Marker at the start of the first part of a split archive (also the data descriptor's).
inline constexpr std::uint32_t kSplitMarkerSignature = 0x08074B50;

// Fixed-size header bytes with field accessors. N is the size of the fixed part on disk.
template <std::size_t N>
struct THeaderBytes {
  static constexpr std::size_t kSize = N;
  std::array<std::uint8_t, N> Bytes{};

  std::uint8_t* data() { return Bytes.data(); }
  const std::uint8_t* data() const { return Bytes.data(); }
  std::uint32_t Signature() const { return GetLE32(&Bytes[0]); }
  void SetSignature(std::uint32_t Value) { PutLE32(&Bytes[0], Value); }

 protected:
  std::uint16_t U16(std::size_t At) const { return GetLE16(&Bytes[At]); }
  std::uint32_t U32(std::size_t At) const { return GetLE32(&Bytes[At]); }
  std::uint64_t U64(std::size_t At) const { return GetLE64(&Bytes[At]); }
};

// Local file header: 30 bytes, then the name, the extra field and the entry's data.
struct TLocalHeader : THeaderBytes<30> {
  std::uint16_t VersionNeeded() const { return U16(4); }
  std::uint16_t Flags() const { return U16(6); }
  std::uint16_t Method() const { return U16(8); }
  std::int32_t DosDateTime() const { return static_cast<std::int32_t>(U32(10)); }
  std::uint32_t Crc32() const { return U32(14); }
  std::uint32_t PackedSize() const { return U32(18); }
  std::uint32_t UnpackedSize() const { return U32(22); }
  std::uint16_t NameLength() const { return U16(26); }
  std::uint16_t ExtraLength() const { return U16(28); }
  void SetCrc32(std::uint32_t Value) { PutLE32(&Bytes[14], Value); }
  void SetPackedSize(std::uint32_t Value) { PutLE32(&Bytes[18], Value); }
  void SetUnpackedSize(std::uint32_t Value) { PutLE32(&Bytes[22], Value); }
};

// Central directory file header: 46 bytes, then the name, the extra field and the comment.
struct TCentralHeader : THeaderBytes<46> {
  std::uint16_t VersionMadeBy() const { return U16(4); }
  std::uint16_t VersionNeeded() const { return U16(6); }
  std::uint16_t Flags() const { return U16(8); }
  std::uint16_t Method() const { return U16(10); }
  std::int32_t DosDateTime() const { return static_cast<std::int32_t>(U32(12)); }
  std::uint32_t Crc32() const { return U32(16); }
  std::uint32_t PackedSize() const { return U32(20); }
  std::uint32_t UnpackedSize() const { return U32(24); }
  std::uint16_t NameLength() const { return U16(28); }
  std::uint16_t ExtraLength() const { return U16(30); }
  std::uint16_t CommentLength() const { return U16(32); }
  std::uint16_t DiskNumberStart() const { return U16(34); }
  std::uint16_t InternalAttr() const { return U16(36); }
  std::uint32_t ExternalAttr() const { return U32(38); }
  std::uint32_t LocalHeaderOffset() const { return U32(42); }
  void SetPackedSize(std::uint32_t Value) { PutLE32(&Bytes[20], Value); }
  void SetUnpackedSize(std::uint32_t Value) { PutLE32(&Bytes[24], Value); }
  void SetLocalHeaderOffset(std::uint32_t Value) { PutLE32(&Bytes[42], Value); }
};

// End of central directory record: 22 bytes, then the archive comment.
struct TEndRecord : THeaderBytes<22> {
  std::uint16_t ThisDisk() const { return U16(4); }
  std::uint16_t CentralDirDisk() const { return U16(6); }
  std::uint16_t EntriesOnDisk() const { return U16(8); }
  std::uint16_t TotalEntries() const { return U16(10); }
  std::uint32_t CentralDirSize() const { return U32(12); }
  std::uint32_t CentralDirOffset() const { return U32(16); }
  std::uint16_t CommentLength() const { return U16(20); }
};

// Wide end record: 26 bytes; only the signature and the 64-bit directory offset are read.
struct TWideEndRecord : THeaderBytes<26> {
  std::uint64_t CentralDirOffset() const { return U64(16); }
};

// Zip64 end of central directory locator: 20 bytes.
struct TZip64Locator : THeaderBytes<20> {
  std::uint32_t Zip64EndDisk() const { return U32(4); }
  std::uint64_t Zip64EndOffset() const { return U64(8); }
  std::uint32_t TotalDisks() const { return U32(16); }
};

// Zip64 end of central directory record: 56-byte fixed part.
struct TZip64EndRecord : THeaderBytes<56> {
  std::uint64_t RecordSize() const { return U64(4); }
  std::uint32_t ThisDisk() const { return U32(16); }
  std::uint32_t CentralDirDisk() const { return U32(20); }
  std::uint64_t EntriesOnDisk() const { return U64(24); }
  std::uint64_t TotalEntries() const { return U64(32); }
  std::uint64_t CentralDirSize() const { return U64(40); }
  std::uint64_t CentralDirOffset() const { return U64(48); }
};

// The last header of each kind read, after deciphering.
struct TZipHeaderBuffers {
  TLocalHeader Local;
  TCentralHeader Central;
  TEndRecord Ending;
  TWideEndRecord WideEnding;
  TZip64Locator Locator;
  TZip64EndRecord Ending64;
};

}  // namespace ruvevid
