#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once in the release build and once
# under AddressSanitizer and UndefinedBehaviorSanitizer; then the engine's tests (which decode on
# worker threads) under ThreadSanitizer. Also checks the layers and the formatting.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/bootstrap.sh

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

echo "== layers"
./scripts/check-layers.sh

echo "== formatting"
./scripts/check-format.sh
