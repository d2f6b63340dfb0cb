#!/usr/bin/env bash
# Runs the benchmarks and prints their figures.  bench/run-all.sh [build-dir] [camera|fileversion|all]
# BENCH_SMOKE=1 makes every benchmark a quick pass (CI); TRIM_DIR picks where the large logs go.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
which=${2:-all}
echo "machine: $(uname -srm), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
if [ "$which" = camera ] || [ "$which" = all ]; then
  "$build/bench/camera/log_bench"
  "$build/bench/camera/trim_bench" "${TRIM_DIR:-/tmp}"
  "$build/bench/camera/calls_bench"
fi
if [ "$which" = fileversion ] || [ "$which" = all ]; then
  if [ -x "$here/fileversion/run.sh" ]; then
    "$here/fileversion/run.sh" "$build"
  fi
fi
