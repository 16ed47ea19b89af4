#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
if [ -z "$files" ]; then
  files=$(find src tests tools bench fuzz -name '*.cpp' -o -name '*.h' 2>/dev/null)
fi
[ -n "$files" ] || exit 0
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files
echo "formatting: clean"
