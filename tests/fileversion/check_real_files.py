#!/usr/bin/env python3
"""Cross-checks our reader against python3-pefile on real PE files from Debian packages.

Usage: check_real_files.py PROBE [FILE...]
Without files, takes a fixed sample of wine's and mingw-w64's DLLs that are on this machine.
Exits 77 (skipped) when pefile or every sample file is missing.
"""
import glob
import os
import subprocess
import sys

try:
    import pefile
except ImportError:
    print("python3-pefile is not installed: skipped")
    sys.exit(77)

SAMPLES = [
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/version.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/kernel32.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mshtml.dll",
    "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/notepad.exe",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/version.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/shell32.dll",
    "/usr/lib/i386-linux-gnu/wine/i386-windows/winecfg.exe",
] + sorted(glob.glob("/usr/lib/gcc/*-w64-mingw32/*/*.dll"))[:6] + [
    "/usr/i686-w64-mingw32/lib/libwinpthread-1.dll",
]

RT_VERSION = 16


def pefile_version(path):
    """The version from pefile, when the file has exactly one version resource with ID 1."""
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    langs = []
    for t in getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None) and pe.DIRECTORY_ENTRY_RESOURCE.entries or []:
        if t.id != RT_VERSION:
            continue
        for n in t.directory.entries:
            if n.id == 1:
                langs = n.directory.entries
    if not langs:
        return "0.0.0.0"
    if len(langs) != 1:
        return None  # pefile takes the first language, Windows may take another: not comparable
    pe.parse_version_information(langs[0].data.struct)
    fixed = pe.VS_FIXEDFILEINFO[0]
    ms, ls = fixed.FileVersionMS, fixed.FileVersionLS
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def main():
    probe = sys.argv[1]
    files = [f for f in (sys.argv[2:] or SAMPLES) if os.path.isfile(f)]
    if not files:
        print("none of the sample PE files is on this machine: skipped")
        sys.exit(77)
    out = subprocess.run([probe] + files, check=True, capture_output=True, text=True).stdout
    ours = dict(reversed(line.split("\t", 1)) for line in out.splitlines())
    failures = compared = 0
    for f in files:
        expected = pefile_version(f)
        if expected is None:
            print(f"not compared (several languages): {f}")
            continue
        compared += 1
        mark = "ok  " if ours[f] == expected else "FAIL"
        failures += ours[f] != expected
        print(f"{mark} {ours[f]:>20} pefile {expected:>20}  {f}")
    print(f"{compared} compared, {failures} differ")
    sys.exit(1 if failures or compared == 0 else 0)


if __name__ == "__main__":
    main()
