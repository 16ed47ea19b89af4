#!/usr/bin/env bash
# ruvevid-unzip on the benchmark corpus (../shared/bench/gen_corpus.py OUTDIR) against the peers
# and against the file system's own floor, `cp -r` of the extracted tree, in alternating runs:
#
#   bench/corpus_compare.sh CORPUS_DIR [BUILD_DIR] [RUNS]    (defaults: build/release, 5)
#
# ARCHIVES="bench-deflate.zip ..." limits it to those archives.
#
# For each archive it times ruvevid-unzip with one thread and with one per core (-j 0),
# bsdtar (7-Zip for deflate64, which bsdtar cannot read) and `cp -r CORPUS_DIR/tree`, every one
# into a new folder on the corpus's disk. Prints the medians and the ratios the goals are stated
# in.
#
# No output is removed while an archive's runs are timed: ext4 does not give out an inode freed
# in the last minute (five while its table block is dirty), and scans past every one of them on
# each create, so a tree removed just before a run makes that run's creates several times dearer
# and its figures follow how many runs came before. The outputs are removed after each archive's
# runs, then the disk is synced and the script waits SETTLE seconds (default 65) before the next.
set -euo pipefail

CORPUS=$(realpath "$1")
BUILD=$(realpath "${2:-build/release}")
RUNS=${3:-5}
UNZIP=$(find "$BUILD" -type f -name ruvevid-unzip -perm -u+x | head -n 1)
[ -n "$UNZIP" ] || { echo "ruvevid-unzip not found under $BUILD" >&2; exit 1; }
SETTLE=${SETTLE:-65}
OUTS="$CORPUS/compare-out"
Count=0
trap 'rm -rf "$OUTS"' EXIT
rm -rf "$OUTS"
sync
sleep "$SETTLE"

# next: a new output folder's name in $OUT.
next() {
  Count=$((Count + 1))
  OUT="$OUTS/$Count"
  mkdir -p "$OUT"
}

# seconds COMMAND...: wall time of one run.
seconds() {
  sync
  local Start End
  Start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  End=$(date +%s.%N)
  echo "$End - $Start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

for Archive in ${ARCHIVES:-bench-deflate.zip bench-store.zip bench-zipcrypto.zip bench-deflate64.zip}; do
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
    next
    Times[j1]+="$(seconds "$UNZIP" "$A" "$OUT" -j 1 "${Password[@]}") "
    next
    Times[jN]+="$(seconds "$UNZIP" "$A" "$OUT" -j 0 "${Password[@]}") "
    if [ "$Archive" = bench-deflate64.zip ]; then
      next
      Times[peer]+="$(seconds 7zz x -y -bd "-o$OUT" "${SevenPassword[@]}" "$A") "
    else
      next
      Times[peer]+="$(seconds bsdtar "${TarPassword[@]}" -xf "$A" -C "$OUT") "
    fi
    next
    Times[cp]+="$(seconds cp -r "$CORPUS/tree" "$OUT/tree") "
  done
  M1=$(tr ' ' '\n' <<<"${Times[j1]}" | grep . | median)
  MN=$(tr ' ' '\n' <<<"${Times[jN]}" | grep . | median)
  MP=$(tr ' ' '\n' <<<"${Times[peer]}" | grep . | median)
  MC=$(tr ' ' '\n' <<<"${Times[cp]}" | grep . | median)
  Peer=bsdtar
  [ "$Archive" = bench-deflate64.zip ] && Peer=7zz
  printf '%-20s -j1 %.3f s  -j0 %.3f s  %s %.3f s  cp -r %.3f s   -j0/%s %.2f  -j0/cp %.2f  -j1/%s %.2f\n' \
    "$Archive" "$M1" "$MN" "$Peer" "$MP" "$MC" "$Peer" "$(echo "$MN / $MP" | bc -l)" \
    "$(echo "$MN / $MC" | bc -l)" "$Peer" "$(echo "$M1 / $MP" | bc -l)"
  unset Times
  rm -rf "$OUTS"
  sync
  sleep "$SETTLE"
done
