#!/usr/bin/env bash
# The version lookup side by side: our C++ entry point, the syscall floor, the JVM, pefile.
#   bench/fileversion/run.sh [build-dir]     BENCH_SMOKE=1 for a quick pass
# The PE files are wine's DLLs (a small and a large one); where wine is not installed, the
# wine64 package is fetched with apt-get download and unpacked under the build folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
calls=20000 pycalls=20
if [ "${BENCH_SMOKE:-0}" = 1 ]; then calls=200 pycalls=2; fi

dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
if [ ! -f "$dlls/mshtml.dll" ]; then
  cache="$build/bench/fileversion/pe-cache"
  if [ ! -d "$cache/root" ]; then
    mkdir -p "$cache" && (cd "$cache" && apt-get download wine64 >/dev/null && dpkg-deb -x wine64_*.deb root)
  fi
  dlls="$cache/root/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
fi
small="$dlls/d3d8thk.dll" large="$dlls/mshtml.dll"
# The small DLL again behind 60 MB of overlay (bytes the loader never maps): the same layout at
# a thousand times the size, so that only the size differs.
padded="$build/bench/fileversion/d3d8thk-60MB-overlay.dll"
if [ ! -f "$padded" ]; then
  cp "$small" "$padded" && head -c $((60 << 20)) /dev/urandom >>"$padded"
fi

echo "--- C++ entry point (GetFileVersionParts) and the floor of the same system calls"
"$build/bench/fileversion/fileversion_bench" --calls "$calls" "$small" "$padded" "$large"
echo "--- through the JVM (RadidOdiDLLDlg.GetFileVersionInfoDLL)"
java -Dpellimor.library="$build/fileversion/libPellimor.so" -cp "$build/bench/fileversion/classes" \
  VersionBench "$calls" "$small" "$padded" "$large"
echo "--- python3-pefile $(/usr/bin/python3 -c 'import pefile; print(pefile.__version__)')"
/usr/bin/python3 "$here/pefile_bench.py" --calls "$pycalls" "$small" "$padded" "$large"
