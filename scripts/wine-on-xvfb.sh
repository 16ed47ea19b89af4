#!/usr/bin/env bash
# Runs a Windows program under Wine on a virtual X screen of its own, for tests that make
# windows: the screen is the same size everywhere and nothing shows on the developer's desktop.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-/usr/lib/wine/wine64}
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$wine" "$@"
