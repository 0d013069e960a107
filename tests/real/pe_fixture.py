"""Small PE files built in code for the command-line tests.

One section named .rsrc, no optional header (the scan skips it by the size
the COFF header gives), a resource tree type -> name -> language, and one
BITMAPINFOHEADER per resource, so each file's records are known exactly.
"""

import struct

TYPE_OF_KIND = {"cursor": 1, "bitmap": 2, "icon": 3}
SECTION_FILE_POSITION = 0x200
SECTION_ADDRESS = 0x3000  # differs from the file position on purpose


def _directory(entries):
    out = struct.pack("<IIHHHH", 0, 0, 0, 0, 0, len(entries))
    for ident, target in entries:
        out += struct.pack("<II", ident, target)
    return out


def make_pe(resources):
    """resources: list of (kind, width, stored_height). Returns (bytes, records)
    where records lists (kind, offset, size, area) in the order the scan finds
    them (grouped by type in the order cursor, bitmap, icon)."""
    by_type = {}
    for kind, width, height in resources:
        by_type.setdefault(TYPE_OF_KIND[kind], []).append((kind, width, height))
    types = sorted(by_type)

    # Layout inside the section: root, name dirs, language dirs, data
    # entries, then the resource data itself.
    root_size = 16 + 8 * len(types)
    name_dirs, cursor = {}, root_size
    for t in types:
        name_dirs[t] = cursor
        cursor += 16 + 8 * len(by_type[t])
    lang_dirs = []
    for t in types:
        for _ in by_type[t]:
            lang_dirs.append(cursor)
            cursor += 24
    data_entries_at = cursor
    cursor += 16 * len(lang_dirs)
    data_at = cursor

    section = bytearray()
    section += _directory([(t, 0x80000000 | name_dirs[t]) for t in types])
    i = 0
    for t in types:
        entries = []
        for n in range(len(by_type[t])):
            entries.append((n + 1, 0x80000000 | lang_dirs[i]))
            i += 1
        section += _directory(entries)
    for i in range(len(lang_dirs)):
        section += _directory([(0x409, data_entries_at + 16 * i)])

    blobs, records = [], []
    at = data_at
    for t in types:
        for kind, width, height in by_type[t]:
            header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 1, 0, 0, 0, 0, 0, 0)
            blob = (b"\x01\x00\x02\x00" if kind == "cursor" else b"") + header + b"\x55" * 8
            blobs.append((at, blob))
            visible = abs(height) if kind == "bitmap" else abs(height) // 2
            records.append((kind, SECTION_FILE_POSITION + at, len(blob), width * visible))
            at += len(blob)
    for at_, blob in blobs:
        section += struct.pack("<IIII", SECTION_ADDRESS + at_, len(blob), 0, 0)
    assert len(section) == data_at
    for _, blob in blobs:
        section += blob

    mz = bytearray(64)
    mz[0:2] = b"MZ"
    struct.pack_into("<I", mz, 60, 64)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0, 0)
    name = b".rsrc\0\0\0"
    sec = name + struct.pack("<IIIIIIHHI", len(section), SECTION_ADDRESS, len(section),
                             SECTION_FILE_POSITION, 0, 0, 0, 0, 0x40000040)
    head = bytes(mz) + b"PE\0\0" + coff + sec
    image = head + b"\0" * (SECTION_FILE_POSITION - len(head)) + bytes(section)
    return image, records



def make_resource_pe(resources):
    """resources: list of (type id, name id, data bytes), every one in
    language 0x409, laid out like make_pe. Returns (bytes, file positions of
    each resource's data, in list order)."""
    by_type = {}
    for index, (rtype, name, data) in enumerate(resources):
        by_type.setdefault(rtype, []).append((index, name, data))
    types = sorted(by_type)
    root_size = 16 + 8 * len(types)
    name_dirs, cursor = {}, root_size
    for t in types:
        name_dirs[t] = cursor
        cursor += 16 + 8 * len(by_type[t])
    order = [item for t in types for item in by_type[t]]
    lang_dirs = []
    for _ in order:
        lang_dirs.append(cursor)
        cursor += 24
    data_entries_at = cursor
    data_at = cursor + 16 * len(order)

    section = bytearray(_directory([(t, 0x80000000 | name_dirs[t]) for t in types]))
    i = 0
    for t in types:
        entries = []
        for _, name, _ in by_type[t]:
            entries.append((name, 0x80000000 | lang_dirs[i]))
            i += 1
        section += _directory(entries)
    for i in range(len(order)):
        section += _directory([(0x409, data_entries_at + 16 * i)])
    positions = [0] * len(resources)
    at = data_at
    for index, _, data in order:
        section += struct.pack("<IIII", SECTION_ADDRESS + at, len(data), 0, 0)
        positions[index] = SECTION_FILE_POSITION + at
        at += (len(data) + 3) // 4 * 4
    for _, _, data in order:
        section += data + b"\0" * ((4 - len(data) % 4) % 4)

    mz = bytearray(64)
    mz[0:2] = b"MZ"
    struct.pack_into("<I", mz, 60, 64)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0, 0)
    sec = b".rsrc\0\0\0" + struct.pack("<IIIIIIHHI", len(section), SECTION_ADDRESS, len(section),
                                       SECTION_FILE_POSITION, 0, 0, 0, 0, 0x40000040)
    head = bytes(mz) + b"PE\0\0" + coff + sec
    return head + b"\0" * (SECTION_FILE_POSITION - len(head)) + bytes(section), positions
