#!/usr/bin/env bash
# Every icon and cursor of the given NE executables' folder, exported alone
# by `ravelin-scan --export`, must be read by icotool and ImageMagick without
# a message: 16-bit programs pad each resource to their alignment, and an
# exported file states the image's own size.
#
#   ne_icons_check.sh RAVELIN_SCAN WORK_DIR FOLDER
set -u
scan=$1 work=$2 folder=$3
for tool in identify icotool; do command -v "$tool" >/dev/null || exit 77; done
[ -d "$folder" ] || { echo "skipped: $folder is absent"; exit 77; }
rm -rf "$work" && mkdir -p "$work"
"$scan" --export "$work" "$folder" >/dev/null 2>&1
cd "$work" && ls | grep -E '\.(ico|cur)$' >../ne-icons.txt
[ -s ../ne-icons.txt ] || { echo "FAIL: no icon or cursor exported"; exit 1; }
xargs icotool -l <../ne-icons.txt >/dev/null 2>../ne-icotool.err
xargs identify <../ne-icons.txt >/dev/null 2>../ne-identify.err
cat ../ne-icotool.err ../ne-identify.err
echo "$(wc -l <../ne-icons.txt) icons and cursors read"
[ ! -s ../ne-icotool.err ] && [ ! -s ../ne-identify.err ]
