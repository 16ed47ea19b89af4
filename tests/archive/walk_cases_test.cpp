// Archives that other tools open and archives they refuse, run through ruvevid-unzip as a user
// would: each row makes its archive with a real tool (zip, Python's zipfile) in a scratch folder,
// runs the extractor on it and checks the exit status, the event lines and the files written.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/TestPaths.h"
#include "walk_Support.h"

namespace ruvevid::walk_test {
namespace {

using test::TempDir;

// Python helpers every row's program may use: a payload file, patching little-endian fields.
const std::string kPrelude = R"(import io, os, struct, zipfile, zlib
def put(d, at, fmt, *v): struct.pack_into('<' + fmt, d, at, *v)
def end(d): return d.rfind(b'PK\x05\x06')
os.makedirs('f/s', exist_ok=True)
open('f/a.txt', 'wb').write(b'alpha\n' * 100)
open('f/s/b.bin', 'wb').write(os.urandom(70000))
)";

struct TCase {
  const char* Label;
  std::string Make;     // Python program run in the scratch folder after kPrelude
  std::string Archive;  // the extractor's archive argument, relative to the scratch folder
  int Status;
  std::vector<std::string> Lines;                 // substrings the output must contain
  std::map<std::string, std::string> Files = {};  // output file -> "=source", "/" or its bytes
  std::vector<std::string> Absent = {};           // output files that must not exist
  std::string Options = "";
};

class UnzipToolCases : public ::testing::TestWithParam<TCase> {};

TEST_P(UnzipToolCases, BehaveAsOtherToolsDoOrFailClearly) {
  const TCase& Case = GetParam();
  const fs::path Tool = test::FindBuiltProgram("ruvevid-unzip");
  if (Tool.empty()) GTEST_SKIP() << "ruvevid-unzip is not built in this build folder";
  if (!HaveProgram("zip") || !HaveProgram("python3")) GTEST_SKIP() << "zip or python3 missing";
  TempDir Work;
  ASSERT_TRUE(Python(Work.path(), kPrelude + Case.Make)) << Case.Make;
  const std::string Line = "cd '" + Work.path().string() + "' && timeout 60 '" + Tool.string() +
                           "' '" + Case.Archive + "' out " + Case.Options + " 2>&1";
  FILE* Pipe = ::popen(Line.c_str(), "r");
  ASSERT_NE(Pipe, nullptr);
  std::string Output;
  char Buffer[4096];
  for (std::size_t Got; (Got = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
    Output.append(Buffer, Got);
  const int Status = ::pclose(Pipe);
  EXPECT_EQ(WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, Case.Status) << Output;
  for (const std::string& Expected : Case.Lines)
    EXPECT_NE(Output.find(Expected), std::string::npos) << Expected << "\n" << Output;
  for (const auto& [Name, Bytes] : Case.Files) {
    if (Bytes == "/") {
      EXPECT_TRUE(fs::is_directory(Work / "out" / Name)) << Name;
      continue;
    }
    const std::string Wanted = Bytes.rfind('=', 0) == 0 ? ReadText(Work / Bytes.substr(1)) : Bytes;
    EXPECT_TRUE(fs::exists(Work / "out" / Name) && ReadText(Work / "out" / Name) == Wanted) << Name;
  }
  for (const std::string& Name : Case.Absent) EXPECT_FALSE(fs::exists(Work / "out" / Name)) << Name;
  // No temporary file of a failed entry is left behind.
  if (fs::exists(Work / "out")) {
    for (const std::string& Name : ListTree(Work / "out")) EXPECT_NE(Name.back(), '~') << Name;
  }
}

const std::string kZipFolder = "os.system('zip -q -r a.zip f')\n";
const std::string kZip64Folder = "os.system('zip -q -fz -r a.zip f')\n";

const std::vector<TCase> kCases = {
    // 1. Streamed to a pipe with a password: the local CRC fields hold the DOS time.
    {"EncryptedToAPipe",
     "os.system('zip -q -P PASS -r - f | cat > a.zip')\n",
     "a.zip",
     0,
     {"end PASS"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}},
     {},
     "-p PASS"},
    {"EncryptedToAPipeReadFromItsLocalHeaders",
     "os.system('zip -q -P PASS -r - f | cat > a.zip'); d = bytearray(open('a.zip','rb').read())\n"
     "open('a.zip','wb').write(d.replace(b'PK\\x01\\x02', b'PK\\x00\\x00'))\n",
     "a.zip",
     0,
     {"end PASS"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}},
     {},
     "-p PASS"},
    // 2. Zip64 records behind a stub, the end record deferring to them with 0xFFFFFFFF.
    {"Zip64BehindAStub",
     kZip64Folder + "d = bytearray(open('a.zip','rb').read()); e = end(d)\n"
                    "put(d, e + 12, 'II', 0xFFFFFFFF, 0xFFFFFFFF)\n"
                    "open('b.zip','wb').write(b'#!/bin/sh stub\\n' * 300 + d)\n",
     "b.zip",
     0,
     {"result 2"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
    // 3. An end-record signature inside the archive comment.
    {"EndSignatureInTheComment",
     "with zipfile.ZipFile('a.zip', 'w') as z:\n"
     "    z.write('f/a.txt'); z.comment = b'note PK\\x05\\x06' + bytes(18) + b' end'\n",
     "a.zip",
     0,
     {"result 1"},
     {{"f/a.txt", "=f/a.txt"}}},
    // 4. A split set opened from its first part and from a middle part.
    {"SplitSetFromItsFirstPart",
     "os.system('zip -q -s 64k s.zip f/s/b.bin f/a.txt')\n",
     "s.z01",
     0,
     {"result 2"},
     {{"f/s/b.bin", "=f/s/b.bin"}, {"f/a.txt", "=f/a.txt"}}},
    {"SplitSetFromAMiddlePart",
     "open('f/c.bin', 'wb').write(os.urandom(200000))\n"
     "os.system('zip -q -s 64k s.zip f/c.bin f/a.txt')\n",
     "s.z02",
     0,
     {"result 2"},
     {{"f/c.bin", "=f/c.bin"}, {"f/a.txt", "=f/a.txt"}}},
    // 5. ':' is an ordinary character here; only "C:/" at the start is a drive.
    {"NamesWithColons",
     "with zipfile.ZipFile('a.zip', 'w') as z:\n"
     "    for n in ('dir/file:1.txt', 'a:b.txt', 'b.txt', 'time 12:30.log', 'C:/x/y.txt'):\n"
     "        z.writestr(n, n)\n",
     "a.zip",
     0,
     {"result 5"},
     {{"dir/file:1.txt", "dir/file:1.txt"},
      {"a:b.txt", "a:b.txt"},
      {"b.txt", "b.txt"},
      {"time 12:30.log", "time 12:30.log"},
      {"x/y.txt", "C:/x/y.txt"}}},
    // 6. Stored entries whose descriptors have no signature, behind 100 bytes the central
    // offsets do not count.
    {"DescriptorsWithoutSignatureAndOffsetsOff",
     "out = bytearray(b'#' * 100); cd = b''\n"
     "for n in ('f/a.txt', 'f/s/b.bin'):\n"
     "    b = open(n, 'rb').read(); c = zlib.crc32(b); off = len(out) - 100\n"
     "    out += struct.pack('<IHHHIIIIHH', 0x04034b50, 10, 8, 0, 0, 0, 0, 0, len(n), 0)\n"
     "    out += n.encode() + b + struct.pack('<III', c, len(b), len(b))\n"
     "    cd += struct.pack('<IHHHHIIIIHHHHHII', 0x02014b50, 20, 10, 8, 0, 0, c, len(b), len(b),\n"
     "                      len(n), 0, 0, 0, 0, 0, off) + n.encode()\n"
     "out += cd + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 2, 2, len(cd), len(out), 0)\n"
     "open('a.zip', 'wb').write(out)\n",
     "a.zip",
     0,
     {"result 2"},
     {{"f/a.txt", "=f/a.txt"}, {"f/s/b.bin", "=f/s/b.bin"}}},
    // 7. Nothing can be read: an error and a non-zero exit.
    {"CentralDirectorySizePastTheFile",
     kZipFolder + "d = bytearray(open('a.zip','rb').read()); put(d, end(d) + 12, 'I', 9999999)\n"
                  "open('a.zip','wb').write(d)\n",
     "a.zip",
     1,
     {"error 25114", "\tno entries\t", "result 0"}},
    {"Zip64LocatorPointingAtItself",
     "open('a.zip','wb').write(struct.pack('<IIQI', 0x07064b50, 0, 0, 1) +\n"
     "    struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0))\n",
     "a.zip",
     1,
     {"error 25114"}},
    {"CentralDirectoryAtTheEndRecord",
     "open('a.zip','wb').write(b'x' * 64 + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, 0,\n"
     "    64, 0))\n",
     "a.zip",
     1,
     {"error 25114"}},
    {"EmptyArchive", "zipfile.ZipFile('a.zip', 'w').close()\n", "a.zip", 1, {"error 25114"}},
    {"NotAZip",
     "open('a.zip', 'w').write('<html>not found</html>' * 20)\n",
     "a.zip",
     1,
     {"not a zip archive"}},
    // 8. Refused at once, never waited on.
    {"Fifo", "os.mkfifo('a.zip')\n", "a.zip", 1, {"error 25235", "not a regular file"}},
    {"Directory", "os.mkdir('a.zip')\n", "a.zip", 1, {"error 25235", "not a regular file"}},
    {"Device", "", "/dev/null", 1, {"error 25235", "not a regular file"}},
    // 9. Three central records over one local header.
    {"OverlappingEntries",
     kZipFolder + "d = open('a.zip','rb').read(); e = end(d); c = d.rfind(b'PK\\x01\\x02', 0, e)\n"
                  "t = bytearray(d[e:]); n, size = struct.unpack_from('<HI', t, 10)\n"
                  "put(t, 8, 'HHI', n + 2, n + 2, size + 2 * (e - c))\n"
                  "open('a.zip','wb').write(d[:e] + d[c:e] * 2 + t)\n",
     "a.zip",
     1,
     {"overlapped components"},
     {},
     {"f/a.txt", "f/s/b.bin"}},
    // 10. Names the file system cannot hold fail, the others are extracted.
    {"NamesTooLong",
     "with zipfile.ZipFile('a.zip', 'w') as z:\n"
     "    z.writestr('a' * 300 + '.txt', 'x'); z.writestr('/'.join(['d' * 200] * 25), 'y')\n"
     "    z.writestr('ok.txt', 'ok')\n",
     "a.zip",
     1,
     {"File name too long", "result 1"},
     {{"ok.txt", "ok"}}},
    // 16. Stored folders are created.
    {"StoredFolders",
     "os.makedirs('f/empty'); os.system('zip -q -r a.zip f')\n",
     "a.zip",
     0,
     {"end PASS"},
     {{"f/a.txt", "=f/a.txt"}, {"f/empty", "/"}}},
    // 17. A damaged split set whose entry runs past its last part.
    {"DamagedSplitSetNeverLoops",
     "os.system('zip -q -0 -s 64k s.zip f/s/b.bin'); d = bytearray(open('s.zip','rb').read())\n"
     "c = d.rfind(b'PK\\x01\\x02'); put(d, c + 20, 'II', 0x7FFFFF00, 0x7FFFFF00)\n"
     "open('s.zip','wb').write(d)\n",
     "s.zip",
     1,
     {"part past the last one of the set", "end FAIL"},
     {},
     {"f/s/b.bin"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, UnzipToolCases, ::testing::ValuesIn(kCases),
                         [](const auto& Info) { return std::string(Info.param.Label); });

}  // namespace
}  // namespace ruvevid::walk_test
