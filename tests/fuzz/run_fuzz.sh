#!/bin/sh
# Runs a built fuzzer (the scan's by default) for SECONDS with a fixed seed.
# Builds nothing.
#   run_fuzz.sh SECONDS [BUILD]
#   BUILD or RAVELIN_FUZZ_BUILD  the clang build folder (default: build-fuzz)
#   RAVELIN_FUZZER      the target (default: scan_file_fuzzer)
#   RAVELIN_FUZZ_SEED   libFuzzer's -seed (default: 20261207)
#   RAVELIN_CORPUS      real executables to start from (default: ../shared/corpus)
# Inputs found in a run are kept in BUILD/fuzz-work/found only for that run;
# crashes land in BUILD/fuzz-work/artifacts.
set -eu
seconds=${1:?usage: run_fuzz.sh SECONDS [BUILD]}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${2:-${RAVELIN_FUZZ_BUILD:-$root/build-fuzz}}
corpus=${RAVELIN_CORPUS:-$root/../shared/corpus}
target=${RAVELIN_FUZZER:-scan_file_fuzzer}
fuzzer=$build/tests/fuzz/$target
seeder=$build/tests/fuzz/ravelin_fuzz_seeds
for program in "$fuzzer" "$seeder"; do
  if [ ! -x "$program" ]; then
    echo "run_fuzz.sh: $program is not built" >&2
    exit 2
  fi
done

work=$build/fuzz-work
if [ "$target" != scan_file_fuzzer ]; then work=$work-$target; fi
rm -rf "$work/found" "$work/seeds"
mkdir -p "$work/found" "$work/seeds" "$work/artifacts"
"$seeder" "$work/seeds"
inputs="$work/found $work/seeds"
for sub in pe ne neg; do
  if [ -d "$corpus/$sub" ]; then inputs="$inputs $corpus/$sub"; fi
done

# The first folder receives what the run finds; the others are only read.
# shellcheck disable=SC2086
exec "$fuzzer" -seed="${RAVELIN_FUZZ_SEED:-20261207}" -max_total_time="$seconds" \
  -max_len=131072 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" $inputs
