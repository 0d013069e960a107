#!/usr/bin/env bash
# Where the window makes its user wait, side by side in one run, under Wine
# (the x86_64 build; 32-bit Wine may not run on the machine):
#   - the directory search timed as the user waits, from another process
#     (bench/search_wait_robot_win32.cpp: from the chooser's OK to the end of
#     the "Searching for images..." dialog), each run paired with a run of
#     the Win32 floor (bench/win32_floor_win32.cpp, one timed walk after a
#     warm one) over the same tree: a fresh prefix's C:\windows and
#     Z:\usr\lib. One warm run of each first; then ROUNDS pairs in
#     alternating order; the median of the pairs' ratios is the figure, as
#     the load of a shared machine moves both of a pair alike;
#   - the Finder on a page of PNG thumbnails never drawn
#     (bench/finder_png_paint_win32.cpp): the longest message, painted
#     through the window's own messages, against the page painted at once.
#
# Environment: RAVELIN_BENCH_WIN_BUILD  mingw x86_64 build (default build-bench-win)
#              ROUNDS                   pairs over C:\windows (default 7)
#              LIB_ROUNDS               pairs over Z:\usr\lib (default 3; 0 skips)
#              BUILD                    0 to use the build as it stands
#              RAVELIN_EXE              another Ravelin.exe to time (e.g. an older one)
#              FINDER                   0 to skip the Finder
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RAVELIN_ROOT=$ROOT
export RAVELIN_ROOT
. "$ROOT/scripts/build-env.sh"
WIN_BUILD=${RAVELIN_BENCH_WIN_BUILD:-$ROOT/build-bench-win}
ROUNDS=${ROUNDS:-7}
LIB_ROUNDS=${LIB_ROUNDS:-3}

if [ "${BUILD:-1}" != 0 ]; then
  echo "Building Ravelin, the robot, the floor and the Finder bench in $WIN_BUILD ..."
  ravelin_build "$WIN_BUILD" --mingw x86_64 -DCMAKE_BUILD_TYPE=Release \
    --target Ravelin search_wait_robot win32_floor finder_png_bench || exit 1
fi
# A prefix of its own, made fresh for the bench, so C:\windows is Wine's own.
: "${RAVELIN_WINEPREFIX:=$WIN_BUILD/wine-prefix}"
export RAVELIN_WINEPREFIX
. "$ROOT/scripts/wine-env.sh"
ravelin_wine_prefix
echo "Load average before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$RAVELIN_WINE" "$WIN_BUILD" "$WINEPREFIX/drive_c/windows" "$ROUNDS" "$LIB_ROUNDS" <<'PY'
import os, re, statistics, subprocess, sys
wine, build, windows, rounds, lib_rounds = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
ravelin = os.environ.get("RAVELIN_EXE") or build + "/shell/Ravelin.exe"
robot = build + "/bench/search_wait_robot.exe"
floor = build + "/bench/win32_floor.exe"
finder = build + "/bench/finder_png_bench.exe"


def load():
    return float(open("/proc/loadavg").read().split()[0])


def search(unix_dir):
    """ms from the chooser's OK to the end of the search dialog; Ravelin's
    current directory is the tree, where the chooser starts."""
    program = subprocess.Popen([wine, ravelin], cwd=unix_dir, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    out = subprocess.run([wine, robot], capture_output=True, text=True).stdout
    program.wait(timeout=600)
    m = re.search(r"search ([0-9.]+) ms", out)
    if not m:
        sys.exit("no time from the robot: %r" % out)
    return float(m.group(1))


def floor_walk(dos_dir):
    out = subprocess.run([wine, floor, "--rounds", "1", dos_dir], capture_output=True,
                         text=True).stdout
    m = re.search(r"median ([0-9.]+) ms", out)
    if not m:
        sys.exit("no time from the floor: %r" % out)
    return float(m.group(1)), out.split(", median")[0].strip()


results = []
for name, unix_dir, dos_dir, n in (("C:\\windows", windows, "C:\\windows", rounds),
                                   ("Z:\\usr\\lib", "/usr/lib", "Z:\\usr\\lib", lib_rounds)):
    if n <= 0:
        continue
    search(unix_dir)
    floor_walk(dos_dir)
    pairs, loads = [], []
    for r in range(n):
        loads.append(load())
        if r % 2 == 0:
            s = search(unix_dir)
            f, said = floor_walk(dos_dir)
        else:
            f, said = floor_walk(dos_dir)
            s = search(unix_dir)
        pairs.append((s, f))
        print("  %s pair %d: search %.0f ms, floor %.0f ms, %.2fx (load %.1f)"
              % (name, r + 1, s, f, s / f, loads[-1]), flush=True)
    results.append((name, said, statistics.median(p[0] for p in pairs),
                    statistics.median(p[1] for p in pairs),
                    statistics.median(p[0] / p[1] for p in pairs), n, min(loads), max(loads)))

steps = ""
if os.environ.get("FINDER", "1") != "0":
    steps = subprocess.run([wine, finder], capture_output=True, text=True).stdout
print()
print("The window's search as the user waits / the Win32 floor (medians of paired runs, ms):")
for name, said, s, f, ratio, n, lo, hi in results:
    print("  %-12s search %8.0f  floor %8.0f  %.2fx (goal at most 1.1x: %s; %d pairs, load %.1f-%.1f; floor: %s)"
          % (name, s, f, ratio, "met" if ratio <= 1.1 else "MISSED", n, lo, hi, said))
m = re.search(r"the window's own paints: (\d+) messages, longest ([0-9.]+) ms.*?(\d+) pixels differ", steps)
once = re.search(r"PNG icons: .*?painted at once: first ([0-9.]+) ms", steps)
if m and once:
    print("The Finder on a page of PNG thumbnails never drawn: longest step %s ms in %s messages"
          " (goal at most 50 ms: %s), against %s ms painted at once; %s pixels differ"
          % (m.group(2), m.group(1), "met" if float(m.group(2)) <= 50 else "MISSED",
             once.group(1), m.group(3)))
elif steps:
    print("The Finder bench said:\n" + steps)
PY
