#!/usr/bin/env bash
# The Windows updater's whole cycle under Wine and Xvfb: a running "RovuzurA.exe" is closed, the
# update archive is fetched from the Linux build's update server on loopback port 280 (the port the
# updater is built for), installed into the program folder, "Ruvevid.exe" starts and the updater
# quits with status 0.
#
#   update_cycle_under_wine.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR
set -euo pipefail
windows_build=$(cd "$1" && pwd)
linux_build=$(cd "$2" && pwd)
updater="$windows_build/src/ruvevid-updater.exe"
fake="$windows_build/tests/ruvevid-fake-label-maker.exe"
server="$linux_build/tools/ruvevid-update-server"
for f in "$updater" "$fake" "$server"; do
  [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }
done
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$windows_build/wineprefix}

work=$(mktemp -d "$windows_build/update-cycle.XXXXXX")
program="$work/program"
payload="$work/payload"
mkdir -p "$work/root/HTTP/Ruvevid" "$program" "$payload/data" "$payload/글꼴"
cp "$fake" "$payload/Ruvevid.exe"
printf 'Ruvevid Label Maker\r\nVersion 2.0 update\r\n' >"$payload/readme.txt"
head -c 3000000 /dev/urandom >"$payload/data/labels.dat"
seq 1 200000 >"$payload/data/sizes.txt"
printf 'font' >"$payload/글꼴/기본.fnt"
(cd "$payload" && zip -q -r -X "$work/root/HTTP/Ruvevid/Roduvov0.zip" .)

cp "$updater" "$program/ruvevid-updater.exe"
cp "$fake" "$program/RovuzurA.exe"
echo "old" >"$program/readme.txt"

"$server" --port 280 --root "$work/root" >"$work/server.log" 2>&1 &
server_pid=$!
xvfb_pid=
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  pkill -f 'RovuzurA.exe' 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 1 100); do grep -q listening "$work/server.log" && break; sleep 0.05; done
grep -q listening "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

if [ -z "${DISPLAY:-}" ]; then
  display=:$((90 + RANDOM % 100))
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  sleep 1
fi

wine=/usr/lib/wine/wine64
(cd "$program" && "$wine" RovuzurA.exe) &
for _ in $(seq 1 100); do
  pgrep -f 'RovuzurA.exe' >/dev/null && break
  sleep 0.1
done
sleep 1

status=0
(cd "$program" && timeout 300 "$wine" ruvevid-updater.exe) || status=$?
failures=0
check() {
  if eval "$2"; then echo "  ok   $1"; else echo "  FAIL $1"; failures=$((failures + 1)); fi
}
check "the updater exited with 0 (it gave $status)" "[ $status -eq 0 ]"
check "the running RovuzurA.exe was closed" "! pgrep -f 'RovuzurA.exe' >/dev/null"
same_files() {
  (cd "$payload" && find . -type f | while read -r f; do cmp -s "$f" "$program/$f" || exit 1; done)
}
check "every file of the archive is in the program folder, exact" same_files
for _ in $(seq 1 100); do [ -f "$program/started.txt" ] && break; sleep 0.1; done
check "Ruvevid.exe was started" "[ -f '$program/started.txt' ]"
check "the archive was deleted" "[ ! -e '$program/Roduvov0.zip' ]"
check "no staging, backup or journal is left" \
  "[ ! -e '$program/.ruvevid-staging' ] && [ ! -e '$program/.ruvevid-backup' ] && [ ! -e '$program/.ruvevid-journal' ]"
[ "$failures" -eq 0 ] || { ls -la "$program" >&2; exit 1; }
