#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual X screen of its own, for tests that make
# windows: the screen is the same size everywhere and nothing shows on the developer's desktop.
#
# Wine's desktop lives as long as the prefix's server and stays on the display of the program that
# started it. A server left running by another program of the prefix (a test without a screen, or
# one whose screen has gone) would leave this program no desktop to make windows on, so the server
# is ended before and after; the tests that use this script run alone (RUN_SERIAL).
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-/usr/lib/wine/wine64}
server=${WINESERVER:-/usr/lib/wine/wineserver}
end_server() {
  "$server" -k >/dev/null 2>&1 || true
  "$server" -w >/dev/null 2>&1 || true
}
end_server
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@" || status=$?
end_server
exit "$status"
