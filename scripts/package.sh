#!/usr/bin/env bash
# Builds the release packages into build-package/ (the optimised builds that
# scripts/test.sh tests, warnings as errors, without the tests; the packages
# hold the programs stripped):
#   Ravelin-<version>-win32.zip, -win64.zip   the program, its help file,
#       ravelin-scan.exe, README.txt and LICENSE.txt, to unpack anywhere;
#   Ravelin-<version>-win32.exe, -win64.exe   installers of the same files;
#   ravelin-scan_<version>_<arch>.deb, ravelin-scan-<version>-linux-<arch>.tar.gz
#       the native ravelin-scan with its manual page.
set -eu
RAVELIN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export RAVELIN_ROOT
cd "$RAVELIN_ROOT"
. scripts/deps.sh
ravelin_deps
. scripts/build-env.sh

out=build-package
mkdir -p "$out/build"
for config in "native" "win-i686 --mingw i686" "win-x86_64 --mingw x86_64"; do
  set -- $config
  dir=$out/build/$1
  shift
  echo "Building $dir"
  ravelin_build "$dir" "$@" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVELIN_WERROR=ON -DRAVELIN_TESTS=OFF
  (cd "$dir" && cpack -B "$RAVELIN_ROOT/$out") >"$dir.cpack.log" 2>&1 \
    || { cat "$dir.cpack.log"; exit 1; }
done
rm -rf "$out/_CPack_Packages"
echo "Packages in $RAVELIN_ROOT/$out:"
find "$out" -maxdepth 1 -type f -printf '  %f (%s bytes)\n' | sort
