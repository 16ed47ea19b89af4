#!/bin/sh
# ruvevid-unzip against Info-ZIP `unzip -o -q` and `bsdtar -xf` on one archive of about 150 MB of
# mixed files (many small, a few large), in the same run with a warm cache.
#
#   bench/unzip_bench.sh [BUILD_DIR] [RUNS]        (defaults: build/release, 5)
#   KINDS=stored bench/unzip_bench.sh ...          (only the stored archive)
#
# The payload is made once per run in a scratch folder: 15,000 small files of 1-8 KB (text and
# binary) in 150 folders, and three large files of 28 MB. It is archived twice, stored (zip -0) and
# deflated (zip -6). Every extractor writes into a fresh folder (removed outside the timing); the
# first pass of each tool warms the cache and is not counted. Prints the median and best wall time
# of each tool per archive, and checks that the trees match the payload.
set -eu

BUILD=${1:-build/release}
RUNS=${2:-5}
TOOL=$(find "$BUILD" -type f -name ruvevid-unzip -perm -u+x | head -n 1)
[ -n "$TOOL" ] || { echo "ruvevid-unzip not found under $BUILD" >&2; exit 1; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/unzip-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT INT TERM

python3 - "$WORK/payload" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(20240601)
words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9)))
         for _ in range(2000)]
def text(n):
    out = bytearray()
    while len(out) < n:
        out += rnd.choice(words) + (b"\n" if rnd.random() < 0.1 else b" ")
    return bytes(out[:n])
for i in range(15000):
    folder = os.path.join(root, "d%03d" % (i % 150))
    os.makedirs(folder, exist_ok=True)
    n = rnd.randint(1024, 8192)
    data = text(n) if i % 3 else rnd.randbytes(n)
    open(os.path.join(folder, "f%05d.%s" % (i, "txt" if i % 3 else "bin")), "wb").write(data)
os.makedirs(os.path.join(root, "big"), exist_ok=True)
for k in range(3):
    with open(os.path.join(root, "big", "large%d.dat" % k), "wb") as f:
        for _ in range(28):
            f.write(text(1 << 19) + rnd.randbytes(1 << 19))
PY
(cd "$WORK/payload" && zip -q -r -0 -X ../stored.zip . && zip -q -r -6 -X ../deflated.zip .)

# time_tool NAME COMMAND: runs the shell command, which extracts into $WORK/out. Prints the
# median and best wall time and the median CPU time (user + system), which a busy machine disturbs
# less than wall time.
time_tool() {
  name=$1; command=$2
  : > "$WORK/times"
  i=0
  while [ "$i" -le "$RUNS" ]; do
    rm -rf "$WORK/out"; mkdir "$WORK/out"; sync
    /usr/bin/time -o "$WORK/one" -f "%e %U %S" sh -c "$command" >/dev/null 2>&1 ||
      { echo "$name failed on $ARCHIVE" >&2; exit 1; }
    [ "$i" -gt 0 ] && cat "$WORK/one" >> "$WORK/times"
    i=$((i + 1))
  done
  diff -r -q "$WORK/payload" "$WORK/out" >/dev/null || { echo "$name: tree differs" >&2; exit 1; }
  wall=$(cut -d' ' -f1 "$WORK/times" | sort -n)
  cpu=$(awk '{ print $2 + $3 }' "$WORK/times" | sort -n)
  median() { echo "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
  printf "  %-16s wall median %6.2f s best %6.2f s (%4.0f MB/s)  CPU median %5.2f s\n" "$name" \
    "$(median "$wall")" "$(echo "$wall" | head -n 1)" \
    "$(echo "$MB / $(median "$wall")" | bc -l)" "$(median "$cpu")"
}

MB=$(du -sm --apparent-size "$WORK/payload" | cut -f1)
echo "payload: $MB MB in $(find "$WORK/payload" -type f | wc -l) files; $RUNS timed runs each"
for kind in ${KINDS:-stored deflated}; do
  ARCHIVE="$WORK/$kind.zip"
  echo "$kind archive ($(du -m --apparent-size "$ARCHIVE" | cut -f1) MB):"
  time_tool "ruvevid-unzip" "'$TOOL' '$ARCHIVE' '$WORK/out'"
  time_tool "unzip -o -q" "unzip -o -q '$ARCHIVE' -d '$WORK/out'"
  time_tool "bsdtar -xf" "bsdtar -xf '$ARCHIVE' -C '$WORK/out'"
done
