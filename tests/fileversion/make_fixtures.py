#!/usr/bin/env python3
"""Writes the PE fixtures of the file version tests into a folder, with cases.txt beside them.

Each fixture is a small PE file built byte by byte here, so that its version, its resource tree
and its faults are exactly what the case says. cases.txt has one line per case:
    <file name> TAB <expected text> TAB <where> TAB <what the case shows>
where <where> is "all" (our reader and the Windows API must both answer so) or "posix" (only our
reader: wine's version.dll itself faults on a block outside the image, inside GetFileVersionInfoA).
The output is the same on every run.
"""
import os
import struct
import sys

FILE_ALIGN = 0x200
SECTION_ALIGN = 0x1000
IMAGE_BASE = 0x10000000

MACHINE_I386 = 0x014C
MACHINE_AMD64 = 0x8664
MACHINE_ARM64 = 0xAA64

RT_ICON = 3
RT_VERSION = 16


def align(n, a):
    return (n + a - 1) // a * a


def version_block(ms, ls, *, key="VS_VERSION_INFO", value_length=52, length=None,
                  signature=0xFEEF04BD):
    """VS_VERSIONINFO: wLength, wValueLength, wType, szKey, padding to 4, VS_FIXEDFILEINFO."""
    key_bytes = (key + "\0").encode("utf-16-le")
    head = 6 + len(key_bytes)
    pad = align(head, 4) - head
    fixed = struct.pack("<13I", signature, 0x00010000, ms, ls, ms, ls, 0x3F, 0, 0x4, 0x2, 0, 0, 0)
    body = key_bytes + b"\0" * pad + fixed[:value_length]
    total = 6 + len(body)
    return struct.pack("<3H", total if length is None else length, value_length, 0) + body


def resource_section(tree, rva):
    """Lays out a three-level resource tree {type: {name: {lang: data}}} at `rva`.

    Returns the section bytes and the offsets of its parts, for the cases that corrupt them:
    offsets["dir", path] of each directory, offsets["data", type, name, lang] of each data entry.
    """
    offsets = {}
    # Directories first (breadth first), then the data entries, then the data.
    dirs = [((), tree)]
    order = []
    while dirs:
        path, node = dirs.pop(0)
        order.append((path, node))
        if len(path) < 2:
            for key in sorted(node):
                dirs.append((path + (key,), node[key]))
    pos = 0
    for path, node in order:
        offsets["dir", path] = pos
        pos += 16 + 8 * len(node)
    leaves = []
    for t in sorted(tree):
        for n in sorted(tree[t]):
            for lang in sorted(tree[t][n]):
                leaves.append((t, n, lang))
    for leaf in leaves:
        offsets[("data",) + leaf] = pos
        pos += 16
    blobs = {}
    for leaf in leaves:
        pos = align(pos, 4)
        blobs[leaf] = pos
        pos += len(tree[leaf[0]][leaf[1]][leaf[2]])
    out = bytearray(pos)
    for path, node in order:
        at = offsets["dir", path]
        struct.pack_into("<IIHHHH", out, at, 0, 0, 4, 0, 0, len(node))
        for i, key in enumerate(sorted(node)):
            child = path + (key,)
            if len(path) < 2:
                target = 0x80000000 | offsets["dir", child]
            else:
                target = offsets[("data",) + child]
            struct.pack_into("<II", out, at + 16 + 8 * i, key, target)
    for leaf in leaves:
        data = tree[leaf[0]][leaf[1]][leaf[2]]
        struct.pack_into("<IIII", out, offsets[("data",) + leaf], rva + blobs[leaf], len(data), 0, 0)
        out[blobs[leaf]:blobs[leaf] + len(data)] = data
    return bytes(out), offsets


def pe_file(tree, *, machine=MACHINE_I386, plus=False, names=(b".rsrc",), patch=None):
    """A PE image whose last section holds the resources; earlier sections hold filler."""
    sections = []
    rva = SECTION_ALIGN
    raw = FILE_ALIGN
    contents = []
    for i, name in enumerate(names):
        last = i == len(names) - 1
        if last and tree is not None:
            data, offsets = resource_section(tree, rva)
        else:
            data, offsets = b"\xCC" * 0x40, {}
        raw_size = align(len(data), FILE_ALIGN)
        sections.append((name, rva, len(data), raw, raw_size, offsets))
        contents.append(data.ljust(raw_size, b"\0"))
        rva += align(len(data), SECTION_ALIGN)
        raw += raw_size
    size_of_image = rva

    opt_size = 240 if plus else 224
    dos = bytearray(64)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 60, 64)
    characteristics = 0x2022 if plus else 0x2102
    coff = struct.pack("<HHIIIHH", machine, len(sections), 0, 0, 0, opt_size, characteristics)
    res = sections[-1] if tree is not None else None
    dirs = [(0, 0)] * 16
    if res is not None:
        dirs[2] = (res[1], res[2])
    common = struct.pack("<BBIII", 14, 0, 0, 0, 0) + struct.pack("<I", 0)  # linker, sizes, entry
    if plus:
        opt = struct.pack("<H", 0x20B) + common + struct.pack("<I", SECTION_ALIGN)  # BaseOfCode
        opt += struct.pack("<QII", IMAGE_BASE, SECTION_ALIGN, FILE_ALIGN)
    else:
        opt = struct.pack("<H", 0x10B) + common + struct.pack("<II", SECTION_ALIGN, SECTION_ALIGN)
        opt += struct.pack("<III", IMAGE_BASE, SECTION_ALIGN, FILE_ALIGN)
    opt += struct.pack("<HHHHHHI", 6, 0, 0, 0, 6, 0, 0)  # OS, image, subsystem versions, Win32
    opt += struct.pack("<IIIHH", size_of_image, FILE_ALIGN, 0, 2, 0x0140)
    if plus:
        opt += struct.pack("<QQQQ", 0x100000, 0x1000, 0x100000, 0x1000)
    else:
        opt += struct.pack("<IIII", 0x100000, 0x1000, 0x100000, 0x1000)
    opt += struct.pack("<II", 0, 16)
    for d in dirs:
        opt += struct.pack("<II", *d)
    assert len(opt) == opt_size, len(opt)
    table = b""
    for name, va, vsize, rawptr, rawsize, _ in sections:
        table += struct.pack("<8sIIIIIIHHI", name, vsize, va, rawsize, rawptr, 0, 0, 0, 0,
                             0x40000040)
    header = (bytes(dos) + b"PE\0\0" + coff + opt + table).ljust(FILE_ALIGN, b"\0")
    image = bytearray(header + b"".join(contents))
    if patch is not None:
        name, va, vsize, rawptr, rawsize, offsets = sections[-1]
        patch(image, rawptr, va, offsets)
    return bytes(image)


def simple(ms, ls, **block):
    return {RT_VERSION: {1: {0x409: version_block(ms, ls, **block)}}}


def put32(image, at, value):
    struct.pack_into("<I", image, at, value)


def put16(image, at, value):
    struct.pack_into("<H", image, at, value)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    cases = []

    def case(name, data, expected, where, what):
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        cases.append((name, expected, where, what))

    v1234 = pe_file(simple(0x00010002, 0x00030004))
    case("v1234.dll", v1234, "1.2.3.4", "all", "a PE32 file of version 1.2.3.4")
    case("v65535.dll", pe_file(simple(0xFFFF0000, 0xFFFF0007), machine=MACHINE_AMD64, plus=True),
         "65535.0.65535.7", "all", "a PE32+ file whose parts of 0xFFFF are written as 65535")
    case("arm64-data-section.dll",
         pe_file(simple(0x00030001, 0x00040001), machine=MACHINE_ARM64, plus=True,
                 names=(b".text", b".data")),
         "3.1.4.1", "all", "an ARM64 file whose resources sit in a second section named .data")
    case("two-sections.dll", pe_file(simple(0x00030001, 0x00040002), names=(b".text", b"rsrc2")),
         "3.1.4.2", "all", "a file whose resources sit in a second section of another name")
    case("no-version.dll", pe_file({RT_ICON: {1: {0x409: b"\0" * 40}}}),
         "0.0.0.0", "all", "a file with resources but no version resource")
    case("no-resources.dll", pe_file(None, names=(b".text",)),
         "0.0.0.0", "all", "a file without a resource directory")
    case("version-id-2.dll", pe_file({RT_VERSION: {2: {0x409: version_block(0x10002, 0x30004)}}}),
         "0.0.0.0", "all", "a file whose version resource has ID 2, not 1")
    case("lang-english.dll",
         pe_file({RT_VERSION: {1: {0x407: version_block(0x90009, 0x90009),
                                   0x409: version_block(0x10004, 0x00009)}}}),
         "1.4.0.9", "all", "US English is taken over another language listed before it")
    case("lang-neutral.dll",
         pe_file({RT_VERSION: {1: {0x000: version_block(0x20000, 0x00001),
                                   0x409: version_block(0x20000, 0x00002)}}}),
         "2.0.0.1", "all", "the language-neutral version is taken over US English")
    case("lang-first.dll",
         pe_file({RT_VERSION: {1: {0x407: version_block(0x70000, 0x00001),
                                   0x40C: version_block(0x70000, 0x00002)}}}),
         "7.0.0.1", "all", "with neither neutral nor US English, the first language is taken")
    case("bad-signature.dll", pe_file(simple(0x50006, 0x70008, signature=0)),
         "5.6.7.8", "all", "the fixed part's signature is not tested, as on Windows")
    case("plain.txt", b"This is a plain text file, not a program.\n" * 4,
         "0.0.0.0", "all", "a plain text file")
    case("empty.bin", b"", "0.0.0.0", "all", "an empty file")
    case("mz-far-lfanew.bin", b"MZ" + b"\0" * 58 + struct.pack("<I", 0xFFFFFFF0),
         "0.0.0.0", "all", "a DOS header whose e_lfanew points far past the end")
    case("truncated-headers.dll", v1234[:150], "0.0.0.0", "all",
         "a file cut inside its optional header")
    block_at = v1234.index("VS_VERSION_INFO".encode("utf-16-le"))
    case("truncated-block.dll", v1234[:block_at + 30], "0.0.0.0", "all",
         "a file cut inside its version block")

    def short_fixed(image, rawptr, va, offsets):
        # The fixed part claims, and the block and resource hold, only 20 of its 52 bytes.
        at = rawptr + offsets["data", RT_VERSION, 1, 0x409]
        block = struct.unpack_from("<I", image, at)[0] - va + rawptr
        put16(image, block, 60)
        put16(image, block + 2, 20)
        put32(image, at + 4, 60)
    case("short-fixed.dll", pe_file(simple(0x10002, 0x30004), patch=short_fixed),
         "0.0.0.0", "all", "a version block whose fixed part is shorter than VS_FIXEDFILEINFO")

    def short_length(image, rawptr, va, offsets):
        at = rawptr + offsets["data", RT_VERSION, 1, 0x409]
        block = struct.unpack_from("<I", image, at)[0] - va + rawptr
        put16(image, block, 40)  # wLength ends the block before its fixed part
    case("short-length.dll", pe_file(simple(0x10002, 0x30004), patch=short_length),
         "1.2.3.4", "all", "a block whose wLength ends before its fixed part: the resource size holds")

    def block_outside(image, rawptr, va, offsets):
        put32(image, rawptr + offsets["data", RT_VERSION, 1, 0x409], va + 0x10000)
    case("block-outside.dll", pe_file(simple(0x10002, 0x30004), patch=block_outside),
         "0.0.0.0", "posix", "a version block that lies outside every section")

    def huge_sizes(image, rawptr, va, offsets):
        at = rawptr + offsets["data", RT_VERSION, 1, 0x409]
        put32(image, at, 0xFFFFFFF0)
        put32(image, at + 4, 0xFFFFFFF0)
    case("huge-sizes.dll", pe_file(simple(0x10002, 0x30004), patch=huge_sizes),
         "0.0.0.0", "posix", "a data entry whose address and size are near 2^32")

    def self_loop(image, rawptr, va, offsets):
        # The name level's entry for ID 1 points back at the root directory.
        put32(image, rawptr + offsets["dir", (RT_VERSION,)] + 16 + 4, 0x80000000)
    case("self-loop.dll", pe_file(simple(0x10002, 0x30004), patch=self_loop),
         "0.0.0.0", "all", "a resource directory that points back at the root")

    def huge_count(image, rawptr, va, offsets):
        put16(image, rawptr + 12, 0xFFFF)  # named entries, none of them there
        put16(image, rawptr + 14, 0xFFFF)
    case("huge-count.dll", pe_file(simple(0x10002, 0x30004), patch=huge_count),
         "0.0.0.0", "all", "a root directory that claims 131070 entries")

    def bad_key(image, rawptr, va, offsets):
        at = rawptr + offsets["data", RT_VERSION, 1, 0x409]
        block = struct.unpack_from("<I", image, at)[0] - va + rawptr
        put16(image, block + 6 + 2 * 14, ord("X"))
    case("other-key.dll", pe_file(simple(0x10002, 0x30004), patch=bad_key),
         "1.2.3.4", "all", "the block's key is not tested, as on Windows")

    with open(os.path.join(out, "cases.txt"), "w") as f:
        for row in cases:
            f.write("\t".join(row) + "\n")


if __name__ == "__main__":
    main()
