#!/usr/bin/env bash
# Builds Ravelin for Windows and starts it under Wine. On a display, Ravelin
# simply runs there. Without one it runs under Xvfb: a robot opens user32.dll
# from the Wine prefix's system folder through the real open dialog, and a
# screenshot of the screen is saved to build-run/screenshot.png.
set -eu
RAVELIN_ROOT=$(cd "$(dirname "$0")/.." && pwd)
export RAVELIN_ROOT
cd "$RAVELIN_ROOT"
. scripts/deps.sh
ravelin_deps

xvfb_pid=""
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
  Xvfb ":$n" -screen 0 1280x960x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
fi
. scripts/wine-env.sh
. scripts/build-env.sh

arch=$RAVELIN_WINE_ARCH
dir=build-run/win-$arch
# The help file is compiled and put beside the program, where F1 looks.
ravelin_build "$dir" --mingw "$arch" -DCMAKE_BUILD_TYPE=Release -DRAVELIN_TESTS=ON \
  --target Ravelin ravelin_help ravelin-robot
ravelin_wine_prefix
exe="$dir/shell/Ravelin.exe"
if [ ! -f "$(dirname "$exe")/Ravelin.chm" ]; then
  echo "run.sh: the help file Ravelin.chm is missing beside $exe" >&2
  exit 1
fi

if [ -z "$xvfb_pid" ]; then
  echo "Starting Ravelin ($arch) on $DISPLAY"
  exec "$RAVELIN_WINE" "$exe"
fi

finish() {
  wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
}
trap finish EXIT
"$RAVELIN_WINE" "$exe" &
robot="$dir/tests/shell/ravelin-robot.exe"
# user32.dll's entry 14 is an icon; zoomed in twice.
"$RAVELIN_WINE" "$robot" open 'C:\windows\system32\user32.dll' 14 2
shot=build-run/screenshot.png
import -display "$DISPLAY" -window root "$shot"
"$RAVELIN_WINE" "$robot" close || true
echo "Screenshot of Ravelin ($arch) under Xvfb: $RAVELIN_ROOT/$shot"
