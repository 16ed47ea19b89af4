#!/usr/bin/env bash
# The updater's whole cycle against the plain pipeline it replaces: `curl -o` followed by
# `ruvevid-unzip`, on one archive served by the project's update server on loopback port 280 (the
# port the updater is built for; run as root or give the server CAP_NET_BIND_SERVICE).
#
#   bench/update_cycle.sh ARCHIVE [BUILD_DIR] [RUNS]     (defaults: build/release, 5)
#
# Each run installs into a fresh program folder with a running "RovuzurA.exe"; the window is drawn
# off-screen. Prints each run, the medians, and a timeline of one more updater run taken with
# strace (start-up until the first connection, the two pauses, the journal's syncs), which says
# what the difference is made of. The traced run is slower than the others: read its shares, not
# its total.
set -euo pipefail

ARCHIVE=$(realpath "$1")
BUILD=$(realpath "${2:-build/release}")
RUNS=${3:-5}
find_program() { find "$BUILD" -type f -name "$1" -perm -u+x | head -n 1; }
UPDATER=$(find_program ruvevid-updater)
SERVER=$(find_program ruvevid-update-server)
UNZIP=$(find_program ruvevid-unzip)
[ -n "$UPDATER" ] && [ -n "$SERVER" ] && [ -n "$UNZIP" ] || { echo "build $BUILD first" >&2; exit 1; }
WORK=$(mktemp -d "$(dirname "$ARCHIVE")/update-cycle.XXXXXX")
mkdir -p "$WORK/root/HTTP/Ruvevid"
cp "$ARCHIVE" "$WORK/root/HTTP/Ruvevid/Roduvov0.zip"
URL=http://localhost:280/HTTP/Ruvevid/Roduvov0.zip

"$SERVER" --port 280 --root "$WORK/root" >"$WORK/server.log" 2>&1 &
SERVER_PID=$!
trap 'kill $SERVER_PID 2>/dev/null || true; rm -rf "$WORK"' EXIT INT TERM
for _ in $(seq 1 100); do grep -q listening "$WORK/server.log" && break; sleep 0.05; done
export QT_QPA_PLATFORM=offscreen

now() { date +%s.%N; }
# A program folder holding the updater and a running old program.
fresh_program() {
  pkill -f "$WORK/program/RovuzurA.exe" 2>/dev/null || true
  rm -rf "$WORK/program" "$WORK/out" "$WORK/plain.zip"
  mkdir -p "$WORK/program"
  cp "$UPDATER" "$WORK/program/ruvevid-updater"
  printf '#!/bin/sh\nexit 0\n' >"$WORK/program/Ruvevid.exe"
  chmod +x "$WORK/program/Ruvevid.exe"
  cp "$(command -v sleep)" "$WORK/program/RovuzurA.exe"
  "$WORK/program/RovuzurA.exe" 600 &
  sync
}
run_updater() {
  local Start End
  Start=$(now)
  (cd "$WORK/program" && timeout 600 ./ruvevid-updater) || { echo "updater failed" >&2; exit 1; }
  End=$(now)
  echo "$End - $Start" | bc
}
run_plain() {
  local Start End
  Start=$(now)
  curl -s -o "$WORK/plain.zip" "$URL"
  "$UNZIP" "$WORK/plain.zip" "$WORK/out" >/dev/null
  End=$(now)
  echo "$End - $Start" | bc
}
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

echo "archive $(basename "$ARCHIVE"), $(stat -c %s "$ARCHIVE") bytes, $RUNS runs each, alternating"
: >"$WORK/updater.times"
: >"$WORK/plain.times"
for Run in $(seq 1 "$RUNS"); do
  fresh_program
  U=$(run_updater)
  fresh_program
  P=$(run_plain)
  echo "$U" >>"$WORK/updater.times"
  echo "$P" >>"$WORK/plain.times"
  printf 'run %d: updater %.3f s, curl -o + ruvevid-unzip %.3f s\n' "$Run" "$U" "$P"
done
MU=$(median <"$WORK/updater.times")
MP=$(median <"$WORK/plain.times")
printf 'median: updater %.3f s, curl -o + ruvevid-unzip %.3f s, difference %.3f s\n' \
  "$MU" "$MP" "$(echo "$MU - $MP" | bc)"

if command -v strace >/dev/null; then
  fresh_program
  (cd "$WORK/program" && strace -f -ttt -o "$WORK/trace" \
    -e trace=execve,connect,fsync,fdatasync,syncfs,sync,clock_nanosleep,nanosleep,exit_group ./ruvevid-updater) ||
    true
  python3 - "$WORK/trace" <<'PY'
import re, sys
lines = open(sys.argv[1]).read().splitlines()
stamp = lambda l: float(l.split()[1])
start = stamp(lines[0])
first_connect = next((stamp(l) for l in lines if " connect(" in l and "AF_INET" in l), None)
sleeps = []
for l in lines:
    m = re.search(r"nanosleep\(.*tv_sec=(\d+), tv_nsec=(\d+)", l)
    if m: sleeps.append(int(m.group(1)) + int(m.group(2)) / 1e9)
syncs = [l for l in lines if re.search(r" (f|fdata|)sync(fs)?\(", l)]
end = stamp(lines[-1])
print("traced updater run: %.3f s in all" % (end - start))
if first_connect: print("  start-up until the first connection: %.3f s" % (first_connect - start))
print("  asked-for sleeps of 0.4 s or more: %s" % ", ".join("%.3f s" % s for s in sleeps if s >= 0.4))
print("  sync calls (fsync, fdatasync, syncfs, sync): %d" % len(syncs))
PY
fi
