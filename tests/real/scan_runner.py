"""Runs ravelin-scan natively or under Wine and parses what it prints.

Shared by the real-file tests. Under Wine, Linux paths are handed over as
Z:\\ paths and the paths the program prints are mapped back, so callers work
with Linux paths only.
"""

import contextlib
import os
import struct
import subprocess
import tempfile
from dataclasses import dataclass

@contextlib.contextmanager
def wrestool_readable(path):
    """path, or a copy whose PE resource entry states a size: wrestool takes
    size 0 for no tree, where the loader reads the tree at its address."""
    with open(path, "rb") as f:
        data = bytearray(f.read())
    try:
        optional = struct.unpack_from("<i", data, 60)[0] + 24
        count_at = {0x10B: 92, 0x20B: 108}[struct.unpack_from("<H", data, optional)[0]]
        entry = optional + count_at + 20
        unsized = (data[:2] == b"MZ" and data[optional - 24:optional - 20] == b"PE\0\0"
                   and struct.unpack_from("<I", data, optional + count_at)[0] > 2
                   and entry + 8 <= optional + struct.unpack_from("<H", data, optional - 4)[0]
                   and struct.unpack_from("<II", data, entry)[0] != 0
                   and struct.unpack_from("<II", data, entry)[1] == 0)
    except (struct.error, KeyError):
        unsized = False
    if not unsized:
        yield path
        return
    with tempfile.TemporaryDirectory() as folder:
        struct.pack_into("<I", data, entry + 4, len(data))
        copy = os.path.join(folder, os.path.basename(path))
        with open(copy, "wb") as f:
            f.write(data)
        yield copy


KINDS = ("bitmap", "icon", "cursor")
STATUSES = ("cannot-open", "damaged", "unsupported", "no-images", "catalogue-full")


@dataclass
class Record:
    index: int
    kind: str
    offset: int
    size: int
    sequence: int
    area: int
    path: str


@dataclass
class ScanResult:
    returncode: int
    records: list
    statuses: list  # (status, path) in the order printed
    stdout: str
    stderr: str
    problems: list  # lines that follow neither output format


def to_wine_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def from_wine_path(path):
    if len(path) >= 2 and path[1] == ":" and path[0] in "Zz":
        return path[2:].replace("\\", "/")
    return path


class Scanner:
    def __init__(self, command, wine=False):
        self.command = list(command)
        self.wine = wine

    def run_raw(self, args, cwd=None, timeout=300):
        proc = subprocess.run(self.command + list(args), cwd=cwd, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        # The Windows C runtime writes CR LF; the names scanned are bytes.
        out = proc.stdout.decode("latin-1").replace("\r\n", "\n")
        err = proc.stderr.decode("latin-1").replace("\r\n", "\n")
        return proc.returncode, out, err

    def scan(self, paths, cwd=None, timeout=300):
        args = [to_wine_path(p) if self.wine else p for p in paths]
        rc, out, err = self.run_raw(args, cwd=cwd, timeout=timeout)
        return parse(rc, out, err, self.wine)


def parse(rc, out, err, wine=False):
    records, statuses, problems = [], [], []
    for line in out.splitlines():
        fields = line.split("\t")
        if len(fields) != 7 or fields[1] not in KINDS:
            problems.append("stdout line not in the 7-field format: %r" % line)
            continue
        try:
            nums = [int(fields[i]) for i in (0, 2, 3, 4, 5)]
        except ValueError:
            problems.append("stdout line with a non-decimal number: %r" % line)
            continue
        path = from_wine_path(fields[6]) if wine else fields[6]
        records.append(Record(nums[0], fields[1], nums[1], nums[2], nums[3], nums[4], path))
    for line in err.splitlines():
        fields = line.split("\t", 1)
        if len(fields) == 2 and fields[0] in STATUSES:
            statuses.append((fields[0], from_wine_path(fields[1]) if wine else fields[1]))
        elif not wine:
            # Wine itself may talk on stderr; natively every line is ours.
            problems.append("stderr line not in the status format: %r" % line)
    return ScanResult(rc, records, statuses, out, err, problems)


def walk_order(root):
    """The files ravelin-scan offers for root, in the order it offers them."""
    if not os.path.isdir(root):
        return [root]
    result = []

    def walk(directory):
        names = sorted(os.listdir(directory), key=os.fsencode)
        files, subdirs = [], []
        for name in names:
            if name.startswith("."):
                continue
            full = os.path.join(directory, name)
            if os.path.isdir(full):
                if not os.path.islink(full):
                    subdirs.append(full)
            elif len(os.fsencode(name)) >= 4:
                files.append(full)
        result.extend(files)
        for sub in subdirs:
            walk(sub)

    walk(os.path.abspath(root))
    return result


def command_from_args(scan_args):
    """The scanner for a command line; one ending in .exe runs under Wine."""
    wine = bool(scan_args) and scan_args[-1].lower().endswith(".exe")
    return Scanner(scan_args, wine=wine)
