#!/bin/sh
# Runs the built fuzz targets with a fixed seed, one after the other, the
# SECONDS shared evenly between them. Builds nothing.
#   run_fuzz.sh SECONDS [BUILD] [TARGET...]
#   BUILD or RAVELIN_FUZZ_BUILD  the clang build folder (default: build-fuzz)
#   TARGET              only these targets (default: every one the build lists
#                       in tests/fuzz/fuzz_targets.txt)
#   RAVELIN_FUZZ_SEED   libFuzzer's -seed (default: 20261207)
#   RAVELIN_FUZZ_RUNS   also stop each target after this many executions
#   RAVELIN_FUZZ_WORK   the work folder (default: BUILD/fuzz-work); runs at the
#                       same time need one each
#   RAVELIN_FUZZ_ARGS   more libFuzzer options, e.g. -jobs
#   RAVELIN_CORPUS      real executables to start from (default: ../shared/corpus)
# Inputs found in a run are kept in WORK/found/TARGET only for that run;
# crashes land in WORK/artifacts/TARGET. Exits non-zero as
# soon as a target fails.
set -eu
seconds=${1:?usage: run_fuzz.sh SECONDS [BUILD] [TARGET...]}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${2:-${RAVELIN_FUZZ_BUILD:-$root/build-fuzz}}
if [ $# -ge 2 ]; then shift 2; else shift $#; fi
corpus=${RAVELIN_CORPUS:-$root/../shared/corpus}
list=$build/tests/fuzz/fuzz_targets.txt
seeder=$build/tests/fuzz/ravelin_fuzz_seeds
if [ ! -f "$list" ] || [ ! -x "$seeder" ]; then
  echo "run_fuzz.sh: $build has no fuzz build (configure with -DRAVELIN_FUZZ=ON)" >&2
  exit 2
fi

corpus_dirs=""
for sub in pe ne neg; do
  if [ -d "$corpus/$sub" ]; then corpus_dirs="$corpus_dirs $corpus/$sub"; fi
done

work=${RAVELIN_FUZZ_WORK:-$build/fuzz-work}
rm -rf "$work/found" "$work/seeds"
mkdir -p "$work/found" "$work/seeds" "$work/artifacts"
# shellcheck disable=SC2086
"$seeder" "$work/seeds" $corpus_dirs

wanted() {
  [ $# -eq 1 ] && return 0
  name=$1
  shift
  for t in "$@"; do [ "$t" = "$name" ] && return 0; done
  return 1
}

selected=""
while read -r name seeds executables maxlen; do
  [ -n "$name" ] || continue
  if wanted "$name" "$@"; then selected="$selected $name:$seeds:$executables:$maxlen"; fi
done <"$list"
count=$(echo "$selected" | wc -w)
[ "$count" -gt 0 ] || { echo "run_fuzz.sh: no such target: $*" >&2; exit 2; }
share=$((seconds / count))
[ "$share" -gt 0 ] || share=1

for entry in $selected; do
  IFS=: read -r name seeds executables maxlen <<EOF
$entry
EOF
  fuzzer=$build/tests/fuzz/$name
  [ -x "$fuzzer" ] || { echo "run_fuzz.sh: $fuzzer is not built" >&2; exit 2; }
  mkdir -p "$work/found/$name" "$work/artifacts/$name"
  inputs="$work/found/$name $work/seeds/$seeds"
  if [ "$executables" = executables ]; then inputs="$inputs $corpus_dirs"; fi
  limit="-max_total_time=$share"
  if [ -n "${RAVELIN_FUZZ_RUNS:-}" ]; then limit="$limit -runs=$RAVELIN_FUZZ_RUNS"; fi
  echo "=== $name ($limit)"
  # The first folder receives what the run finds; the others are only read.
  # shellcheck disable=SC2086
  "$fuzzer" -seed="${RAVELIN_FUZZ_SEED:-20261207}" $limit \
    -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/$name/" ${RAVELIN_FUZZ_ARGS:-} $inputs
done
