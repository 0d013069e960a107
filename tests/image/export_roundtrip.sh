#!/usr/bin/env bash
# Exports every bitmap, icon and cursor of the given folders with
# `ravelin-scan --describe --export --png` and reads each file back with real
# decoders: ImageMagick (identify, and a conversion of every file to PNG) and
# icotool for .ico and .cur. Each decoder must accept every file and see the
# width, height and bit depth the loader reported, and ImageMagick's pixels
# of each exported file must be those of the program's own PNG of it.
#
#   export_roundtrip.sh RAVELIN_SCAN WORK_DIR FOLDER...
#
# Exits 77 (skipped) when no folder exists or a decoder is missing.
set -u
scan=$1 work=$2
shift 2

folders=()
for d in "$@"; do [ -d "$d" ] && folders+=("$d"); done
for tool in identify mogrify icotool wrestool python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ ${#folders[@]} -gt 0 ] || { echo "skipped: none of the folders exists: $*"; exit 77; }

rm -rf "$work"
mkdir -p "$work/out" "$work/png" "$work/ours" "$work/pam/theirs" "$work/pam/ours"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Options come before the paths; anything else is a usage error.
for args in "--export" "--bogus ${folders[0]}" "--describe" "--export $work/out" "--png"; do
  # shellcheck disable=SC2086
  "$scan" $args >/dev/null 2>&1
  rc=$?
  [ "$rc" -eq 2 ] || fail "ravelin-scan $args exited with $rc, not 2"
done

"$scan" --describe --export "$work/out" --png "$work/ours" "${folders[@]}" >"$work/describe.tsv" \
  2>"$work/scan.err" \
  || fail "ravelin-scan exited with $?"
# Files without images are expected in a DLL folder; anything about an
# entry (cannot-load, export-refused, cannot-create) is not.
if grep -v -E $'^(no-images|unsupported|damaged)\t' "$work/scan.err" >"$work/entry.err"; then
  fail "ravelin-scan reported entries:"
  head -n 20 "$work/entry.err"
fi
entries=$(wc -l <"$work/describe.tsv")
[ "$entries" -gt 0 ] || fail "no entries found in ${folders[*]}"

cd "$work/out" || exit 1
# One process per tool over all files; a decoder error is any message on
# its standard error.
ls | sort -n >../files.txt
xargs identify -format '%f %m %w %h %z %[channels]\n' <../files.txt >../identify.txt 2>../identify.err
[ -s ../identify.err ] && { fail "identify reported errors:"; head -n 20 ../identify.err; }
xargs -P 2 -n 500 mogrify -path ../png -format png <../files.txt 2>../mogrify.err
[ -s ../mogrify.err ] && { fail "the conversion to PNG reported errors:"; head -n 20 ../mogrify.err; }
converted=$(ls ../png | wc -l)
[ "$converted" -eq "$entries" ] || fail "$converted of $entries files were converted to PNG"

grep -E '\.(ico|cur)$' ../files.txt >../icons.txt
xargs icotool -l <../icons.txt >../icotool.txt 2>../icotool.raw.err
# The resources' own headers sometimes carry a resolution or a count of
# important colours, which icotool only warns about; these bytes are written
# unchanged on purpose.
grep -v -E '(pels_per_meter|clr_important) field in bitmap should be zero' ../icotool.raw.err >../icotool.err
[ -s ../icotool.err ] && { fail "icotool reported errors:"; head -n 20 ../icotool.err; }
[ "$(wc -l <../icotool.txt)" -eq "$(wc -l <../icons.txt)" ] \
  || fail "icotool listed $(wc -l <../icotool.txt) entries for $(wc -l <../icons.txt) files"
paste -d ' ' ../icons.txt ../icotool.txt >../icotool.named.txt
stat -c '%s %n' -- * >../sizes.txt
cd - >/dev/null || exit 1

# Bitmaps: wrestool (icoutils) extracts the same resources with a file
# header of its own making; ours must be the same bytes. Both list a file's
# bitmaps in resource-directory order, and the sizes confirm the pairing.
mkdir -p "$work/wrestool"
awk -F'\t' '$2 == "bitmap" { print $7 }' "$work/describe.tsv" | uniq >"$work/bitmap-files.txt"
touch "$work/pairs.txt"
while IFS= read -r exe; do
  base=$(basename "$exe")
  ref=$work/wrestool/$base
  mkdir -p "$ref"
  wrestool -x -t 2 -o "$ref" "$exe" 2>>"$work/wrestool.err"
  awk -F'\t' -v p="$exe" '$2 == "bitmap" && $7 == p { print $1, $4 }' "$work/describe.tsv" >"$work/ours.txt"
  wrestool -l -t 2 "$exe" \
    | sed -nE "s/^--type=2 --name='?([^' ]+)'? --language=([0-9]+) .* size=([0-9]+)\]$/\1 \2 \3/p" >"$work/theirs.txt"
  if [ "$(wc -l <"$work/ours.txt")" -ne "$(wc -l <"$work/theirs.txt")" ]; then
    fail "$exe: $(wc -l <"$work/ours.txt") bitmaps found, wrestool lists $(wc -l <"$work/theirs.txt")"
    continue
  fi
  # index size name language size: the pairs of files to compare.
  paste -d ' ' "$work/ours.txt" "$work/theirs.txt" | awk -v out="$work/out" -v ref="$ref/$base" -v exe="$exe" '
    $2 != $5 { print "FAIL: " exe ": bitmap " $1 " has " $2 " bytes, wrestool " $5 > "/dev/stderr"; next }
    { print out "/" $1 ".bmp"; print ref "_2_" $3 "_" $4 ".bmp" }' 2>>"$work/pairing.err" \
    | while IFS= read -r path; do
      # wrestool leaves the language out of the name for US English.
      if [ ! -e "$path" ] && [ -e "${path%_1033.bmp}.bmp" ]; then path=${path%_1033.bmp}.bmp; fi
      printf '%s\n' "$path"
    done >>"$work/pairs.txt"
done <"$work/bitmap-files.txt"
[ -s "$work/pairing.err" ] && { fail "bitmaps paired by size disagree:"; head -n 20 "$work/pairing.err"; }
# One checksum process for all pairs: lines 2k-1 and 2k must agree.
tr '\n' '\0' <"$work/pairs.txt" | xargs -0 md5sum 2>&1 | awk '
  NR % 2 == 1 { sum = $1; file = $2; next }
  $1 == sum { same++; next }
  { print "FAIL: " file " differs from wrestool'"'"'s " $2; bad++ }
  END { print same + 0 " bitmaps are byte for byte what wrestool extracts"; exit bad > 0 }
' || failures=$((failures + 1))


# describe.tsv columns: index kind offset size sequence area path width
# height bitCount colorCount bitsSize unusable.
awk '
  FILENAME ~ /describe.tsv$/ {
    split($0, t, "\t"); $0 = ""; for (i in t) $i = t[i]
    ext = $2 == "bitmap" ? "bmp" : $2 == "icon" ? "ico" : "cur"
    name = $1 "." ext
    kind[name] = $2; size[name] = $4; w[name] = $8; h[name] = $9; bc[name] = $10
    unusable[name] = $13; order[++n] = name
    described[name] = ($8 != "") + ($9 != "") + ($10 != "") + ($11 != "") + ($12 != "")
    next
  }
  FILENAME ~ /identify.txt$/ { im[$1] = $2; iw[$1] = $3; ih[$1] = $4; iz[$1] = $5; ich[$1] = $6; next }
  FILENAME ~ /icotool.named.txt$/ {
    for (i = 2; i <= NF; i++) {
      split($i, kv, "=")
      if (kv[1] == "--width") tw[$1] = kv[2]
      if (kv[1] == "--height") th[$1] = kv[2]
      if (kv[1] == "--bit-depth") tb[$1] = kv[2]
    }
    next
  }
  FILENAME ~ /sizes.txt$/ { fsize[$2] = $1; next }
  # An icon directory keeps one byte per dimension (0 for 256), and that is
  # where ImageMagick takes an icon size from; icotool reads the bitmap
  # header. Larger icons (winecfg has a 194 x 313 one) differ by design.
  function dirsize(v) { return v % 256 == 0 ? 256 : v % 256 }
  function bad(msg) { if (++failed <= 30) print "FAIL: " msg }
  END {
    for (k = 1; k <= n; k++) {
      f = order[k]
      # An image that cannot be drawn is refused rather than written broken.
      if (!(f in fsize)) { if (unusable[f] != 1) bad(f " was not written"); continue }
      header = kind[f] == "bitmap" ? 14 : kind[f] == "icon" ? 22 : 18
      # Icons and cursors leave out the alignment padding of NE resources;
      # icotool checks the size they state against their header.
      if (fsize[f] != size[f] + header && (kind[f] == "bitmap" || fsize[f] > size[f] + header))
        bad(f ": " fsize[f] " bytes, expected " size[f] + header)
      if (!(f in im)) { bad(f ": identify gave nothing"); continue }
      if (im[f] == "PNG") {
        # A PNG icon or cursor: the loader decodes it and takes the IHDR size,
        # which both decoders must see too.
        if (kind[f] == "bitmap") bad(f ": a bitmap exported as PNG")
        if (unusable[f] == 1 || described[f] != 5) bad(f ": PNG unusable or described with " described[f] " columns")
        if (w[f] != iw[f] || h[f] != ih[f] || bc[f] != 32) bad(f ": loader " w[f] "x" h[f] "x" bc[f] ", identify " iw[f] "x" ih[f])
        if (tw[f] != iw[f] || th[f] != ih[f]) bad(f ": icotool " tw[f] "x" th[f] ", identify " iw[f] "x" ih[f])
        pngs++
        continue
      }
      if (unusable[f] == 1) bad(f ": unusable " kind[f])
      if (described[f] != 5) bad(f ": usable image described with " described[f] " columns")
      ew = kind[f] == "bitmap" ? w[f] : dirsize(w[f])
      eh = kind[f] == "bitmap" ? h[f] : dirsize(h[f])
      if (iw[f] != ew || ih[f] != eh) bad(f ": identify " iw[f] "x" ih[f] ", loader " w[f] "x" h[f])
      depth = bc[f] <= 8 ? bc[f] : 8
      if (iz[f] != depth) bad(f ": identify depth " iz[f] " for " bc[f] " bits per pixel")
      if (kind[f] == "bitmap") {
        if (im[f] !~ /^BMP/) bad(f ": decoded as " im[f])
        channels = bc[f] == 32 ? "srgba" : "srgb"
        if (bc[f] >= 24 && ich[f] != channels) bad(f ": " ich[f] " for " bc[f] " bits per pixel")
        bitmaps++
      } else {
        if (im[f] != (kind[f] == "icon" ? "ICO" : "CUR")) bad(f ": decoded as " im[f])
        if (tw[f] != w[f] || th[f] != h[f] || tb[f] != bc[f])
          bad(f ": icotool " tw[f] "x" th[f] "x" tb[f] ", loader " w[f] "x" h[f] "x" bc[f])
        icons++
      }
    }
    printf "%d entries: %d bitmaps, %d icons and cursors, %d PNG icons checked; %d failures\n",
      n, bitmaps, icons, pngs, failed
    exit failed > 0
  }
' "$work/describe.tsv" "$work/identify.txt" "$work/icotool.named.txt" "$work/sizes.txt" \
  || failures=$((failures + 1))
# --png: ImageMagick's pixels of each exported file against the program's
# PNG of the same entry, both turned into 8-bit PAM by one process each.
ls "$work/ours" | sort -n >"$work/ours.txt"
[ "$(wc -l <"$work/ours.txt")" -eq "$entries" ] || fail "$(wc -l <"$work/ours.txt") PNG files for $entries entries"
(cd "$work/out" && xargs mogrify -path ../pam/theirs -depth 8 -format pam <../files.txt) 2>"$work/pam.err"
(cd "$work/ours" && xargs mogrify -path ../pam/ours -depth 8 -format pam <../ours.txt) 2>>"$work/pam.err"
[ -s "$work/pam.err" ] && { fail "the conversion to PAM reported errors:"; head -n 20 "$work/pam.err"; }
awk -F'\t' '{ print $1, $2 "," $10 }' "$work/describe.tsv" >"$work/kinds.txt"
python3 - "$work/pam/theirs" "$work/pam/ours" "$work/kinds.txt" <<'EOF' || failures=$((failures + 1))
import os, sys

def read_pam(path):
    data = open(path, 'rb').read()
    end = data.index(b'ENDHDR\n') + 7
    head = dict(l.split(' ', 1) for l in data[:end].decode().splitlines()[1:-1])
    w, h, d = int(head['WIDTH']), int(head['HEIGHT']), int(head['DEPTH'])
    raw = data[end:end + w * h * d]
    # Grey, grey and alpha, RGB or RGBA, all as RGBA.
    px = bytearray(b'\xff' * (w * h * 4))
    for c in range(3):
        px[c::4] = raw[(c if d >= 3 else 0)::d]
    if d in (2, 4):
        px[3::4] = raw[d - 1::d]
    return w, h, px

theirs, ours, kinds = sys.argv[1:4]
kind = dict(line.split() for line in open(kinds))
bad = compared = 0
for name in sorted(os.listdir(ours), key=lambda s: int(s.split('.')[0])):
    k, bits = kind[name.split('.')[0]].split(',')
    wa, ha, a = read_pam(os.path.join(theirs, name))
    wb, hb, b = read_pam(os.path.join(ours, name))
    if (wa, ha) != (wb, hb):
        # ImageMagick sizes an icon by its directory entry, one byte a side.
        if k != 'bitmap' and (wa, ha) == (wb % 256 or 256, hb % 256 or 256):
            continue
        bad += 1
        print('FAIL: %s: ImageMagick %dx%d, --png %dx%d' % (name, wa, ha, wb, hb))
        continue
    # ImageMagick takes the fourth byte of a 32-bit bitmap for alpha; the
    # program draws every bitmap opaque, as GDI does.
    if k == 'bitmap' and bits == '32':
        a[3::4] = b'\xff' * (len(a) // 4)
    compared += 1
    if a == b:
        continue
    # Colour matters only where a pixel is not wholly transparent.
    diff = sum(1 for p in range(0, len(a), 4)
               if a[p + 3] != b[p + 3] or (a[p + 3] != 0 and a[p:p + 3] != b[p:p + 3]))
    if diff:
        bad += 1
        if bad <= 20:
            print('FAIL: %s: %d of %d pixels differ' % (name, diff, len(a) // 4))
print('%d --png files agree with ImageMagick pixel for pixel; %d differ' % (compared - bad, bad))
sys.exit(1 if bad or compared == 0 else 0)
EOF
[ "$failures" -eq 0 ]
