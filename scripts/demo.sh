#!/usr/bin/env bash
# The demo of the updater's main job, on a build folder: serves a generated update archive from
# the project's update server on 127.0.0.1:280 and runs the updater from a demo program folder.
# Without a display the window is drawn off-screen.
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
port=280
demo="$build/demo"
server_root="$demo/server"
program="$demo/program"
payload="$demo/payload"

find_program() { find "$build" -type f -name "$1" -perm -u+x | head -n 1; }
updater=$(find_program ruvevid-updater)
server=$(find_program ruvevid-update-server)
[ -n "$updater" ] && [ -n "$server" ] || { echo "demo: build the project first" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ] && ! getcap "$server" 2>/dev/null | grep -q cap_net_bind_service; then
  echo "demo: port 280 needs root or CAP_NET_BIND_SERVICE. Run ./run.sh as root, or once:" >&2
  echo "      sudo setcap cap_net_bind_service=+ep $server" >&2
  exit 1
fi

rm -rf "$demo"
mkdir -p "$server_root/HTTP/Ruvevid" "$program" "$payload/data" "$payload/fonts"

# The update archive: the main application (a script that records its start), texts and data.
cat > "$payload/Ruvevid.exe" <<'APP'
#!/bin/sh
echo "Ruvevid Label Maker started in $(pwd)" > "$(dirname "$0")/started.txt"
APP
chmod +x "$payload/Ruvevid.exe"
printf 'Ruvevid Label Maker\r\nVersion 2.0 update\r\n' > "$payload/readme.txt"
head -c 3000000 /dev/urandom > "$payload/data/labels.dat"
seq 1 200000 > "$payload/data/sizes.txt"
head -c 20000 /dev/zero > "$payload/fonts/empty.fnt"
(cd "$payload" && zip -q -r -X "$server_root/HTTP/Ruvevid/Roduvov0.zip" .)

# The program folder: the updater beside an old version, and a running "RovuzurA.exe".
cp "$updater" "$program/ruvevid-updater"
echo "old" > "$program/readme.txt"
cp "$(command -v sleep)" "$program/RovuzurA.exe"
"$program/RovuzurA.exe" 600 &
running_pid=$!

"$server" --port "$port" --root "$server_root" > "$demo/server.log" 2>&1 &
server_pid=$!
cleanup() {
  kill "$server_pid" 2>/dev/null || true
  kill "$running_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 1 100); do
  grep -q listening "$demo/server.log" 2>/dev/null && break
  sleep 0.05
done
grep -q listening "$demo/server.log" || { cat "$demo/server.log" >&2; exit 1; }

echo "demo: serving $(stat -c %s "$server_root/HTTP/Ruvevid/Roduvov0.zip") bytes on 127.0.0.1:$port"
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || export QT_QPA_PLATFORM=offscreen
start=$(date +%s.%N)
status=0
(cd "$program" && timeout 300 ./ruvevid-updater) || status=$?
end=$(date +%s.%N)
sleep 0.5

echo "demo: updater exited with $status after $(echo "$end - $start" | bc 2>/dev/null || echo "?") s"
failures=0
check() {
  if eval "$2"; then echo "  ok   $1"; else echo "  FAIL $1"; failures=$((failures + 1)); fi
}
closed() { # gone, or a zombie waiting for this script
  local state
  state=$(awk '{print $3}' "/proc/$running_pid/stat" 2>/dev/null || true)
  [ -z "$state" ] || [ "$state" = Z ]
}
check "the updater exited with 0" "[ $status -eq 0 ]"
check "the running RovuzurA.exe was closed" closed
same_files() {
  (cd "$payload" && find . -type f | while read -r f; do cmp -s "$f" "$program/$f" || exit 1; done)
}
check "every file of the archive is in the program folder, exact" same_files
check "Ruvevid.exe was started" "[ -f '$program/started.txt' ]"
check "the archive was deleted" "[ ! -e '$program/Roduvov0.zip' ]"
check "no staging, backup or journal is left" \
  "[ ! -e '$program/.ruvevid-staging' ] && [ ! -e '$program/.ruvevid-backup' ] && [ ! -e '$program/.ruvevid-journal' ]"
[ "$failures" -eq 0 ] && echo "demo: the update is installed" || { echo "demo: $failures check(s) failed"; exit 1; }
