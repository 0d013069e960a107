#!/usr/bin/env bash
# Builds Ravelin for Windows and runs it under Wine over the Windows system
# folder of a fresh Wine prefix: every bitmap, icon and cursor found there is
# listed, one line each, in build-run/system32.tsv.
set -eu
RAVELIN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export RAVELIN_ROOT
cd "$RAVELIN_ROOT"
. scripts/deps.sh
ravelin_deps
. scripts/wine-env.sh

arch=$RAVELIN_WINE_ARCH
dir=build-run/win-$arch
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$RAVELIN_ROOT/cmake/mingw-$arch.cmake" >/dev/null
cmake --build "$dir" -j 2 --target ravelin-scan >/dev/null
ravelin_wine_prefix

out=build-run/system32.tsv
ravelin_wine "$dir/shell/ravelin-scan.exe" 'C:\windows\system32' >"$out" 2>build-run/system32.status
echo "ravelin-scan ($arch) over C:\\windows\\system32 of the Wine prefix:"
head -n 5 "$out"
echo "..."
printf '%s entries: %s bitmaps, %s icons, %s cursors; files without images or not executables: %s\n' \
  "$(wc -l <"$out")" "$(grep -c $'\tbitmap\t' "$out")" "$(grep -c $'\ticon\t' "$out")" \
  "$(grep -c $'\tcursor\t' "$out")" "$(wc -l <build-run/system32.status)"
echo "Full list: $RAVELIN_ROOT/$out"
