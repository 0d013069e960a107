#!/usr/bin/env bash
# Wall time of ravelin-scan over a tree of real executables and ordinary
# files, side by side with
#   (a) open_read_close: the same walk doing only open, the 64-byte MZ header
#       read, the 4-byte signature read and close per file, the floor for any
#       scan that must tell an executable from other files;
#   (b) wrestool -l over the same files, batched with xargs.
# Caches are warmed first; each round times the three in turn, and the median
# of the rounds is reported: wall time, and the CPU time of the processes,
# which a busy machine disturbs less. Goals: within 1.5x of (a), at least 6x
# faster than (b).
#
# Environment: RAVELIN_BENCH_BUILD  release build folder (default build-bench)
#              ROUNDS               timed rounds (default 9)
#              OTHER_FILES          generated non-executable files (default 3000)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${RAVELIN_BENCH_BUILD:-$ROOT/build-bench}
ROUNDS=${ROUNDS:-9}
OTHER_FILES=${OTHER_FILES:-3000}
WINE_DIRS="/usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows"

command -v wrestool >/dev/null || { echo "wrestool (icoutils) is needed: scripts/deps.sh" >&2; exit 1; }

echo "Building the release ravelin-scan in $BUILD ..."
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF >"$BUILD.configure.log" 2>&1 \
  || { cat "$BUILD.configure.log"; exit 1; }
cmake --build "$BUILD" -j 2 --target ravelin-scan >"$BUILD.build.log" 2>&1 \
  || { tail -n 40 "$BUILD.build.log"; exit 1; }
SCAN=$BUILD/shell/ravelin-scan
PROBE=$BUILD/open_read_close
g++ -std=c++20 -O2 -Wall -Wextra -Wshadow -o "$PROBE" "$ROOT/bench/open_read_close.cpp"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ravelin-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
TREE=$WORK/tree
mkdir -p "$TREE"
echo "Building the tree in $TREE ..."
for dir in $WINE_DIRS; do
  [ -d "$dir" ] || { echo "missing $dir (wine, wine64)" >&2; exit 1; }
  # Hard links cost nothing on the same file system; copy otherwise.
  cp -al "$dir" "$TREE/$(basename "$dir")" 2>/dev/null || cp -r "$dir" "$TREE/$(basename "$dir")"
done
python3 - "$TREE/other" "$OTHER_FILES" <<'EOF'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(20240601)  # fixed: every run builds the same files
words = ("window bitmap cursor icon resource section header table offset length "
         "directory entry image palette colour mask value record").split()
for i in range(count):
    folder = os.path.join(root, "d%02d" % (i % 40), "s%d" % (i % 3))
    os.makedirs(folder, exist_ok=True)
    size = rng.choice((96, 700, 2500, 9000, 30000))
    kind = i % 4
    if kind == 0:    # text
        text = " ".join(rng.choice(words) for _ in range(size // 6)).encode()
        name, data = "note%05d.txt" % i, text
    elif kind == 1:  # binary noise
        name, data = "blob%05d.dat" % i, rng.randbytes(size)
    elif kind == 2:  # a DOS program: "MZ" but no PE or NE header behind it
        data = bytearray(rng.randbytes(size))
        data[0:2] = b"MZ"
        data[60:64] = (64).to_bytes(4, "little")
        name = "dos%05d.exe" % i
    else:            # an image file of another kind
        name, data = "pict%05d.png" % i, b"\x89PNG\r\n\x1a\n" + rng.randbytes(size)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
EOF

LIST=$WORK/files.list
find "$TREE" -type f -print0 >"$LIST"
files=$(tr -cd '\0' <"$LIST" | wc -c)
records=$("$SCAN" "$TREE" 2>/dev/null | wc -l)
probe_says=$("$PROBE" "$TREE")
echo "Tree: $files files ($OTHER_FILES generated); ravelin-scan: $records records;" \
  "open_read_close: $probe_says"

echo "Warming the caches, then $ROUNDS timed rounds ..."
python3 - "$SCAN" "$PROBE" "$TREE" "$LIST" "$ROUNDS" <<'EOF'
import resource, statistics, subprocess, sys, time
scan, probe, tree, file_list = sys.argv[1:5]
rounds = int(sys.argv[5])
contenders = [
    ("ravelin-scan", [scan, tree], None),
    ("open_read_close", [probe, tree], None),
    ("wrestool -l (xargs)", ["xargs", "-0", "wrestool", "-l"], file_list),
]


def run(argv, stdin_path):
    """Wall seconds, and the CPU seconds of the process and its children."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(argv, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if stdin_path:
        stdin.close()
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu


for _, argv, stdin_path in contenders:
    run(argv, stdin_path)
times = {name: [] for name, _, _ in contenders}
for _ in range(rounds):
    for name, argv, stdin_path in contenders:  # side by side in every round
        times[name].append(run(argv, stdin_path))


def median(name, i):
    return statistics.median(t[i] for t in times[name])


print()
print("Median of %d rounds, warm caches, in ms:" % rounds)
print("  %-22s %9s %9s %9s %9s" % ("", "wall", "min wall", "max wall", "cpu"))
for name, _, _ in contenders:
    walls = [t[0] for t in times[name]]
    print("  %-22s %9.1f %9.1f %9.1f %9.1f" % (name, 1000 * median(name, 0), 1000 * min(walls),
                                               1000 * max(walls), 1000 * median(name, 1)))
scan_wall = median("ravelin-scan", 0)
a = scan_wall / median("open_read_close", 0)
b = median("wrestool -l (xargs)", 0) / scan_wall
print("ravelin-scan / open_read_close = %.2fx wall, %.2fx cpu   (goal at most 1.5x: %s)"
      % (a, median("ravelin-scan", 1) / median("open_read_close", 1),
         "met" if a <= 1.5 else "MISSED"))
print("wrestool / ravelin-scan        = %.1fx wall, %.1fx cpu   (goal at least 6x: %s)"
      % (b, median("wrestool -l (xargs)", 1) / median("ravelin-scan", 1),
         "met" if b >= 6 else "MISSED"))
EOF
