#pragma once
// Output files of the extraction engine on the native file system: creating them without ever
// writing through a symbolic link, their date and their attributes.
//
// Attribute values are the Windows bits the archives carry: read-only 0x01, hidden 0x02, system
// 0x04, directory 0x10, archive 0x20, normal 0x80. When the upper 16 bits hold a Unix
// regular-file mode, its permission bits (0777) are what is applied.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "platform/FileHandle.h"

namespace ruvevid {

inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSystem = 0x04;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;
inline constexpr std::uint32_t faNormal = 0x80;

// The Windows-style attributes of a path: faDirectory for a directory, faReadOnly when no write
// permission bit is set; nothing when the path cannot be examined (symbolic links are followed).
std::optional<std::uint32_t> ReadFileAttributes(const std::string& Path);

// Makes an existing read-only file writable by its owner again (the attributes become "normal").
bool ClearReadOnly(const std::string& Path);

// Sets the last-write time of an open file (access time untouched).
bool SetLastWriteTime(TNativeHandle Handle, std::time_t Time);

// Applies an entry's stored attributes to an open file. A read-only file stays writable through
// the handle already open.
bool ApplyEntryAttributes(TNativeHandle Handle, std::uint32_t Attr);

// True when a directory between Base (exclusive) and Path's own folder (inclusive) is a symbolic
// link. Path must lie below Base; components that do not exist yet are not links.
bool HasLinkedDirectoryBelow(const std::string& Base, const std::string& Path);

}  // namespace ruvevid
