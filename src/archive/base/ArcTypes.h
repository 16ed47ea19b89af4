#pragma once
// The enumerations of the extraction component family, with their ordinal values.

#include <cstdint>

namespace ruvevid {

enum class TOverwriteMode : std::uint8_t { omOverwrite = 0, omSkip = 1 };

enum class TDateAttribute : std::uint8_t { daFileDate = 0, daSysDate = 1, daMaxFileDate = 2 };

enum class TCpuType : std::uint8_t { cptAuto = 0, cpt80286 = 1, cpt80386 = 2, cpt80486 = 3 };

// The archive types the family recognises. The ...Exe values are archives inside an executable;
// atZipDS is a zip set spanned over removable disks, atZipMV a zip split into volume files.
enum class TArcType : std::uint8_t {
  atNA = 0,
  atUnsupported = 1,
  atFileOpenErr = 2,
  atUnknown = 3,
  atAce = 4,
  atAceExe = 5,
  atArc = 6,
  atArcExe = 7,
  atArj = 8,
  atArjExe = 9,
  atBh = 10,
  atBhExe = 11,
  atCab = 12,
  atCabExe = 13,
  atGZip = 14,
  atHA = 15,
  atJar = 16,
  atJarExe = 17,
  atLha = 18,
  atLhaExe = 19,
  atLzh = 20,
  atLzhExe = 21,
  atMsGZ = 22,
  atPak = 23,
  atPakExe = 24,
  atRar = 25,
  atRarExe = 26,
  atTar = 27,
  atTarGZip = 28,
  atUUE = 29,
  atZip = 30,
  atZipExe = 31,
  atZipDS = 32,
  atZipMV = 33,
  atZoo = 34,
};

inline constexpr int kArcTypeCount = 35;

// Every value except atNA, atUnsupported, atFileOpenErr and atUnknown.
constexpr bool IsKnownArcType(TArcType Type) {
  return static_cast<int>(Type) > 3;
}

// A zip set whose parts are volume files (atZipMV) or removable disks (atZipDS): the readers
// bring up the other parts when a record or an entry's data goes on beyond the part open.
constexpr bool IsSplitOrSpanned(TArcType Type) {
  return Type == TArcType::atZipDS || Type == TArcType::atZipMV;
}

// The types whose data the traditional zip cipher deciphers.
constexpr bool IsZipFamily(TArcType Type) {
  switch (Type) {
    case TArcType::atBh:
    case TArcType::atBhExe:
    case TArcType::atJar:
    case TArcType::atJarExe:
    case TArcType::atZip:
    case TArcType::atZipExe:
    case TArcType::atZipDS:
    case TArcType::atZipMV:
      return true;
    default:
      return false;
  }
}

// The types for which a run opens no archive stream.
constexpr bool IsStreamlessArcType(TArcType Type) {
  switch (Type) {
    case TArcType::atAce:
    case TArcType::atAceExe:
    case TArcType::atCab:
    case TArcType::atCabExe:
    case TArcType::atRar:
    case TArcType::atRarExe:
      return true;
    default:
      return false;
  }
}

}  // namespace ruvevid
