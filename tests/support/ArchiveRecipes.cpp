#include "support/ArchiveRecipes.h"

#include <map>
#include <stdexcept>

#include "support/FileSet.h"

namespace ruvevid::test {

namespace {

// Every recipe starts with these helpers and a payload: f/a.txt (text) and f/s/b.bin (random).
const std::string kPrelude = R"(import io, os, struct, zipfile, zlib
def put(d, at, fmt, *v): struct.pack_into('<' + fmt, d, at, *v)
def end(d): return d.rfind(b'PK\x05\x06')
os.makedirs('f/s', exist_ok=True)
open('f/a.txt', 'wb').write(b'alpha\n' * 100)
open('f/s/b.bin', 'wb').write(os.urandom(70000))
)";

const std::string kZipFolder = "os.system('zip -q -r a.zip f')\n";
const std::string kZip64Folder = "os.system('zip -q -fz -r a.zip f')\n";

const std::map<std::string, TArchiveRecipe>& Recipes() {
  static const std::map<std::string, TArchiveRecipe> Table = {
      {"EncryptedToAPipe", {"os.system('zip -q -P PASS -r - f | cat > a.zip')\n", "a.zip"}},
      {"EncryptedToAPipeReadFromItsLocalHeaders",
       {"os.system('zip -q -P PASS -r - f | cat > a.zip'); d = "
        "bytearray(open('a.zip','rb').read())\n"
        "open('a.zip','wb').write(d.replace(b'PK\\x01\\x02', b'PK\\x00\\x00'))\n",
        "a.zip"}},
      {"Zip64BehindAStub",
       {kZip64Folder + "d = bytearray(open('a.zip','rb').read()); e = end(d)\n"
                       "put(d, e + 12, 'II', 0xFFFFFFFF, 0xFFFFFFFF)\n"
                       "open('b.zip','wb').write(b'#!/bin/sh stub\\n' * 300 + d)\n",
        "b.zip"}},
      {"EndSignatureInTheComment",
       {"with zipfile.ZipFile('a.zip', 'w') as z:\n"
        "    z.write('f/a.txt'); z.comment = b'note PK\\x05\\x06' + bytes(18) + b' end'\n",
        "a.zip"}},
      {"SplitSetFromItsFirstPart",
       {"os.system('zip -q -s 64k s.zip f/s/b.bin f/a.txt')\n", "s.z01"}},
      {"SplitSetFromAMiddlePart",
       {"open('f/c.bin', 'wb').write(os.urandom(200000))\n"
        "os.system('zip -q -s 64k s.zip f/c.bin f/a.txt')\n",
        "s.z02"}},
      {"NamesWithColons",
       {"with zipfile.ZipFile('a.zip', 'w') as z:\n"
        "    for n in ('dir/file:1.txt', 'a:b.txt', 'b.txt', 'time 12:30.log', 'C:/x/y.txt'):\n"
        "        z.writestr(n, n)\n",
        "a.zip"}},
      {"DescriptorsWithoutSignatureAndOffsetsOff",
       {"out = bytearray(b'#' * 100); cd = b''\n"
        "for n in ('f/a.txt', 'f/s/b.bin'):\n"
        "    b = open(n, 'rb').read(); c = zlib.crc32(b); off = len(out) - 100\n"
        "    out += struct.pack('<IHHHIIIIHH', 0x04034b50, 10, 8, 0, 0, 0, 0, 0, len(n), 0)\n"
        "    out += n.encode() + b + struct.pack('<III', c, len(b), len(b))\n"
        "    cd += struct.pack('<IHHHHIIIIHHHHHII', 0x02014b50, 20, 10, 8, 0, 0, c, len(b), "
        "len(b),\n"
        "                      len(n), 0, 0, 0, 0, 0, off) + n.encode()\n"
        "out += cd + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 2, 2, len(cd), len(out), 0)\n"
        "open('a.zip', 'wb').write(out)\n",
        "a.zip"}},
      {"CentralDirectorySizePastTheFile",
       {kZipFolder + "d = bytearray(open('a.zip','rb').read()); put(d, end(d) + 12, 'I', 9999999)\n"
                     "open('a.zip','wb').write(d)\n",
        "a.zip"}},
      {"Zip64LocatorPointingAtItself",
       {"open('a.zip','wb').write(struct.pack('<IIQI', 0x07064b50, 0, 0, 1) +\n"
        "    struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, "
        "0))\n",
        "a.zip"}},
      {"CentralDirectoryAtTheEndRecord",
       {"open('a.zip','wb').write(b'x' * 64 + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 1, 1, 0,\n"
        "    64, 0))\n",
        "a.zip"}},
      {"EmptyArchive", {"zipfile.ZipFile('a.zip', 'w').close()\n", "a.zip"}},
      {"NotAZip", {"open('a.zip', 'w').write('<html>not found</html>' * 20)\n", "a.zip"}},
      {"Fifo", {"os.mkfifo('a.zip')\n", "a.zip"}},
      {"Directory", {"os.mkdir('a.zip')\n", "a.zip"}},
      {"Device", {"", "/dev/null"}},
      {"OverlappingEntries",
       {kZipFolder +
            "d = open('a.zip','rb').read(); e = end(d); c = d.rfind(b'PK\\x01\\x02', 0, e)\n"
            "t = bytearray(d[e:]); n, size = struct.unpack_from('<HI', t, 10)\n"
            "put(t, 8, 'HHI', n + 2, n + 2, size + 2 * (e - c))\n"
            "open('a.zip','wb').write(d[:e] + d[c:e] * 2 + t)\n",
        "a.zip"}},
      {"NamesTooLong",
       {"with zipfile.ZipFile('a.zip', 'w') as z:\n"
        "    z.writestr('a' * 300 + '.txt', 'x'); z.writestr('/'.join(['d' * 200] * 25), 'y')\n"
        "    z.writestr('ok.txt', 'ok')\n",
        "a.zip"}},
      {"StoredFolders", {"os.makedirs('f/empty'); os.system('zip -q -r a.zip f')\n", "a.zip"}},
      {"DamagedSplitSetNeverLoops",
       {"os.system('zip -q -0 -s 64k s.zip f/s/b.bin'); d = bytearray(open('s.zip','rb').read())\n"
        "c = d.rfind(b'PK\\x01\\x02'); put(d, c + 20, 'II', 0x7FFFFF00, 0x7FFFFF00)\n"
        "open('s.zip','wb').write(d)\n",
        "s.zip"}},
      {"MixedMethods", {"os.system('zip -q -r -n .bin a.zip f')\n", "a.zip"}},
  };
  return Table;
}

}  // namespace

const TArchiveRecipe& ArchiveRecipe(const std::string& Label) {
  const auto Found = Recipes().find(Label);
  if (Found == Recipes().end()) throw std::invalid_argument("no archive recipe " + Label);
  return Found->second;
}

bool MakeRecipeArchive(const std::string& Label, const std::filesystem::path& Folder) {
  return RunPython(Folder, kPrelude + ArchiveRecipe(Label).Make);
}

}  // namespace ruvevid::test
