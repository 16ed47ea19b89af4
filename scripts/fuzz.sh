#!/usr/bin/env bash
# scripts/fuzz.sh TARGET SECONDS
#
# A long libFuzzer run of one fuzz target (fuzz_zip_archive, fuzz_inflate, fuzz_deflate64,
# fuzz_shrink, fuzz_reduce, fuzz_implode, fuzz_cipher), built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build/fuzz. Installs clang and its fuzzer runtime when they are
# missing (only this script needs them). The corpus grows in build/fuzz/corpus/TARGET, seeded from
# fuzz/corpus and the shared fixtures; a finding is written to build/fuzz/findings/TARGET and
# replays with `build/release/fuzz/TARGET FILE`.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: scripts/fuzz.sh TARGET SECONDS"
target=${1:?$usage}
seconds=${2:?$usage}

if ! command -v clang++ >/dev/null ||
  ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DRUVEVID_FUZZ=ON -DRUVEVID_SANITIZE=ON \
  -DRUVEVID_BUILD_TESTS=OFF -DRUVEVID_BUILD_UI=OFF -DRUVEVID_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz --target "$target"

corpus=build/fuzz/corpus/$target
findings=build/fuzz/findings/$target
mkdir -p "$corpus" "$findings"
fixtures=../shared/fixtures/zip
if [ -d "$fixtures" ]; then
  # The fixtures themselves for the archive target; their entries of the decoder's methods for a
  # decoder target (the first byte: method * 8 + flags bits 1 and 2, as the replay main makes it).
  case "$target" in
    fuzz_zip_archive) cp -n "$fixtures"/* "$corpus"/ 2>/dev/null || true ;;
    fuzz_inflate | fuzz_deflate64 | fuzz_shrink | fuzz_reduce | fuzz_implode)
      methods=$(case "$target" in
        fuzz_inflate) echo 8 ;; fuzz_deflate64) echo 9 ;; fuzz_shrink) echo 1 ;;
        fuzz_reduce) echo 2,3,4,5 ;; fuzz_implode) echo 6 ;; esac)
      python3 - "$fixtures" "$corpus" "$methods" <<'PY'
import os, struct, sys
fixtures, corpus, methods = sys.argv[1], sys.argv[2], {int(m) for m in sys.argv[3].split(',')}
for name in sorted(os.listdir(fixtures)):
    data = open(os.path.join(fixtures, name), 'rb').read()
    at = data.find(b'PK\x01\x02')
    while at >= 0 and at + 46 <= len(data):
        flags, method = struct.unpack_from('<HH', data, at + 8)
        packed, local = struct.unpack_from('<I', data, at + 20)[0], struct.unpack_from('<I', data, at + 42)[0]
        if method in methods and not flags & 1 and data[local:local + 4] == b'PK\x03\x04':
            start = local + 30 + sum(struct.unpack_from('<HH', data, local + 26))
            with open(os.path.join(corpus, '%s-%d' % (name, at)), 'wb') as f:
                f.write(bytes([method * 8 + (flags & 6)]) + data[start:start + packed])
        at = data.find(b'PK\x01\x02', at + 4)
PY
      ;;
  esac
fi
exec "build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$findings/" -rss_limit_mb=4096 "$corpus" "fuzz/corpus/${target#fuzz_}"
