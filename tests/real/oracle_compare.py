#!/usr/bin/env python3
"""Compares ravelin-scan with icoutils' wrestool over real executables.

For every file under the given roots, the bitmaps, cursors and icons that
wrestool lists (numbered types 1, 2 and 3, in its walk order, without those
whose data would reach past the end of the file) must be what ravelin-scan
prints for that file, record by record: kind, file offset and size. A file
without such resources must get exactly one status line, and so must a file
of which some were left out for reaching past its end ("damaged").
Every non-zero area must be the one the file's BITMAPINFOHEADER gives, and an
area must be non-zero whenever that header lies in the 64 KiB read that
follows the lowest resource data entry (PE) or the resource table (NE).

usage: oracle_compare.py [--root DIR]... [--optional-root DIR]...
                         [--fonts DIR]... -- SCAN-COMMAND...
A SCAN-COMMAND ending in .exe runs under Wine; paths go over as Z:\\ paths.
"""

import argparse
import concurrent.futures
import os
import re
import shutil
import struct
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import scan_runner  # noqa: E402

MAX_DATA_ENTRIES = 20000  # the catalogue's capacity
WINDOW = 65536
KIND_OF_TYPE = {1: "cursor", 2: "bitmap", 3: "icon"}
WRESTOOL_LINE = re.compile(
    r"^--type=(\d+) .*\[type=\S+ offset=0x([0-9a-fA-F]+) size=(\d+)\]\s*$")

# Files where the two tools part ways and ravelin-scan is the one that is
# right, keyed by path relative to their root, each with the reason. None so
# far: even the fuzzed NE file whose two bitmaps have offset and length 0
# comes out alike, since a zero-length resource at offset 0 lies in the file.
EXCEPTIONS = {}

# Corpus files that are no executable the scan reads, by the folder that
# holds them: LX, plain DOS and a 64-byte stub.
STATUS_OF_FOLDER = {"neg": "unsupported"}


def u16(b, at):
    return struct.unpack_from("<H", b, at)[0] if 0 <= at and at + 2 <= len(b) else None


def u32(b, at):
    return struct.unpack_from("<I", b, at)[0] if 0 <= at and at + 4 <= len(b) else None


def i32(b, at):
    return struct.unpack_from("<i", b, at)[0] if 0 <= at and at + 4 <= len(b) else None


def read_at(f, position, count):
    if position < 0 or count <= 0:
        return b""
    f.seek(position)
    return f.read(count)


class FileLayout:
    """What the test reads from a file itself: format, sections, window."""

    def __init__(self, path):
        self.path = path
        self.length = os.path.getsize(path)
        self.format = None
        self.sections = []  # (name, va, vsize, raw_pointer, raw_size)
        self.resource_rva = 0
        self.window_start = None
        self.window_length = 0
        with open(path, "rb") as f:
            mz = f.read(64)
            if len(mz) < 64 or mz[:2] != b"MZ":
                return
            header = i32(mz, 60)
            sig = read_at(f, header, 4)
            if sig == b"PE\0\0":
                self.format = "PE"
                self._read_pe(f, header + 4)
            elif sig[:2] == b"NE":
                self.format = "NE"
                ne = read_at(f, header, 64)
                table = u16(ne, 0x24)
                if table is not None:
                    self.window_start = header + table
                    self.window_length = max(0, min(WINDOW, self.length - self.window_start))

    def _read_pe(self, f, coff):
        head = read_at(f, coff, 20)
        if len(head) < 20:
            return
        n, opt = u16(head, 2), u16(head, 16)
        optional = read_at(f, coff + 20, opt)
        count_at = {0x10B: 92, 0x20B: 108}.get(u16(optional, 0))
        if count_at is not None and (u32(optional, count_at) or 0) > 2:
            self.resource_rva = u32(optional, count_at + 4 + 16) or 0
        table = read_at(f, coff + 20 + opt, 40 * n)
        for i in range(len(table) // 40):
            s = table[40 * i:40 * i + 40]
            vsize, va, rsize, rptr = struct.unpack_from("<IIII", s, 8)
            self.sections.append((s[:8], va, vsize, rptr, rsize))
        # The loader's way: the header's entry, and a section's name only
        # when the header gives no address or no section holds it.
        rptr = self.file_offset(self.resource_rva) if self.resource_rva else None
        if rptr is None:
            rsrc = next((s for s in self.sections if s[0][:6] == b".rsrc\0"), None)
            if rsrc is None:
                return
            rptr = rsrc[3]
        tree = read_at(f, rptr, WINDOW)
        lowest = self._lowest_data_entry(tree)
        if lowest is not None:
            self.window_start = rptr + lowest
            self.window_length = max(0, min(WINDOW, self.length - self.window_start))

    @staticmethod
    def _lowest_data_entry(tree):
        """Lowest data-entry offset among the first 1000 of types 1, 2, 3."""
        found = []
        seen = set()

        def entries(d):
            named, ids = u16(tree, d + 12), u16(tree, d + 14)
            if named is None or ids is None:
                return
            for j in range(named + ids):
                at = d + 16 + 8 * j
                if at + 8 > len(tree):
                    return
                yield i32(tree, at), u32(tree, at + 4)

        def walk(d, depth):
            if d + 16 > len(tree) or d in seen:
                return True
            seen.add(d)
            for _, target in entries(d):
                if target & 0x80000000:
                    if depth < 3 and not walk(target & 0x7FFFFFFF, depth + 1):
                        return False
                elif len(found) >= MAX_DATA_ENTRIES:
                    return False
                else:
                    found.append(target)
            return True

        for type_id, target in entries(0):
            if type_id in KIND_OF_TYPE:
                walk(target & 0x7FFFFFFF, 2)
        return min(found) if found else None

    def file_offset(self, rva):
        """wrestool prints a PE resource's address in the loaded image."""
        if self.format != "PE":
            return rva
        for _, va, vsize, rptr, rsize in self.sections:
            if va <= rva < va + max(vsize, rsize):
                return rva - va + rptr
        return None


def wrestool_list(path, layout):
    with scan_runner.wrestool_readable(path) as readable:
        proc = subprocess.run(["wrestool", "-l", readable], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    listed = []
    for line in proc.stdout.decode("latin-1").splitlines():
        m = WRESTOOL_LINE.match(line)
        if m and int(m.group(1)) in KIND_OF_TYPE:
            listed.append((KIND_OF_TYPE[int(m.group(1))], int(m.group(2), 16), int(m.group(3))))
    # Resources it cannot read for the file ending first are left unlisted.
    layout.cut_short = b"premature end" in proc.stderr
    return listed


def expected_records(path, layout):
    listed = wrestool_list(path, layout)[:MAX_DATA_ENTRIES]
    expected = []
    for kind, address, size in listed:
        offset = layout.file_offset(address)
        if offset is None:
            return None, "wrestool lists a %s at address 0x%x that no section holds" % (kind, address)
        if offset < 0 or offset + size > layout.length:
            layout.cut_short = True
            continue  # its data does not lie wholly in the file
        expected.append((kind, offset, size))
    return expected, None


PNG_START = b"\x89PNG\r\n\x1a\n"


def png_size(f, kind, offset):
    """IHDR's width and height when an icon's or cursor's data is a PNG image."""
    if kind == "bitmap":
        return None
    b = read_at(f, offset + (4 if kind == "cursor" else 0), 24)
    if len(b) < 24 or b[:8] != PNG_START or b[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", b[16:24])


def header_area(f, kind, offset):
    h = offset + (4 if kind == "cursor" else 0)
    b = read_at(f, h, 12)
    if len(b) < 12:
        return 0
    size = png_size(f, kind, offset)
    if size is not None:
        width, height = size
    else:
        width, height = i32(b, 4), abs(i32(b, 8))
        if kind != "bitmap":
            height //= 2
    product = (width * height) & 0xFFFFFFFF
    return product - (1 << 32) if product & 0x80000000 else product


def check_areas(layout, records):
    problems = []
    with open(layout.path, "rb") as f:
        for r in records:
            needed = 16
            if png_size(f, r.kind, r.offset) is not None:
                needed = (4 if r.kind == "cursor" else 0) + 24
            in_window = (layout.window_start is not None and r.offset >= layout.window_start
                         and r.offset + needed <= layout.window_start + layout.window_length)
            want = header_area(f, r.kind, r.offset) if in_window else 0
            if r.area != 0 and r.area != header_area(f, r.kind, r.offset):
                problems.append("record %d (%s at %d): area %d, but its header says %d"
                                % (r.index, r.kind, r.offset, r.area,
                                   header_area(f, r.kind, r.offset)))
            elif r.area != want:
                problems.append("record %d (%s at %d): area %d, expected %d (header %s the "
                                "window at %s)" % (r.index, r.kind, r.offset, r.area, want,
                                                   "in" if in_window else "outside",
                                                   layout.window_start))
    return problems


def compare_root(scanner, root, must_be_status, pool, files=None):
    """Scans root, a folder, or the given files in one run. Returns (files
    checked, records checked, failure messages)."""
    failures = []
    if files is None:
        files = scan_runner.walk_order(root)
        result = scanner.scan([root])
    else:
        result = scanner.scan(files)
    if result.returncode != 0:
        failures.append("%s: ravelin-scan exited with %d\n%s" % (root, result.returncode,
                                                                 result.stderr[-2000:]))
    failures += ["%s: %s" % (root, p) for p in result.problems]
    for i, r in enumerate(result.records):
        if r.index != i or r.sequence != i:
            failures.append("%s: line %d has index %d and sequence %d" % (root, i, r.index,
                                                                         r.sequence))
            break

    by_file, statuses, order, status_order = {}, {}, [], []
    for r in result.records:
        if r.path not in by_file:
            order.append(r.path)
            by_file[r.path] = []
        elif order[-1] != r.path:
            failures.append("%s: records of one file are not together" % r.path)
        by_file[r.path].append(r)
    for status, path in result.statuses:
        # A file cut short has its records and then says so.
        if path in statuses or (path in by_file and status != "damaged"):
            failures.append("%s: reported twice (%s)" % (path, status))
        statuses[path] = status
        status_order.append(path)
    reported = set(by_file) | set(statuses)
    if reported != set(files):
        missing = sorted(set(files) - set(reported))[:5]
        extra = sorted(set(reported) - set(files))[:5]
        failures.append("%s: files offered differ from the walk: missing %s, unexpected %s"
                        % (root, missing, extra))
    else:
        for what, group, seen in (("records", by_file, order),
                                  ("status lines", statuses, status_order)):
            if seen != [p for p in files if p in group]:
                failures.append("%s: files with %s are not in walk order" % (root, what))

    layouts = {p: FileLayout(p) for p in files}
    expectations = dict(zip(files, pool.map(lambda p: expected_records(p, layouts[p]), files)))
    record_count = 0
    for path in files:
        rel = os.path.relpath(path, root) if os.path.isdir(root) else os.path.basename(path)
        got = by_file.get(path, [])
        expected, trouble = expectations[path]
        if trouble:
            failures.append("%s: %s" % (path, trouble))
            continue
        if rel in EXCEPTIONS:
            continue
        record_count += len(got)
        got_list = [(r.kind, r.offset, r.size) for r in got]
        if got_list != expected:
            first = next((i for i, (a, b) in enumerate(zip(got_list, expected)) if a != b),
                         min(len(got_list), len(expected)))
            failures.append(
                "%s: ravelin-scan made %d records, wrestool lists %d; first difference at "
                "record %d of the file: ravelin-scan %s, wrestool %s"
                % (path, len(got_list), len(expected), first,
                   got_list[first] if first < len(got_list) else "nothing",
                   expected[first] if first < len(expected) else "nothing"))
            continue
        status = statuses.get(path)
        if expected and layouts[path].cut_short != (status == "damaged"):
            failures.append("%s: has records and status %s" % (path, status))
        if not expected:
            want = must_be_status(rel)
            if status is None:
                failures.append("%s: no records and no status line" % path)
            elif want is not None and status != want:
                failures.append("%s: status %s, expected %s" % (path, status, want))
            elif want is None and status not in ("no-images", "damaged", "unsupported"):
                failures.append("%s: status %s for a file without images" % (path, status))
        failures += ["%s: %s" % (path, p) for p in check_areas(layouts[path], got)]
    return len(files), record_count, failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", action="append", default=[],
                    help="folder of valid executables: images or no-images")
    ap.add_argument("--optional-root", action="append", default=[],
                    help="folder of test files, skipped when absent")
    ap.add_argument("--fonts", action="append", default=[],
                    help="folder whose *.fon files are scanned, skipped when absent")
    ap.add_argument("command", nargs="+")
    args = ap.parse_args()
    if shutil.which("wrestool") is None:
        print("wrestool (icoutils) is not installed: scripts/deps.sh installs it")
        return 1
    scanner = scan_runner.command_from_args(args.command)

    work = []
    for root in args.root:
        if not os.path.isdir(root):
            print("FAIL: %s is missing" % root)
            return 1
        work.append((root, lambda rel: "no-images"))
    for root in args.optional_root:
        if not os.path.isdir(root):
            print("skipped: %s is absent" % root)
            continue
        work.append((root, lambda rel: STATUS_OF_FOLDER.get(rel.split(os.sep)[0])))
    font_files = []
    for folder in args.fonts:
        if os.path.isdir(folder):
            font_files += sorted(os.path.join(folder, n) for n in os.listdir(folder)
                                 if n.lower().endswith(".fon"))
        else:
            print("skipped: %s is absent" % folder)

    failures, files, records = [], 0, 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        for root, rule in work:
            n, r, f = compare_root(scanner, root, rule, pool)
            print("%-60s %5d files %6d records %4d failures" % (root, n, r, len(f)))
            files, records, failures = files + n, records + r, failures + f
        if font_files:
            n, r, f = compare_root(scanner, "font files", lambda rel: "no-images", pool,
                                   files=font_files)
            print("%-60s %5d files %6d records %4d failures" % ("font files", n, r, len(f)))
            files, records, failures = files + n, records + r, failures + f

    for message in failures[:200]:
        print("FAIL: " + message)
    if len(failures) > 200:
        print("... and %d more failures" % (len(failures) - 200))
    print("%d files, %d records compared; %d failures" % (files, records, len(failures)))
    if files == 0 or records == 0:
        print("FAIL: nothing was compared")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
