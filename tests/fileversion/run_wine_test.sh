#!/usr/bin/env bash
# Runs the wine test program of one Windows build headless in a fresh wine prefix.
# Usage: run_wine_test.sh WINE_LOADER TEST_EXE FIXTURES_DIR
# Exits 77 (skipped) when wine is missing or cannot run programs of this kind on this machine.
set -uo pipefail
loader=$1 exe=$2 fixtures=$3
if [ -z "$loader" ] || ! command -v "$loader" >/dev/null 2>&1; then
  echo "wine is not installed: skipped"
  exit 77
fi
prefix=$(mktemp -d /tmp/pellimor-wine-XXXXXX)
logs=$(mktemp -d /tmp/pellimor-wine-logs-XXXXXX)
export WINEPREFIX=$prefix WINEDEBUG=-all LANG=C WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix" "$logs"
}
trap cleanup EXIT

if ! "$loader" "$exe" --probe >"$logs/probe.out" 2>"$logs/probe.err" ||
   ! grep -q '^ready' "$logs/probe.out"; then
  echo "wine ($loader) cannot run $(basename "$exe") on this machine: skipped"
  tail -n 3 "$logs/probe.err"
  exit 77
fi
"$loader" "$exe" "$fixtures" >"$logs/test.out" 2>"$logs/test.err"
rc=$?
cat "$logs/test.out"
# A pass needs the program's own last word, not only a zero exit from the loader.
if [ $rc -ne 0 ] || [ "$(tail -n 1 "$logs/test.out" | tr -d '\r')" != "all passed" ]; then
  tail -n 20 "$logs/test.err"
  exit 1
fi
