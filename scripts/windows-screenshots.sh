#!/usr/bin/env bash
# Pictures of the Windows window under Wine on a virtual X screen: the window driver shows the
# window mid-download and mid-extraction, and each window is saved as a PNG.
#   scripts/windows-screenshots.sh [DRIVER.exe] [OUTPUT-DIR]
# Needs wine, xvfb-run, xdotool, ImageMagick and fonts-nanum. The Wine prefix (WINEPREFIX,
# default build/wine-screenshots) gets NanumGothic, Wine's own faces and a caption font with
# Hangul, and draws its own window frames (no window manager runs on the virtual screen).
set -euo pipefail
cd "$(dirname "$0")/.."
# Runs itself again on a virtual screen of its own.
if [ -z "${RUVEVID_ON_XVFB:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" env RUVEVID_ON_XVFB=1 "$PWD/scripts/$(basename "$0")" "$@"
fi
driver=$(realpath "${1:-build/windows-x64/tests/ruvevid-window-driver.exe}")
output=$(realpath -m "${2:-docs/screenshots}")
export WINEPREFIX=${WINEPREFIX:-$PWD/build/wine-screenshots}
export WINEDEBUG=-all
wine=${WINE:-/usr/lib/wine/wine64}
mkdir -p "$output"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
fi
fonts="$WINEPREFIX/drive_c/windows/Fonts"
cp /usr/share/fonts/truetype/nanum/NanumGothic.ttf /usr/share/fonts/truetype/nanum/NanumGothicBold.ttf "$fonts/"
for face in tahoma.ttf tahomabd.ttf marlett.ttf; do
  [ -f "/usr/share/wine/fonts/$face" ] && cp "/usr/share/wine/fonts/$face" "$fonts/"
done
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
# The caption font: a LOGFONTW of NanumGothic, bold, 12 pixels, Hangul character set.
caption=f4ffffff000000000000000000000000bc0200000000008100000000
caption+=4e0061006e0075006d0047006f007400680069006300
caption+=$(printf '0%.0s' $(seq 1 84))
"$wine" reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v CaptionFont /t REG_BINARY /d "$caption" /f >/dev/null 2>&1
"$wine" wineserver -k >/dev/null 2>&1 || true

shoot() {
  local state=$1 file=$2
  "$wine" "$driver" "$state" 20 >/dev/null 2>&1 &
  local pid=$! id=""
  for _ in $(seq 1 60); do
    id=$(xdotool search --name "Ruvevid Label Maker" 2>/dev/null | head -n1 || true)
    [ -n "$id" ] && break
    sleep 0.5
  done
  [ -n "$id" ] || { echo "no window for $state" >&2; kill "$pid"; return 1; }
  sleep 3  # the window paints, the gauges and the bar settle
  import -window "$id" "$file"
  xdotool windowclose "$id" 2>/dev/null || true
  wait "$pid" || true
  echo "$file"
}

shoot downloading "$output/windows-downloading.png"
shoot extracting "$output/windows-extracting.png"
