#!/usr/bin/env python3
"""The same lookup with python3-pefile: fast_load plus the resource directory, and a full parse.

Usage: pefile_bench.py [--calls N] [FILE...]   (Debian's pefile: run it with /usr/bin/python3)
pefile maps the whole file; "bytes" is the file's size, what it may touch.
"""
import os
import sys
import time

import pefile

FILES = [
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/version.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mshtml.dll",
]


def version(path, full=False):
    if full:
        pe = pefile.PE(path)
    else:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    if not hasattr(pe, "VS_FIXEDFILEINFO"):
        return "0.0.0.0"
    f = pe.VS_FIXEDFILEINFO[0]
    pe.close()
    return f"{f.FileVersionMS >> 16}.{f.FileVersionMS & 0xFFFF}.{f.FileVersionLS >> 16}.{f.FileVersionLS & 0xFFFF}"


def main():
    args = sys.argv[1:]
    calls = 20
    if args[:1] == ["--calls"]:
        calls, args = int(args[1]), args[2:]
    files = [f for f in (args or FILES) if os.path.isfile(f)]
    print(f"{'size':<12} {'fast us/call':>14} {'full us/call':>14} {'bytes/call':>12} {'version':>16}  file")
    for path in files:
        start = time.perf_counter()
        for _ in range(calls):
            v = version(path)
        fast = (time.perf_counter() - start) / calls * 1e6
        # The full parse is slow on a large file: fewer rounds, at least one.
        full_calls = max(1, calls // 10)
        start = time.perf_counter()
        for _ in range(full_calls):
            version(path, full=True)
        full = (time.perf_counter() - start) / full_calls * 1e6
        size = os.path.getsize(path)
        print(f"{size:<12} {fast:>14.1f} {full:>14.1f} {size:>12} {v:>16}  {path}")


if __name__ == "__main__":
    main()
