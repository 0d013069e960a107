#!/usr/bin/env bash
# Builds every configuration and runs every test:
#   native (g++, warnings as errors), native with AddressSanitizer and
#   UndefinedBehaviorSanitizer, ravelin-scan with ThreadSanitizer running the
#   command line's contract with four workers, Windows i686 and x86_64 (mingw-w64) with their
#   tests under Wine where this machine can run them, the packages made of
#   those builds and checked (tests/package/package_test.sh), and a bounded
#   libFuzzer run of every fuzz target (clang). Ends with one line:
#   "N passed, N failed".
set -u
RAVELIN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export RAVELIN_ROOT
cd "$RAVELIN_ROOT"
. scripts/deps.sh
ravelin_deps || { echo "could not install the build dependencies" >&2; exit 1; }
. scripts/wine-env.sh
. scripts/build-env.sh

JOBS=${JOBS:-2}
FUZZ_SECONDS=${FUZZ_SECONDS:-120}
passed=0
failed=0
problems=()

# dir, cmake options... [--target targets...]: see scripts/build-env.sh.
build() {
  local dir=$1
  shift
  ravelin_build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_WERROR=ON "$@"
}

run_ctest() {  # dir, label
  local dir=$1 label=$2 log
  log=$(cd "$dir" && ctest -j "$JOBS" --output-on-failure 2>&1)
  echo "$log" | tail -n 40
  local line total fails
  line=$(echo "$log" | grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' | tail -n 1)
  if [ -z "$line" ]; then
    problems+=("$label: no test summary"); failed=$((failed + 1)); return
  fi
  total=$(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/')
  fails=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed.*/\1/')
  passed=$((passed + total - fails)); failed=$((failed + fails))
  [ "$fails" -eq 0 ] || problems+=("$label: $fails failed")
}

step() { echo; echo "=== $*"; }

mkdir -p build-ci
step "native build"
if build build-ci/native; then run_ctest build-ci/native native; else problems+=("native build"); failed=$((failed + 1)); fi

step "native build with ASan and UBSan"
if build build-ci/sanitize -DRAVELIN_SANITIZE=ON; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-ci/sanitize sanitize
else problems+=("sanitize build"); failed=$((failed + 1)); fi

# Only ravelin-scan and the libraries under it: its workers are the only
# threads the project runs.
step "ravelin-scan with ThreadSanitizer, --jobs 4"
if build build-ci/tsan -DRAVELIN_TSAN=ON -DRAVELIN_TESTS=OFF --target ravelin-scan; then
  if TSAN_OPTIONS="halt_on_error=1 exitcode=66" python3 tests/cli/cli_contract.py \
      "$RAVELIN_ROOT/build-ci/tsan/cli/ravelin-scan" --jobs 4 >build-ci/tsan.log 2>&1; then
    tail -n 3 build-ci/tsan.log; passed=$((passed + 1))
  else tail -n 60 build-ci/tsan.log; problems+=("ThreadSanitizer"); failed=$((failed + 1)); fi
else problems+=("tsan build"); failed=$((failed + 1)); fi

ravelin_wine_prefix
windows_builds=()
for arch in i686 x86_64; do
  step "Windows $arch build"
  if build "build-ci/win-$arch" --mingw "$arch"; then
    windows_builds+=("build-ci/win-$arch")
    if [ "$arch" = x86_64 ] || [ "$RAVELIN_WINE_ARCH" = i686 ]; then
      run_ctest "build-ci/win-$arch" "win-$arch"
    else
      echo "This machine cannot run 32-bit Wine: the $arch build is compiled, not run."
    fi
  else problems+=("$arch build"); failed=$((failed + 1)); fi
done
ravelin_wine_stop

step "packages of these builds"
if bash tests/package/package_test.sh build-ci/native "${windows_builds[@]}"; then
  passed=$((passed + 1))
else problems+=("packages"); failed=$((failed + 1)); fi

step "libFuzzer run (${FUZZ_SECONDS} s)"
if [ -f tests/fuzz/CMakeLists.txt ]; then
  if CC=clang CXX=clang++ build build-ci/fuzz -DRAVELIN_FUZZ=ON \
      --target ravelin_fuzzers; then
    if sh tests/fuzz/run_fuzz.sh "$FUZZ_SECONDS" "$RAVELIN_ROOT/build-ci/fuzz" >build-ci/fuzz.log 2>&1; then
      grep -E "^===|^Done|stat::number_of_executed_units" build-ci/fuzz.log; passed=$((passed + 1));
    else tail -n 60 build-ci/fuzz.log; problems+=("fuzzing found a fault"); failed=$((failed + 1)); fi
  else problems+=("fuzz build"); failed=$((failed + 1)); fi
fi

echo
for p in "${problems[@]+"${problems[@]}"}"; do echo "FAILED: $p"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
