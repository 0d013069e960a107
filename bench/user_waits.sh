#!/usr/bin/env bash
# Everywhere a user waits, in one run: ravelin-scan cold and warm against its
# floor (bench/scan_cold.sh; the cold part as root only), then the window's
# search on both trees and the Finder's longest step on a page of PNG
# thumbnails (bench/window_waits.sh, under Xvfb when there is no display).
# Each part prints its rounds as it goes; the figures are repeated together
# at the end. The environment of both scripts applies.
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
bash "$ROOT/bench/scan_cold.sh" 2>&1 | tee "$OUT/scan"
if [ -n "${DISPLAY:-}" ]; then
  bash "$ROOT/bench/window_waits.sh" 2>&1 | tee "$OUT/window"
else
  xvfb-run -a bash "$ROOT/bench/window_waits.sh" 2>&1 | tee "$OUT/window"
fi
echo
echo "==== Where users wait ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) processors) ===="
sed -n '/^Not root/p; /^Cold/,$p' "$OUT/scan"
sed -n '/^The window/,$p' "$OUT/window"
