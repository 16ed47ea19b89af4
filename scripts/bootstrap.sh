#!/usr/bin/env bash
# Installs the Debian packages the project needs, when they are missing.
# Running it again when everything is present costs one dpkg query.
# --windows also installs the MinGW-w64 cross compilers and Wine (for ./test.sh).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev curl libssl-dev openssl
  libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libdeflate-dev
  zip unzip 7zip libarchive-tools python3
  fonts-nanum
)
if [ "${1:-}" = "--windows" ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev googletest
    wine64 xvfb xauth procps
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
