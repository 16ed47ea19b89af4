#!/bin/sh
# Runs a program (a Windows test under wine) with the scripted loopback HTTP server beside it,
# its port in RUVEVID_TEST_HTTP_PORT. Usage: with-server.sh COMMAND [ARGUMENT...]
set -eu
here=$(dirname "$0")
port_file=$(mktemp)
python3 "$here/scripted_server.py" >"$port_file" &
server=$!
trap 'kill "$server" 2>/dev/null; rm -f "$port_file"' EXIT
tries=0
until [ -s "$port_file" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then
    echo "the scripted server did not start" >&2
    exit 1
  fi
  sleep 0.1
done
RUVEVID_TEST_HTTP_PORT=$(head -n 1 "$port_file")
export RUVEVID_TEST_HTTP_PORT
"$@"
