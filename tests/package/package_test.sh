#!/usr/bin/env bash
# package_test.sh NATIVE_BUILD [WINDOWS_BUILD...]: packs built trees with
# cpack into NATIVE_BUILD/package-test and checks the packages as users meet
# them. Under Wine (a fresh prefix), where it runs the build: the unpacked
# zip runs from a path with spaces and F1 finds the help; the silent
# installer installs a program that runs, a Start menu entry and an
# uninstall key, and the silent uninstaller leaves none of them. As root:
# dpkg -i of the .deb gives ravelin-scan and its manual page, dpkg -r takes
# them away. Prints a line per failed check; non-zero status after any.
set -u
export RAVELIN_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
native=$(cd "$1" && pwd)
shift
work=$native/package-test
rm -rf "$work" && mkdir -p "$work"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
short=${version%.*}
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# Ravelin from folder $1 opens the DLL $2 (a Windows path) and shows the help
# on F1; $3 names the case.
run_ravelin() {
  "$RAVELIN_WINE" "$1/Ravelin.exe" </dev/null >/dev/null 2>&1 &
  local pid=$! shown
  shown=$("$RAVELIN_WINE" "$robot" open "$2" </dev/null | tr -d '\r')
  [[ $shown == "Ravelin $short - ["*"\\user32.dll]" ]] || fail "$3: the DLL is not shown: $shown"
  "$RAVELIN_WINE" "$robot" help "Ravelin $short Help" </dev/null || fail "$3: F1 opened no help"
  "$RAVELIN_WINE" "$robot" close </dev/null || fail "$3: Ravelin did not close"
  wait "$pid"
}

if [ $# -gt 0 ]; then
  unset DISPLAY
  RAVELIN_WINEPREFIX=$work/wine
  . "$RAVELIN_ROOT/scripts/wine-env.sh"
  ravelin_wine_prefix
  # Later servers end with their last program, so that `wineserver -w` also
  # waits for the copy of itself that the uninstaller runs.
  wineserver -k
fi
for build in "$@"; do
  build=$(cd "$build" && pwd)
  out=$work/$(basename "$build")
  if ! (cd "$build" && cpack -G "ZIP;NSIS" -B "$out") >"$out.log" 2>&1; then
    fail "cpack in $build (see $out.log)"
    continue
  fi
  name=$(cd "$out" && ls Ravelin-"$version"-win??.zip)
  name=${name%.zip}
  bits=${name: -2}
  spaced="$work/unpacked here $bits"
  mkdir -p "$spaced"
  (cd "$spaced" && cmake -E tar xf "$out/$name.zip")
  files=$(cd "$spaced/$name" && LC_ALL=C ls | tr '\n' ' ')
  [ "$files" = "LICENSE.txt README.txt Ravelin.chm Ravelin.exe ravelin-scan.exe " ] \
    || fail "$name.zip holds $files"
  if [ "$bits" = 32 ] && [ "$RAVELIN_WINE_ARCH" != i686 ]; then
    echo "$name: this machine cannot run 32-bit Wine; the packages are made, not run"
    continue
  fi
  robot=$build/tests/shell/ravelin-robot.exe
  cp "$WINEPREFIX/drive_c/windows/system32/user32.dll" "$spaced/$name/"
  run_ravelin "$spaced/$name" "Z:${spaced//\//\\}\\$name\\user32.dll" "$name.zip"

  "$RAVELIN_WINE" "$out/$name.exe" /S </dev/null || fail "$name.exe /S exited with $?"
  programs="Program Files" node=""
  [ "$bits" = 64 ] || programs="Program Files (x86)" node='WOW6432Node\'
  installed="$WINEPREFIX/drive_c/$programs/Ravelin"
  menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ravelin"
  key="HKLM\\Software\\${node}Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ravelin"
  files=$(cd "$installed" && LC_ALL=C ls | tr '\n' ' ')
  [ "$files" = "LICENSE.txt README.txt Ravelin.chm Ravelin.exe Uninstall.exe ravelin-scan.exe " ] \
    || fail "$name.exe installed $files in $programs"
  [ -f "$menu/Ravelin.lnk" ] || fail "$name.exe made no Start menu entry"
  "$RAVELIN_WINE" reg query "$key" /v UninstallString </dev/null 2>&1 \
    | grep -qF "C:\\$programs\\Ravelin\\Uninstall.exe" || fail "$name.exe registered no uninstaller"
  run_ravelin "$installed" 'C:\windows\system32\user32.dll' "installed $name"
  "$RAVELIN_WINE" "$installed/Uninstall.exe" /S </dev/null
  wineserver -w
  [ ! -e "$installed" ] || fail "the uninstaller left $(cd "$installed" && ls)"
  [ ! -e "$menu" ] || fail "the uninstaller left the Start menu folder"
  for k in "$key" "HKLM\\Software\\${node}Ravelin developers"; do
    ! "$RAVELIN_WINE" reg query "$k" </dev/null >/dev/null 2>&1 || fail "the uninstaller left $k"
  done
done

out=$work/native
(cd "$native" && cpack -G "DEB;TGZ" -B "$out") >"$out.log" 2>&1 || fail "cpack in $native"
deb=$out/ravelin-scan_${version}_$(dpkg --print-architecture).deb
tar tzf "$out"/ravelin-scan-"$version"-linux-*.tar.gz | grep -q '/share/man/man1/ravelin-scan.1$' \
  || fail "the .tar.gz holds no manual page"
if [ "$(id -u)" -ne 0 ]; then
  echo "Not root: the .deb is made, not installed"
elif dpkg-query -W -f='${Status}' ravelin-scan 2>/dev/null | grep -q "ok installed"; then
  echo "ravelin-scan is installed here already: the .deb is made, not installed"
else
  dpkg -i "$deb" >"$out/dpkg.log" 2>&1 || fail "dpkg -i $deb (see $out/dpkg.log)"
  [ "$(ravelin-scan --version)" = "ravelin-scan (Ravelin) $short" ] || fail "no ravelin-scan on PATH"
  MANWIDTH=200 man ravelin-scan 2>&1 | grep -q "ravelin-scan - list the bitmaps, icons and cursors" \
    || fail "man ravelin-scan shows no page"
  [ -f /usr/share/doc/ravelin-scan/README.md ] || fail "no README in /usr/share/doc/ravelin-scan"
  dpkg -r ravelin-scan >>"$out/dpkg.log" 2>&1 || fail "dpkg -r ravelin-scan"
  [ ! -e /usr/bin/ravelin-scan ] && ! man -w ravelin-scan >/dev/null 2>&1 \
    || fail "dpkg -r left ravelin-scan or its page"
fi
echo "package test: $failures failed"
[ "$failures" -eq 0 ]
