#!/usr/bin/env python3
"""The contract of ravelin-scan's command line, on trees built in code.

usage: cli_contract.py SCAN-COMMAND...   (ending in .exe: run under Wine)
"""

import os
import pty
import random
import re
import resource
import signal
import subprocess
import shutil
import struct
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "real"))
import pe_fixture  # noqa: E402
import scan_runner  # noqa: E402

SCANNER = None
NUMBER = re.compile(r"^-?[0-9]+$")
HERE = os.path.dirname(os.path.abspath(__file__))
# Real executables with images of every kind and depth to bend.
MUTATION_SOURCES = [
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/user32.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/comctl32.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/winemine.exe",
    os.path.join(HERE, "..", "..", "..", "shared", "corpus", "pe", "corkami-resource_icon.exe"),
]
MUTANTS_PER_SOURCE = 24
# BITMAPINFOHEADER fields (offset, size) and values that have broken readers.
HOSTILE_FIELDS = [
    (0, 4, [12, 39, 44, 124, 0xFFFFFFFF]),                      # biSize
    (4, 4, [0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF]),         # biWidth
    (8, 4, [0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE]),      # biHeight
    (14, 2, [0, 1, 2, 4, 8, 16, 24, 32, 64, 0xFFFF]),           # biBitCount
    (16, 4, [1, 2, 3, 4, 5, 6, 11]),                            # biCompression
    (20, 4, [0, 1, 0x7FFFFFFF, 0xFFFFFFFF]),                    # biSizeImage
    (32, 4, [1, 255, 257, 0x40000000, 0xFFFFFFFF]),             # biClrUsed
]


def png_file_problem(data):
    """What makes data not a PNG file: signature, IHDR first, chunks to IEND."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return "signature"
    if len(data) < 33 or data[8:16] != b"\x00\x00\x00\x0dIHDR":
        return "IHDR is not the first chunk"
    width, height = struct.unpack(">II", data[16:24])
    if width == 0 or height == 0:
        return "empty image"
    at = 8
    while True:
        if len(data) - at < 12:
            return "chunk header past the end"
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if length > len(data) - at - 12:
            return "chunk past the end"
        at += 12 + length
        if kind == b"IEND":
            return None if at == len(data) else "bytes after IEND"


def icon_file_problem(data, kind):
    """What makes data not an icon (kind 1) or cursor (2) file: the header,
    its entries inside the file, and each image inside the file, past the
    directory."""
    if len(data) < 6:
        return "header past the end"
    reserved, found, count = struct.unpack("<HHH", data[:6])
    if reserved != 0 or found != kind:
        return "header"
    if count == 0:
        return "no image"
    directory = 6 + 16 * count
    if directory > len(data):
        return "entries past the end"
    for i in range(count):
        size, offset = struct.unpack("<II", data[6 + 16 * i + 8:6 + 16 * i + 16])
        if size == 0 or offset < directory or size > len(data) - offset:
            return "entry %d outside the file" % i
    return None


class TempTree:
    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="ravelin-cli-")

    def write(self, relative, data):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def expected_lines(files, first_index=0):
    """files: list of (path, records from make_pe). The exact stdout lines."""
    lines, index = [], first_index
    for path, records in files:
        for kind, offset, size, area in records:
            lines.append("%d\t%s\t%d\t%d\t%d\t%d\t%s" % (index, kind, offset, size, index, area,
                                                      path))
            index += 1
    return lines


class CliContract(unittest.TestCase):
    def setUp(self):
        self.tree = TempTree()

    def tearDown(self):
        self.tree.close()

    def arg(self, path):
        return scan_runner.to_wine_path(path) if SCANNER.wine else path

    def scan_lines(self, paths, returncode=0):
        result = SCANNER.scan(paths)
        self.assertEqual(result.returncode, returncode, result.stderr)
        self.assertEqual(result.problems, [])
        lines = ["%d\t%s\t%d\t%d\t%d\t%d\t%s" % (r.index, r.kind, r.offset, r.size, r.sequence,
                                                  r.area, r.path) for r in result.records]
        return lines, result.statuses

    def test_no_argument_is_a_usage_error(self):
        rc, out, err = SCANNER.run_raw([])
        self.assertEqual(rc, 2)
        self.assertEqual(out, "")
        self.assertIn("usage", err)

    def test_unknown_options_are_usage_errors(self):
        path = self.tree.write("icon.exe", pe_fixture.make_pe([("icon", 16, 32)])[0])
        for option in (["--no-such-option"], ["-z"], ["--jobs", "0"], ["--jobs", "65"],
                       ["--jobs", "2x"], ["--jobs"]):
            rc, out, _ = SCANNER.run_raw(option + [self.arg(path)])
            self.assertEqual((rc, out), (2, ""), option)

    def test_missing_file_is_reported_and_the_rest_scanned(self):
        missing = os.path.join(self.tree.root, "missing.exe")
        image, records = pe_fixture.make_pe([("bitmap", 7, 3)])
        present = self.tree.write("here.exe", image)
        lines, statuses = self.scan_lines([missing, present], returncode=1)
        self.assertEqual(statuses, [("cannot-open", missing)])
        self.assertEqual(lines, expected_lines([(present, records)]))
        # A file inside a named tree that cannot be opened is no failure of
        # the run; only a named path that is not there is.
        lines, _ = self.scan_lines([self.tree.root])
        self.assertEqual(lines, expected_lines([(present, records)]))

    def test_help_and_version_go_to_standard_output(self):
        for args, first in ((["--help"], "usage: ravelin-scan "),
                            (["--version"], "ravelin-scan (Ravelin) 1.5"),
                            (["--describe", "--help"], "usage: ravelin-scan ")):
            rc, out, err = SCANNER.run_raw(args)
            self.assertEqual(rc, 0, args)
            self.assertTrue(out.startswith(first), (args, out))
            self.assertNotIn("usage", err)
        rc, out, _ = SCANNER.run_raw(["--help", "--bogus"])
        self.assertEqual((rc, out), (2, ""))

    def test_an_output_folder_that_cannot_be_used_stops_before_any_scan(self):
        image, _ = pe_fixture.make_pe([("icon", 16, 32), ("bitmap", 4, 4)])
        present = self.tree.write("here.exe", image)
        plain_file = self.tree.write("plain.txt", b"text")
        missing = os.path.join(self.tree.root, "no-such-folder")
        for option in ("--export", "--save-all"):
            for folder, problem in ((missing, "no such folder"), (plain_file, "not a folder")):
                rc, out, err = SCANNER.run_raw([option, self.arg(folder), self.arg(present)])
                self.assertEqual((rc, out), (2, ""), (option, folder))
                ours = [line for line in err.splitlines() if "\t" in line or "ravelin" in line]
                self.assertEqual(ours, ["ravelin-scan: output folder %s: %s"
                                        % (self.arg(folder), problem)])
        self.assertFalse(os.path.exists(missing))
        # A folder that can be written is left as it was but for the entries;
        # the fixture's pictures are refused, so it stays empty.
        out_dir = os.path.join(self.tree.root, "out")
        os.mkdir(out_dir)
        rc, _, err = SCANNER.run_raw(["--export", self.arg(out_dir), self.arg(present)])
        self.assertEqual(rc, 0)
        self.assertIn("export-refused\t1\t", err)
        self.assertEqual(os.listdir(out_dir), [])
        if os.geteuid() != 0 and not SCANNER.wine:
            os.chmod(out_dir, 0o555)
            try:
                rc, out, err = SCANNER.run_raw(["--export", out_dir, present])
            finally:
                os.chmod(out_dir, 0o755)
            self.assertEqual((rc, out), (2, ""))
            self.assertEqual(err, "ravelin-scan: output folder %s: cannot be written\n" % out_dir)

    def test_progress_is_shown_on_a_terminal_only_and_cleared(self):
        image, _ = pe_fixture.make_pe([("icon", 16, 32)])
        for i in range(30):
            self.tree.write("d%02d/f.exe" % i, image)
        self.tree.write("d07/notes.txt", b"not an executable\n" * 4)
        args = [self.arg(self.tree.root)]
        rc, plain_out, plain_err = SCANNER.run_raw(args)
        self.assertEqual(rc, 0)
        self.assertNotIn("files seen", plain_err)

        master, slave = pty.openpty()
        proc = subprocess.Popen(SCANNER.command + args, stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=slave)
        os.close(slave)
        chunks = []
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the terminal's last writer has gone
                break
            if not chunk:
                break
            chunks.append(chunk)
        out = proc.stdout.read().decode("latin-1").replace("\r\n", "\n")
        proc.wait()
        os.close(master)
        self.assertEqual(proc.returncode, 0)
        self.assertEqual(out, plain_out)
        seen = b"".join(chunks).decode("latin-1").replace("\r\n", "\n")
        self.assertIn("files seen: 1, entries found: 0", seen)
        # Wine's console redraws what the program wrote, with escape
        # sequences of its own and tabs turned into spaces.
        seen = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", seen).replace("\r\n", "\n")
        # What the terminal shows once each carriage return has taken the
        # line back to its start: the status lines alone, the last line blank.
        shown = []
        for line in seen.split("\n"):
            cells = []
            for part in line.split("\r"):
                cells[:len(part)] = list(part)
            shown.append(" ".join("".join(cells).split()))
        self.assertEqual(shown[-1], "")
        expected = [" ".join(l.split()) for l in plain_err.splitlines()
                    if l.split("\t")[0] in scan_runner.STATUSES]
        self.assertEqual(len(expected), 1)
        self.assertEqual([l for l in shown[:-1] if l.split(" ")[0] in scan_runner.STATUSES],
                         expected)
        if not SCANNER.wine:
            self.assertEqual(shown[:-1], expected)

    def test_statuses_of_files_that_give_no_record(self):
        t = self.tree
        tiny = t.write("tiny.exe", b"MZ" + b"\0" * 61)  # 63 bytes
        text = t.write("notes.txt", b"plain text, " * 20)
        no_rsrc = bytearray(pe_fixture.make_pe([("icon", 16, 32)])[0])
        no_rsrc[0x40 + 24:0x40 + 30] = b".RSRC\0"
        upper = t.write("upper.exe", bytes(no_rsrc))
        _, statuses = self.scan_lines([tiny, text, upper])
        self.assertEqual(statuses, [("damaged", tiny), ("unsupported", text),
                                    ("no-images", upper)])

    def test_tree_is_walked_in_byte_order_files_before_subdirectories(self):
        t = self.tree
        made = {}

        def pe(relative, *resources):
            image, records = pe_fixture.make_pe(list(resources))
            made[relative] = (t.write(relative, image), records)

        # Byte order puts upper case before "_" before lower case; a locale
        # or case-blind sort would not.
        pe("a_low.exe", ("icon", 16, 32))
        pe("B_up.exe", ("bitmap", 50, -100), ("cursor", 32, 64))
        pe("_mid.exe", ("icon", 32, 64))
        pe("abcd", ("bitmap", 1, 1))                 # four characters: taken
        pe("abc", ("bitmap", 2, 2))                  # three: skipped
        pe(".hidden.exe", ("icon", 48, 96))          # dot names: skipped
        pe(".dotdir/inner.exe", ("icon", 48, 96))
        pe("0sub/deep/z.exe", ("icon", 8, 16))       # walked after the files
        pe("0sub/y.exe", ("bitmap", 3, 3))
        pe("Zsub/x.exe", ("icon", 24, 48))
        pe("0sub/.x.exe", ("bitmap", 3, 3))
        t.write("Zsub/readme.txt", b"not an executable at all\n" * 4)
        if not SCANNER.wine:
            os.symlink(os.path.join(t.root, "Zsub"), os.path.join(t.root, "link"))

        lines, statuses = self.scan_lines([t.root])
        order = ["B_up.exe", "_mid.exe", "a_low.exe", "abcd", "0sub/y.exe", "0sub/deep/z.exe",
                 "Zsub/x.exe"]
        self.assertEqual(lines, expected_lines([made[name] for name in order]))
        self.assertEqual(statuses, [("unsupported", os.path.join(t.root, "Zsub", "readme.txt"))])

    def test_file_arguments_are_scanned_in_the_order_given(self):
        later, later_records = pe_fixture.make_pe([("icon", 16, 32)])
        first, first_records = pe_fixture.make_pe([("cursor", 32, 64), ("icon", 32, 64)])
        zed = self.tree.write("zed.exe", later)
        # An explicit name is scanned whatever its length.
        ab = self.tree.write("ab", first)
        lines, _ = self.scan_lines([zed, ab])
        self.assertEqual(lines, expected_lines([(zed, later_records), (ab, first_records)]))

    def test_every_output_line_has_seven_decimal_fields(self):
        image, _ = pe_fixture.make_pe([("icon", 16, 32), ("bitmap", -5, 9), ("cursor", 1, 2)])
        self.tree.write("mixed.exe", image)
        self.tree.write("sub/again.exe", image)
        rc, out, _ = SCANNER.run_raw(
            [scan_runner.to_wine_path(self.tree.root) if SCANNER.wine else self.tree.root])
        self.assertEqual(rc, 0)
        lines = out.splitlines()
        self.assertEqual(len(lines), 6)
        for n, line in enumerate(lines):
            fields = line.split("\t")
            self.assertEqual(len(fields), 7, line)
            self.assertEqual(fields[0], str(n))
            self.assertIn(fields[1], scan_runner.KINDS)
            for value in fields[2:6]:
                self.assertRegex(value, NUMBER)
            self.assertTrue(fields[6].endswith("again.exe" if n >= 3 else "mixed.exe"), line)
        # A negative width gives a negative area: printed signed, not wrapped.
        self.assertEqual(lines[1].split("\t")[5], "-45")

    def test_mutated_images_load_and_export_without_harm(self):
        # Header fields of real entries bent, their pixels turned into RLE runs
        # without an end code, files cut inside an entry: --describe and
        # --export, --png and --export-groups must get through every one (no
        # sanitizer report, no hang), exit 0 with writable folders, account
        # for every entry and write only files that read back.
        sources = [p for p in MUTATION_SOURCES if os.path.isfile(p)]
        if not sources:
            self.skipTest("none of the source executables is installed")
        rng = random.Random(0x52617665)
        folder = os.path.join(self.tree.root, "mutants")
        os.makedirs(folder)
        for source in sources:
            with open(source, "rb") as f:
                clean = f.read()
            entries = SCANNER.scan([source]).records
            if not entries:
                continue
            base = os.path.basename(source)
            for n in range(MUTANTS_PER_SOURCE):
                data = bytearray(clean)
                for _ in range(rng.randint(1, 4)):
                    entry = rng.choice(entries)
                    header = entry.offset + (4 if entry.kind == "cursor" else 0)
                    if header + 40 > entry.offset + entry.size:
                        continue
                    move = rng.random()
                    if move < 0.7:
                        at, size, values = rng.choice(HOSTILE_FIELDS)
                        data[header + at:header + at + size] = struct.pack(
                            "<I" if size == 4 else "<H", rng.choice(values))
                    elif move < 0.9:
                        data[header + 14:header + 22] = struct.pack(
                            "<HII", 8, 1, rng.choice([0, 3, 0x7FFFFFFF]))
                        end = entry.offset + entry.size
                        data[header + 40:end] = bytes([5, 7]) * ((end - header - 40) // 2) + \
                            bytes((end - header - 40) % 2)
                    else:
                        del data[rng.randint(header, entry.offset + entry.size):]
                        break
                self.tree.write(os.path.join("mutants", "%s.%02d.exe" % (base, n)), bytes(data))
        wine = SCANNER.wine

        def run(*options):
            # Each option's folder, made fresh and named relative to the
            # folder the tool starts in (the walk must not lose it); returns
            # the folders, the output lines and the entries refused.
            args, folders = [], []
            for option in options:
                path = os.path.join(self.tree.root, option.strip("-"))
                os.makedirs(path)
                folders.append(path)
                args += [option, option.strip("-")]
            rc, out, err = SCANNER.run_raw(
                ["--describe"] + args + [scan_runner.to_wine_path(folder) if wine else folder],
                cwd=self.tree.root, timeout=600)
            for marker in ("Sanitizer", "runtime error"):
                self.assertNotIn(marker, err)
            self.assertEqual(rc, 0, err[-2000:])
            refused = set()
            for line in err.splitlines():
                fields = line.split("\t")
                self.assertNotIn(fields[0], ("cannot-create", "cannot-load"), line)
                if fields[0] == "export-refused":
                    refused.add(int(fields[1]))
            return folders, out.splitlines(), refused

        # --export alone and --png alone: each refusal line is then that
        # option's.
        (out_dir,), lines, refused = run("--export")
        self.assertGreater(len(lines), 100)
        unusable = 0
        written = set(os.listdir(out_dir))
        for n, line in enumerate(lines):
            fields = line.split("\t")
            self.assertEqual(len(fields), 13, line)
            self.assertEqual(fields[0], str(n))
            self.assertIn(fields[12], ("0", "1"), line)
            unusable += fields[12] == "1"
            name = "%d.%s" % (n, {"bitmap": "bmp", "icon": "ico", "cursor": "cur"}[fields[1]])
            self.assertNotEqual(name in written, n in refused, line)
        # Both outcomes were reached.
        self.assertGreater(unusable, 0)
        self.assertGreater(len(lines) - unusable, 0)

        (png_dir, groups_dir), png_lines, refused = run("--png", "--export-groups")
        self.assertEqual(png_lines, lines)
        pngs = set(os.listdir(png_dir))
        self.assertGreater(len(pngs), 0)
        self.assertLess(len(pngs), len(lines))
        for n, line in enumerate(lines):
            name = "%d.png" % n
            self.assertNotEqual(name in pngs, n in refused, line)
            if name not in pngs:
                continue
            # Only drawable entries become PNGs, and every one written reads.
            self.assertEqual(line.split("\t")[12], "0", line)
            with open(os.path.join(png_dir, name), "rb") as f:
                self.assertIsNone(png_file_problem(f.read()), line)
        self.assertEqual(len(pngs) + len(refused), len(lines))
        groups = os.listdir(groups_dir)
        self.assertGreater(len(groups), 0)
        for name in groups:
            self.assertTrue(name.endswith((".ico", ".cur")), name)
            with open(os.path.join(groups_dir, name), "rb") as f:
                problem = icon_file_problem(f.read(), 2 if name.endswith(".cur") else 1)
            self.assertIsNone(problem, name)

    def test_a_file_size_limit_fails_writes_and_leaves_no_cut_file(self):
        # ulimit -f 4: larger files fail, reported, status 1; every file left is whole (a cut
        # one or a temporary fails). A Windows program cannot ignore SIGXFSZ: Wine gets it so.
        def limited():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN if SCANNER.wine else signal.SIG_DFL)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4096, resource.RLIM_INFINITY))
        for option in ("--export", "--png", "--export-groups"):
            os.mkdir(folder := os.path.join(self.tree.root, option))
            proc = subprocess.run(SCANNER.command + [option, self.arg(folder),
                                  self.arg(MUTATION_SOURCES[0])], capture_output=True,
                                  preexec_fn=limited, restore_signals=False)
            self.assertEqual((proc.returncode, b"cannot-create" in proc.stderr), (1, True), option)
            for name in os.listdir(folder):
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                self.assertIsNone(png_file_problem(data) if name.endswith(".png") else
                                  icon_file_problem(data, 2 if name.endswith("cur") else 1)
                                  if name.endswith(("ico", "cur")) else None
                                  if data[2:6] == struct.pack("<I", len(data)) else name, name)

    def test_catalogue_fills_at_20000_records(self):
        # 999 icons a file: 20 files fill 19980 slots, the 21st file adds the
        # 20 that still fit, the 22nd is not scanned.
        image, records = pe_fixture.make_pe([("icon", 4, 8)] * 999)
        self.assertEqual(len(records), 999)
        paths = [self.tree.write("f%02d.exe" % i, image) for i in range(22)]
        result = SCANNER.scan([self.tree.root])
        self.assertEqual(result.returncode, 0)
        self.assertEqual(len(result.records), 20000)
        self.assertEqual([r.index for r in result.records], list(range(20000)))
        self.assertEqual(sum(r.path == paths[20] for r in result.records), 20)
        self.assertEqual(result.records[-1].offset, records[19][1])
        self.assertEqual(result.statuses, [("catalogue-full", paths[21])])
        # Workers that scan ahead of the catalogue's filling change nothing.
        for jobs in ("1", "3"):
            rc, out, err = SCANNER.run_raw(["--jobs", jobs, self.arg(self.tree.root)])
            self.assertEqual((rc, out, err), (0, result.stdout, result.stderr), jobs)


def main():
    global SCANNER
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    SCANNER = scan_runner.command_from_args(sys.argv[1:])
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(CliContract)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
