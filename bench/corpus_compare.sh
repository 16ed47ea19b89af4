#!/usr/bin/env bash
# ruvevid-unzip on the benchmark corpus (../shared/bench/gen_corpus.py OUTDIR) against the peers
# and against the file system's own floor, `cp -r` of the extracted tree, in alternating runs:
#
#   bench/corpus_compare.sh CORPUS_DIR [BUILD_DIR] [RUNS]    (defaults: build/release, 5)
#
# For each archive it times ruvevid-unzip with one thread and with the default (one per core),
# bsdtar (7-Zip for deflate64, which bsdtar cannot read) and `cp -r CORPUS_DIR/tree`, every one
# into a fresh folder on the corpus's disk (removed and synced outside the timing). Prints the
# medians and the ratios the goals are stated in.
set -euo pipefail

CORPUS=$(realpath "$1")
BUILD=$(realpath "${2:-build/release}")
RUNS=${3:-5}
UNZIP=$(find "$BUILD" -type f -name ruvevid-unzip -perm -u+x | head -n 1)
[ -n "$UNZIP" ] || { echo "ruvevid-unzip not found under $BUILD" >&2; exit 1; }
OUT="$CORPUS/compare-out"
trap 'rm -rf "$OUT"' EXIT

# seconds COMMAND...: wall time of one run into a fresh $OUT.
seconds() {
  rm -rf "$OUT"
  mkdir -p "$OUT"
  sync
  local Start End
  Start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  End=$(date +%s.%N)
  echo "$End - $Start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

for Archive in bench-deflate.zip bench-store.zip bench-zipcrypto.zip bench-deflate64.zip; do
  A="$CORPUS/$Archive"
  [ -f "$A" ] || continue
  Password=()
  TarPassword=()
  SevenPassword=()
  if [ "$Archive" = bench-zipcrypto.zip ]; then
    Password=(-p secret)
    TarPassword=(--passphrase secret)
    SevenPassword=(-psecret)
  fi
  declare -A Times=()
  for _ in $(seq 1 "$RUNS"); do
    Times[j1]+="$(seconds "$UNZIP" "$A" "$OUT" -j 1 "${Password[@]}") "
    Times[jN]+="$(seconds "$UNZIP" "$A" "$OUT" "${Password[@]}") "
    if [ "$Archive" = bench-deflate64.zip ]; then
      Times[peer]+="$(seconds 7zz x -y -bd "-o$OUT" "${SevenPassword[@]}" "$A") "
    else
      Times[peer]+="$(seconds bsdtar "${TarPassword[@]}" -xf "$A" -C "$OUT") "
    fi
    Times[cp]+="$(seconds cp -r "$CORPUS/tree" "$OUT/tree") "
  done
  M1=$(tr ' ' '\n' <<<"${Times[j1]}" | grep . | median)
  MN=$(tr ' ' '\n' <<<"${Times[jN]}" | grep . | median)
  MP=$(tr ' ' '\n' <<<"${Times[peer]}" | grep . | median)
  MC=$(tr ' ' '\n' <<<"${Times[cp]}" | grep . | median)
  Peer=bsdtar
  [ "$Archive" = bench-deflate64.zip ] && Peer=7zz
  printf '%-20s -j1 %.3f s  default %.3f s  %s %.3f s  cp -r %.3f s   default/%s %.2f  default/cp %.2f  -j1/%s %.2f\n' \
    "$Archive" "$M1" "$MN" "$Peer" "$MP" "$MC" "$Peer" "$(echo "$MN / $MP" | bc -l)" \
    "$(echo "$MN / $MC" | bc -l)" "$Peer" "$(echo "$M1 / $MP" | bc -l)"
  unset Times
done
