#!/usr/bin/env bash
# ravelin-scan with its workers against the single-threaded floor, cold and
# warm, side by side in one invocation.
#
# The tree (default /usr/lib) is walked by
#   open_read_close  the floor: the same walk doing only open, the MZ header
#                    and signature reads and close per file, one at a time;
#   ravelin-scan     with --jobs 1 (the sequential path) and with each N of
#                    JOBS_LIST (default: the default N, the number of
#                    processors, and 8).
# Cold: before every run the page cache is dropped (sync; echo 3 >
# /proc/sys/vm/drop_caches), which needs root; without it the cold part is
# skipped and the script says so. Warm: after one run to fill the caches.
# Each round runs the contenders in turn, in alternating order; the report
# gives the median wall time of the rounds and the median of the rounds'
# ratios to the floor, with the load average before and after each part.
# Goals: cold at least 2x faster than the floor; warm no slower than --jobs 1.
#
# Environment: RAVELIN_BENCH_BUILD  native release build (default build-bench)
#              TREE                 the folders walked (default /usr/lib)
#              COLD_ROUNDS          cold rounds (default 5), 0 skips
#              WARM_ROUNDS          warm rounds (default 11), 0 skips
#              JOBS_LIST            the N to time besides 1 (default "default 8")
#              RAVELIN_BENCH_SCAN   a ravelin-scan already built, timed instead
#                                   of building one
#              BASELINE_SCAN        another ravelin-scan to time alongside (say,
#                                   an earlier build), run without options
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RAVELIN_ROOT=$ROOT
export RAVELIN_ROOT
. "$ROOT/scripts/build-env.sh"
BUILD=${RAVELIN_BENCH_BUILD:-$ROOT/build-bench}
TREE=${TREE:-/usr/lib}
COLD_ROUNDS=${COLD_ROUNDS:-5}
WARM_ROUNDS=${WARM_ROUNDS:-11}
JOBS_LIST=${JOBS_LIST:-default 8}
BASELINE_SCAN=${BASELINE_SCAN:-}

SCAN=${RAVELIN_BENCH_SCAN:-}
if [ -z "$SCAN" ]; then
  echo "Building the release ravelin-scan in $BUILD ..."
  ravelin_build "$BUILD" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF --target ravelin-scan || exit 1
  SCAN=$BUILD/cli/ravelin-scan
fi
mkdir -p "$BUILD"
PROBE=$BUILD/open_read_close
g++ -std=c++20 -O2 -Wall -Wextra -Wshadow -o "$PROBE" "$ROOT/bench/open_read_close.cpp"

if [ "$(id -u)" != 0 ] && [ "$COLD_ROUNDS" != 0 ]; then
  echo "Not root: the page cache cannot be dropped, so the cold part is skipped."
  COLD_ROUNDS=0
fi

# shellcheck disable=SC2086
python3 - "$SCAN" "$PROBE" "$COLD_ROUNDS" "$WARM_ROUNDS" "$JOBS_LIST" "$BASELINE_SCAN" $TREE <<'PY'
import os, statistics, subprocess, sys, time
scan, probe = sys.argv[1:3]
cold_rounds, warm_rounds, jobs_list = int(sys.argv[3]), int(sys.argv[4]), sys.argv[5].split()
baseline, tree = sys.argv[6], sys.argv[7:]
contenders = [("open_read_close (floor)", [probe] + tree),
              ("ravelin-scan --jobs 1", [scan, "--jobs", "1"] + tree)]
for jobs in jobs_list:
    if jobs == "default":
        contenders.append(("ravelin-scan (--jobs %d)" % os.cpu_count(), [scan] + tree))
    else:
        contenders.append(("ravelin-scan --jobs %s" % jobs, [scan, "--jobs", jobs] + tree))
if baseline:
    contenders.append(("baseline ravelin-scan", [baseline] + tree))


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def drop_caches():
    subprocess.run(["sync"], check=True)
    with open("/proc/sys/vm/drop_caches", "w") as f:
        f.write("3\n")


def run(argv, cold):
    if cold:
        drop_caches()
    start = time.perf_counter()
    subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def part(label, rounds, cold):
    if rounds == 0:
        return
    before = load()
    if not cold:
        for _, argv in contenders:
            run(argv, False)
    times = {name: [] for name, _ in contenders}
    for r in range(rounds):
        for name, argv in (contenders if r % 2 == 0 else contenders[::-1]):
            times[name].append(run(argv, cold))
    floor = times[contenders[0][0]]
    print()
    print("%s, %s: median of %d rounds (load average %s before, %s after)"
          % (label, " ".join(tree), rounds, before, load()))
    print("  %-28s %9s %9s %9s %16s" % ("", "wall ms", "min ms", "max ms", "floor / this"))
    for name, _ in contenders:
        t = times[name]
        ratio = statistics.median(f / x for f, x in zip(floor, t))
        print("  %-28s %9.0f %9.0f %9.0f %15.2fx" % (name, 1000 * statistics.median(t),
                                                     1000 * min(t), 1000 * max(t), ratio))
    sys.stdout.flush()


print("Tree: %s; %d processors" % (" ".join(tree), os.cpu_count()))
part("Cold (page cache dropped before every run)", cold_rounds, True)
part("Warm", warm_rounds, False)
PY
