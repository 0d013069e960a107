#!/usr/bin/env python3
"""Checks `ravelin-scan --export-groups` over real executables.

For every file under the given roots, the icon and cursor groups that
icoutils' wrestool lists (types 14 and 12, PE and NE alike, with their file
offsets and sizes) are re-derived here from the file's own bytes: each
group's first language, its entries resolved to the numbered icons or
cursors wrestool lists (the group's language first, else the member's
first), members that are missing, empty, shorter than their header or past
the end of the file left out. The .ico/.cur files ravelin-scan writes must be
exactly those bytes, no more files and no fewer, and icotool and ImageMagick's
identify must read every one without a message.

usage: group_oracle.py WORK_DIR [--root DIR]... [--optional-root DIR]...
                       -- SCAN-COMMAND...
Exits 77 (skipped) when no root exists or a tool is missing.
"""

import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_fixture  # noqa: E402
import scan_runner  # noqa: E402

LINE = re.compile(r"^--type=(\d+) --name=('([^']*)'|(\d+))(?: --language=(\d+))? "
                  r"\[type=\S+ offset=0x([0-9a-fA-F]+) size=(\d+)\]\s*$")
PNG = b"\x89PNG\r\n\x1a\n"
KEPT = set("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.")


def safe_name(name):
    return "".join(c if c in KEPT else "_" for c in name)


def listing(path):
    with scan_runner.wrestool_readable(path) as readable:
        proc = subprocess.run(["wrestool", "-l", readable], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    out = []
    for line in proc.stdout.decode("latin-1").splitlines():
        m = LINE.match(line)
        if not m:
            continue
        numeric = m.group(4) is not None
        name = m.group(4) if numeric else m.group(3)
        language = int(m.group(5)) if m.group(5) is not None else None
        out.append((int(m.group(1)), numeric, name, language, int(m.group(6), 16),
                    int(m.group(7))))
    return out


def image_bytes(image):
    """How many bytes of an icon image its header gives: a PNG through its
    IEND chunk, a bitmap through its AND mask; None when image holds fewer
    or the header gives no size."""
    if image[:8] == PNG:
        at = 8
        while at + 8 <= len(image):
            length, kind = struct.unpack_from(">I4s", image, at)
            at += 12 + length
            if at > len(image):
                return None
            if kind == b"IEND":
                return at
        return None
    if len(image) < 40:
        return None
    bi_size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", image, 0)
    (clr_used,) = struct.unpack_from("<I", image, 32)
    if bi_size < 40 or bi_size > len(image) or width <= 0 or bits not in (1, 4, 8, 16, 24, 32):
        return None
    masks = {0: 0, 3: 12, 6: 16}.get(compression)
    if masks is None:
        return None
    if bi_size != 40:
        masks = 0
    colours = clr_used or (1 << bits if bits <= 8 else 0)
    rows = abs(height) // 2
    total = (bi_size + masks + 4 * colours + rows * ((width * bits + 31) // 32 * 4)
             + rows * ((width + 31) // 32 * 4))
    return total if total <= len(image) else None


EXTENSIONS = {2: ".bmp", 12: ".cur", 14: ".ico"}


def extracted(folder, base, resource):
    """The raw bytes wrestool extracted for a listed resource, or b"" when
    it extracted fewer bytes than the size it lists (data past the end of
    the file). Its listed offsets are not used: for some files they are not
    where the bytes it extracts come from."""
    rtype, _, name, language, _, size = resource
    # The language is in the name for some files and not for others.
    for lang in ("" if language is None else "_%d" % language, ""):
        file_name = "%s_%d_%s%s%s" % (base, rtype, name, lang, EXTENSIONS.get(rtype, ""))
        try:
            with open(os.path.join(folder, file_name), "rb") as f:
                data = f.read()
        except OSError:
            continue
        return data if len(data) == size else b""
    return b""


def expected_groups(path, scratch):
    """{file suffix: expected bytes or None for a group with no member}."""
    resources = listing(path)
    if not any(r[0] in (12, 14) for r in resources):
        return {}
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    with scan_runner.wrestool_readable(path) as readable:
        subprocess.run(["wrestool", "-x", "--raw", "-o", scratch, readable],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    base = os.path.basename(path)
    result = {}
    for resource in resources:
        rtype, numeric, name, language, offset, size = resource
        if rtype not in (12, 14):
            continue
        cursor = rtype == 12
        key = safe_name(name) + (".cur" if cursor else ".ico")
        if key in result:
            continue  # one file per name: its first language
        group = extracted(scratch, base, resource)
        members = []
        if len(group) >= 6:
            (count,) = struct.unpack_from("<H", group, 4)
            count = min(count, (len(group) - 6) // 14)
            member_type = 1 if cursor else 3
            for i in range(count):
                entry = group[6 + 14 * i:6 + 14 * i + 14]
                (member_id,) = struct.unpack_from("<H", entry, 12)
                candidates = [r for r in resources
                              if r[0] == member_type and r[1] and int(r[2]) == member_id]
                chosen = [r for r in candidates if r[3] == language] or candidates
                if not chosen:
                    continue
                data = extracted(scratch, base, chosen[0])
                skip = 4 if cursor else 0
                if len(data) <= skip:
                    continue
                size = image_bytes(data[skip:])
                if size is None:
                    continue
                members.append((entry, data[:skip + size]))
        if not members:
            result[key] = None
            continue
        n = len(members)
        head = struct.pack("<HHH", 0, 2 if cursor else 1, n)
        body = b""
        at = 6 + 16 * n
        for entry, data in members:
            if cursor:
                width, height = struct.unpack_from("<HH", entry, 0)
                hx, hy = struct.unpack_from("<HH", data, 0)
                image = data[4:]
                head += struct.pack("<BBBBHHII", width & 0xFF, (height // 2) & 0xFF, 0, 0, hx,
                                    hy, len(image), at)
            else:
                image = data
                head += image_sides(entry[:2], image) + entry[2:8] + struct.pack("<II", len(image), at)
            body += image
            at += len(image)
        result[key] = head + body
    return result


def image_sides(stated, image):
    """The image's own width and height as a directory holds them (256 as 0),
    where a group states others."""
    if image[:8] == PNG:
        width, height = struct.unpack_from(">II", image, 16)
    else:
        width, height = struct.unpack_from("<ii", image, 4)
        height = abs(height) // 2
    if not (0 < width <= 256 and 0 < height <= 256):
        return stated
    return bytes((width & 0xFF, height & 0xFF))


def icon_image(size, bits):
    """A whole icon image: header, colour table, colour rows, AND mask."""
    colours = 1 << bits if bits <= 8 else 0
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, 0, 0, 0, 0, 0)
    xor = size * ((size * bits + 31) // 32 * 4)
    mask = size * ((size + 31) // 32 * 4)
    return header + b"\x21" * (4 * colours) + b"\x42" * xor + b"\x84" * mask


def group_data(cursor, ids, size=16, bits=4):
    out = struct.pack("<HHH", 0, 2 if cursor else 1, len(ids))
    for ident in ids:
        if cursor:
            out += struct.pack("<HHHHIH", size, 2 * size, 1, bits, 1, ident)
        else:
            out += struct.pack("<BBBBHHIH", size, size, 16, 0, 1, bits, 1, ident)
    return out


def check_fixture(scanner, work):
    """Groups with missing, short and no usable members in a built file:
    exactly the files and the standard error lines the layout gives."""
    icon = icon_image(16, 4)
    cursor = b"\x05\x00\x06\x00" + icon_image(32, 1)
    image, _ = pe_fixture.make_resource_pe([
        (3, 1, icon), (3, 2, icon[:30]), (1, 4, cursor),
        (14, 1, group_data(False, [1, 2, 5])), (14, 2, group_data(False, [9])),
        (12, 3, group_data(True, [4], 32, 1))])
    folder = os.path.join(work, "fixture")
    out_dir = os.path.join(work, "fixture-groups")
    os.makedirs(folder)
    os.makedirs(out_dir)
    path = os.path.join(folder, "g.exe")
    with open(path, "wb") as f:
        f.write(image)
    arg = scan_runner.to_wine_path if scanner.wine else (lambda p: p)
    rc, _, err = scanner.run_raw(["--export-groups", arg(out_dir), arg(path)])
    failures = []
    lines = [line for line in err.splitlines() if "\t" in line]
    shown = scan_runner.from_wine_path if scanner.wine else (lambda p: p)
    lines = ["\t".join(line.split("\t")[:-1] + [shown(line.split("\t")[-1])]) for line in lines]
    want = ["member-missing\t2\t1\t" + path, "member-missing\t5\t1\t" + path,
            "member-missing\t9\t2\t" + path, "group-empty\t2\t" + path]
    if rc != 0 or lines != want:
        failures.append("fixture: exit %d, lines %r, not %r" % (rc, lines, want))
    expected = {
        "g.exe.1.ico": struct.pack("<HHH", 0, 1, 1)
        + struct.pack("<BBBBHHII", 16, 16, 16, 0, 1, 4, len(icon), 22) + icon,
        "g.exe.3.cur": struct.pack("<HHH", 0, 2, 1)
        + struct.pack("<BBBBHHII", 32, 32, 0, 0, 5, 6, len(cursor) - 4, 22) + cursor[4:],
    }
    produced = sorted(os.listdir(out_dir))
    if produced != sorted(expected):
        failures.append("fixture: wrote %r" % produced)
    for name, data in expected.items():
        if name in produced:
            with open(os.path.join(out_dir, name), "rb") as f:
                if f.read() != data:
                    failures.append("fixture: %s differs from the layout" % name)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("work")
    parser.add_argument("--root", action="append", default=[])
    parser.add_argument("--optional-root", action="append", default=[])
    parser.add_argument("command", nargs="+")
    args = parser.parse_args()
    for tool in ("wrestool", "icotool", "identify"):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed" % tool)
            return 77
    roots = [r for r in args.root + args.optional_root if os.path.exists(r)]
    if not roots:
        print("skipped: no root exists")
        return 77
    scanner = scan_runner.command_from_args(args.command)
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    failures = check_fixture(scanner, args.work)
    full = []
    groups = files = 0
    # One run per root: files of one name in two roots would write the same
    # group files.
    for number, root in enumerate(roots):
        out_dir = os.path.join(args.work, "groups%d" % number)
        os.makedirs(out_dir)
        target = scan_runner.to_wine_path(out_dir) if scanner.wine else out_dir
        path_arg = scan_runner.to_wine_path(root) if scanner.wine else root
        rc, _, err = scanner.run_raw(["--export-groups", target, "--", path_arg], timeout=600)
        if rc != 0:
            failures.append("ravelin-scan exited with %d for %s" % (rc, root))
        empty = set()
        for line in err.splitlines():
            fields = line.split("\t")
            if fields[0] == "group-empty" and len(fields) == 3:
                empty.add((scan_runner.from_wine_path(fields[2]), fields[1]))
            elif fields[0] in ("cannot-create", "export-refused", "cannot-load"):
                failures.append("ravelin-scan: %s" % line)
        produced = set(os.listdir(out_dir))
        expected_files = set()
        for path in scan_runner.walk_order(root):
            expected = expected_groups(path, os.path.join(args.work, "wrestool"))
            if expected:
                files += 1
            base = os.path.basename(path)
            for key, data in expected.items():
                name = base + "." + key
                groups += 1
                if data is None:
                    if name in produced:
                        failures.append("%s: written, though no member is usable" % name)
                    if (path, key[:-4]) not in empty:
                        failures.append("%s: no group-empty line" % name)
                    continue
                expected_files.add(name)
                if name not in produced:
                    failures.append("%s: not written" % name)
                    continue
                with open(os.path.join(out_dir, name), "rb") as f:
                    if f.read() != data:
                        failures.append("%s: differs from the bytes its group gives" % name)
        for name in sorted(produced - expected_files):
            failures.append("%s: written, but wrestool lists no such group" % name)
        full += [os.path.join(out_dir, n) for n in sorted(produced & expected_files)]
    if not full:
        failures.append("no group was written")

    # Both readers over every file; any message from either is a failure.
    # The resources' own headers sometimes carry a resolution or an
    # important-colour count, which icotool only warns about; these bytes are
    # copied unchanged on purpose.
    for start in range(0, len(full), 200):
        chunk = full[start:start + 200]
        proc = subprocess.run(["icotool", "-l"] + chunk, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
        for line in proc.stderr.decode("latin-1").splitlines():
            if not re.search(r"(pels_per_meter|clr_important) field in bitmap should be zero",
                             line):
                failures.append("icotool: " + line)
        if proc.returncode != 0:
            failures.append("icotool exited with %d" % proc.returncode)
        proc = subprocess.run(["identify"] + chunk, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
        if proc.stderr.strip() or proc.returncode != 0:
            failures.append("identify: " + proc.stderr.decode("latin-1")[:2000])
    cursors = sum(1 for n in full if n.endswith(".cur"))
    print("%d groups in %d files; %d written (%d cursor groups), %d with no usable member"
          % (groups, files, len(full), cursors, groups - len(full)))
    for f in failures[:40]:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
