#!/usr/bin/env bash
# How far the scan is from the floor, side by side in one invocation.
#
# Native: ravelin-scan over a warm tree of real files (Wine's DLL folders,
# the fonts and /usr/share/doc, about 6600 files) against
#   (a) open_read_close: the same walk doing only open, the 64-byte MZ header
#       read, the 4-byte signature read and close per file, the floor for any
#       scan that must tell an executable from other files;
#   (b) wrestool -l over the same files, batched with xargs (WRESTOOL=0 skips).
# Under Wine: the window's directory search (bench/search_bench_win32.cpp,
# the search code without its dialog) against the Win32 floor
# (bench/win32_floor_win32.cpp: FindFirstFile/FindNextFile, CreateFile, the
# MZ header and signature reads, CloseHandle) over C:\windows of the Wine
# prefix (WINE=0 skips).
#
# Each round runs the contenders in turn, in alternating order, and the
# medians of the rounds are reported: wall time, CPU time (which a busy
# machine disturbs less) and the ratio within each round. Goals: ravelin-scan
# and the search within 1.2x of their floors; wrestool at least 6x slower.
#
# Environment: RAVELIN_BENCH_BUILD      native release build (default build-bench)
#              RAVELIN_BENCH_WIN_BUILD  mingw x86_64 release build (default build-bench-win)
#              ROUNDS                   native rounds (default 11)
#              WINE_ROUNDS              Wine rounds, one process per contender each (default 7)
#              WINE_WALKS               timed walks in each of those processes (default 5)
#              WRESTOOL, WINE           0 to skip that part
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RAVELIN_ROOT=$ROOT
export RAVELIN_ROOT
. "$ROOT/scripts/build-env.sh"
BUILD=${RAVELIN_BENCH_BUILD:-$ROOT/build-bench}
WIN_BUILD=${RAVELIN_BENCH_WIN_BUILD:-$ROOT/build-bench-win}
ROUNDS=${ROUNDS:-11}
WINE_ROUNDS=${WINE_ROUNDS:-7}
WINE_WALKS=${WINE_WALKS:-5}
WRESTOOL=${WRESTOOL:-1}
WINE=${WINE:-1}
TREE="/usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
      /usr/share/fonts /usr/share/doc"

for dir in $TREE; do
  [ -d "$dir" ] || { echo "missing $dir (wine, wine64, fonts, docs)" >&2; exit 1; }
done
if [ "$WRESTOOL" != 0 ]; then
  command -v wrestool >/dev/null || { echo "wrestool (icoutils) is needed: scripts/deps.sh" >&2; exit 1; }
fi

echo "Building the release ravelin-scan in $BUILD ..."
ravelin_build "$BUILD" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF --target ravelin-scan || exit 1
SCAN=$BUILD/cli/ravelin-scan
PROBE=$BUILD/open_read_close
g++ -std=c++20 -O2 -Wall -Wextra -Wshadow -o "$PROBE" "$ROOT/bench/open_read_close.cpp"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ravelin-bench.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
LIST=$WORK/files.list
# shellcheck disable=SC2086
find $TREE -type f -print0 >"$LIST"
files=$(tr -cd '\0' <"$LIST" | wc -c)
# shellcheck disable=SC2086
records=$("$SCAN" $TREE 2>/dev/null | wc -l)
# shellcheck disable=SC2086
probe_says=$("$PROBE" $TREE)
echo "Tree: $files files; ravelin-scan: $records records; open_read_close: $probe_says"
echo "Load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "Warming the caches, then $ROUNDS timed rounds ..."
# shellcheck disable=SC2086
python3 - "$SCAN" "$PROBE" "$LIST" "$ROUNDS" "$WRESTOOL" $TREE <<'EOF'
import resource, statistics, subprocess, sys, time
scan, probe, file_list = sys.argv[1:4]
rounds, wrestool, tree = int(sys.argv[4]), sys.argv[5] != "0", sys.argv[6:]
contenders = [("ravelin-scan", [scan] + tree, None), ("open_read_close", [probe] + tree, None)]
if wrestool:
    contenders.append(("wrestool -l (xargs)", ["xargs", "-0", "wrestool", "-l"], file_list))


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
for r in range(rounds):
    order = contenders if r % 2 == 0 else contenders[::-1]
    for name, argv, stdin_path in order:  # side by side in every round
        times[name].append(run(argv, stdin_path))


def median(name, i):
    return statistics.median(t[i] for t in times[name])


def paired(a, b, i):
    return statistics.median(x[i] / y[i] for x, y in zip(times[a], times[b]))


print()
print("Median of %d rounds, warm caches, in ms:" % rounds)
print("  %-22s %9s %9s %9s %9s" % ("", "wall", "min wall", "max wall", "cpu"))
for name, _, _ in contenders:
    walls = [t[0] for t in times[name]]
    print("  %-22s %9.1f %9.1f %9.1f %9.1f" % (name, 1000 * median(name, 0), 1000 * min(walls),
                                               1000 * max(walls), 1000 * median(name, 1)))
a = paired("ravelin-scan", "open_read_close", 0)
print("ravelin-scan / open_read_close = %.2fx wall, %.2fx cpu (median of the rounds' ratios;"
      " goal at most 1.2x: %s)" % (a, paired("ravelin-scan", "open_read_close", 1),
                                   "met" if a <= 1.2 else "MISSED"))
if wrestool:
    b = paired("wrestool -l (xargs)", "ravelin-scan", 0)
    print("wrestool / ravelin-scan        = %.1fx wall, %.1fx cpu   (goal at least 6x: %s)"
          % (b, paired("wrestool -l (xargs)", "ravelin-scan", 1), "met" if b >= 6 else "MISSED"))
EOF

[ "$WINE" != 0 ] || exit 0
echo
echo "Building the Win32 floor and the search timer in $WIN_BUILD ..."
ravelin_build "$WIN_BUILD" --mingw x86_64 -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF \
  --target win32_floor search_bench || exit 1
. "$ROOT/scripts/wine-env.sh"
ravelin_wine_prefix
windows=$(winepath -w "$WINEPREFIX/drive_c/windows" 2>/dev/null || echo 'C:\windows')
echo "Tree: $windows of $WINEPREFIX; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$WINE_ROUNDS rounds, each program walking once to warm up and then $WINE_WALKS timed times ..."
python3 - "$RAVELIN_WINE" "$WIN_BUILD/bench/search_bench.exe" "$WIN_BUILD/bench/win32_floor.exe" \
  "$windows" "$WINE_ROUNDS" "$WINE_WALKS" <<'EOF'
import re, statistics, subprocess, sys
wine, search, floor, tree = sys.argv[1:5]
rounds, walks = int(sys.argv[5]), sys.argv[6]
contenders = [("search (window's code)", search), ("Win32 floor", floor)]


def run(program):
    """The median and the fastest of the process's timed walks, in ms."""
    out = subprocess.run([wine, program, "--rounds", walks, tree], capture_output=True,
                         text=True).stdout
    m = re.search(r"median ([0-9.]+) ms, fastest ([0-9.]+) ms", out)
    if not m:
        sys.exit("no time from %s: %r" % (program, out))
    return float(m.group(1)), float(m.group(2)), out.strip()


times = {name: [] for name, _ in contenders}
said = {}
for r in range(rounds):
    for name, program in (contenders if r % 2 == 0 else contenders[::-1]):
        median, fastest, said[name] = run(program)
        times[name].append((median, fastest))
print()
print("Median of %d rounds, in ms (each round: one process per program, %s timed walks):"
      % (rounds, walks))
print("  %-24s %9s %9s" % ("", "median", "fastest"))
for name, _ in contenders:
    print("  %-24s %9.1f %9.1f   %s" % (name, statistics.median(t[0] for t in times[name]),
                                        statistics.median(t[1] for t in times[name]),
                                        said[name].split(", median")[0]))
s, f = times[contenders[0][0]], times[contenders[1][0]]
by_fastest = statistics.median(a[1] / b[1] for a, b in zip(s, f))
by_median = statistics.median(a[0] / b[0] for a, b in zip(s, f))
# A busy machine only ever adds time: the fastest walk of each process is the
# steadier measure, and the ratio within a round pairs the two programs.
print("search / Win32 floor under Wine = %.2fx by the fastest walks, %.2fx by the medians"
      " (median of the rounds' ratios; goal at most 1.2x: %s)"
      % (by_fastest, by_median, "met" if by_fastest <= 1.2 else "MISSED"))
EOF
