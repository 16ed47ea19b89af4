#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the release build and once
# under AddressSanitizer and UndefinedBehaviorSanitizer; then the engine's tests (which decode on
# worker threads) under ThreadSanitizer. Also checks the layers and the formatting.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/bootstrap.sh --windows

jobs=$(nproc)
for preset in release asan-ubsan; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$jobs"
done

echo "== tsan: configure, build and the engine's tests"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"
ctest --preset tsan -j "$jobs"

# The Windows executables: cross-built with MinGW-w64; the x86-64 tests run under Wine, the i686
# build is compiled only (this kernel runs no 32-bit program).
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
for preset in windows-x64 windows-x86; do
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done
echo "== windows-x64: tests under Wine"
# The prefix is made once, before the tests start Wine side by side.
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
/usr/lib/wine/wineserver -w
ctest --preset windows-x64 -j "$jobs"

echo "== layers"
./scripts/check-layers.sh

echo "== formatting"
./scripts/check-format.sh
