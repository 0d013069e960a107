#!/usr/bin/env python3
"""ravelin-scan --sort: the window's area pass and order, on real files and
on files built in code.

usage: scan_cli_sort_test.py WINE-DLL-FOLDER SCAN-COMMAND...   (ending in .exe: run under Wine)
"""

import os
import shutil
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "real"))
import pe_fixture  # noqa: E402
import scan_runner  # noqa: E402

SCANNER = None
FOLDER = None


def run(args, paths):
    """(returncode, rows, stderr): rows are the tab-split output lines."""
    if SCANNER.wine:
        paths = [scan_runner.to_wine_path(p) for p in paths]
    rc, out, err = SCANNER.run_raw(list(args) + list(paths))
    return rc, [line.split("\t") for line in out.splitlines()], err


def keyed(rows):
    """sequence -> area, and the sequences in output order."""
    return {int(r[4]): int(r[5]) for r in rows}, [int(r[4]) for r in rows]


class ScanCliSort(unittest.TestCase):
    def check_indexes(self, rows):
        self.assertEqual([int(r[0]) for r in rows], list(range(len(rows))))

    def check_order(self, rows, descending):
        for before, after in zip(rows, rows[1:]):
            a, b = int(before[5]), int(after[5])
            if a == b:
                # Equal areas keep the order of discovery.
                self.assertLess(int(before[4]), int(after[4]), (before, after))
            elif descending:
                self.assertGreater(a, b, (before, after))
            else:
                self.assertLess(a, b, (before, after))

    def test_real_files_by_area_both_ways_and_back(self):
        rc, plain, err = run([], [FOLDER])
        self.assertEqual(rc, 0, err)
        self.assertGreater(len(plain), 1000)
        scanned, discovery = keyed(plain)
        missing = sum(1 for area in scanned.values() if area == 0)
        self.assertGreater(missing, 0, "every header lay in the window: nothing for the pass")

        rc, none, err = run(["--sort", "none"], [FOLDER])
        self.assertEqual(rc, 0, err)
        filled, order = keyed(none)
        self.assertEqual(order, discovery)
        self.check_indexes(none)
        for sequence, area in scanned.items():
            if area != 0:
                self.assertEqual(filled[sequence], area, sequence)
        self.assertEqual(sum(1 for a in filled.values() if a == 0), 0)

        for option, descending in (("large", True), ("small", False)):
            rc, rows, err = run(["--sort", option], [FOLDER])
            self.assertEqual(rc, 0, err)
            self.check_indexes(rows)
            areas, order = keyed(rows)
            self.assertEqual(areas, filled, option)
            self.assertEqual(sorted(order), sorted(discovery), option)
            self.check_order(rows, descending)
            # Whole records move: the path and offset stay with the sequence.
            by_sequence = {int(r[4]): r[1:4] + r[6:] for r in plain}
            for r in rows:
                self.assertEqual(r[1:4] + r[6:], by_sequence[int(r[4])])

    def test_areas_of_the_pass_agree_with_the_loader(self):
        rc, rows, err = run(["--sort", "large", "--describe"], [FOLDER])
        self.assertEqual(rc, 0, err)
        compared = 0
        for r in rows:
            width, height, unusable = r[7], r[8], r[12]
            if unusable != "0" or width == "" or height == "":
                continue  # PNG icons and the like: the pass reads other bytes
            self.assertEqual(int(r[5]), int(width) * int(height), r)
            compared += 1
        self.assertGreater(compared, 1000)

    def test_ties_across_files_keep_discovery_order(self):
        root = tempfile.mkdtemp(prefix="ravelin-sort-")
        try:
            x, x_records = pe_fixture.make_pe([("icon", 16, 32), ("bitmap", 32, 8)])
            y, y_records = pe_fixture.make_pe([("bitmap", 4, 4), ("icon", 32, 64),
                                               ("cursor", 8, 64)])
            paths = []
            for name, image in (("x.exe", x), ("y.exe", y)):
                paths.append(os.path.join(root, name))
                with open(paths[-1], "wb") as f:
                    f.write(image)
            # Discovery: x bitmap 256, x icon 256, y cursor 256, y bitmap 16,
            # y icon 1024 (types in the order cursor, bitmap, icon per file).
            self.assertEqual([r[3] for r in x_records + y_records], [256, 256, 256, 16, 1024])
            rc, rows, err = run(["--sort", "large"], paths)
            self.assertEqual(rc, 0, err)
            self.assertEqual([(r[1], int(r[4])) for r in rows],
                             [("icon", 4), ("bitmap", 0), ("icon", 1), ("cursor", 2),
                              ("bitmap", 3)])
            rc, rows, err = run(["--sort", "small"], paths)
            self.assertEqual([int(r[4]) for r in rows], [3, 0, 1, 2, 4])
        finally:
            shutil.rmtree(root, ignore_errors=True)

    def test_unique_keeps_the_first_of_each_exported_file_in_output_order(self):
        out = tempfile.mkdtemp(prefix="ravelin-unique-")
        rc, rows, err = run(["--sort", "large", "--export",
                             scan_runner.to_wine_path(out) if SCANNER.wine else out], [FOLDER])
        files = {int(n.split(".")[0]): (n.split(".")[1], open(os.path.join(out, n), "rb").read())
                 for n in os.listdir(out)}
        shutil.rmtree(out, ignore_errors=True)
        seen = set()
        firsts = [r for r in rows if int(r[0]) in files and not (
            files[int(r[0])] in seen or seen.add(files[int(r[0])]))]
        rc, unique, err = run(["--sort", "large", "--unique"], [FOLDER])
        self.assertGreater(len(rows), len(firsts) + 100)
        self.assertEqual([r for r in unique if int(r[0]) in files], firsts)

    def test_bad_sort_arguments_are_usage_errors(self):
        for args in (["--sort"], ["--sort", "medium"], ["--sort", "LARGE"], ["--sort", ""]):
            rc, rows, err = run(args, [FOLDER])
            self.assertEqual((rc, rows), (2, []), args)
            self.assertIn("usage", err)


def main():
    global SCANNER, FOLDER
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    FOLDER = sys.argv[1]
    SCANNER = scan_runner.command_from_args(sys.argv[2:])
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ScanCliSort)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
