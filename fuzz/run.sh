#!/usr/bin/env bash
# Builds the PE reader's fuzzer with clang and libFuzzer (ASan + UBSan) and runs it.
#   fuzz/run.sh [seconds] [build-dir]     default: 60 s, build/fuzz
# First every input in fuzz/regressions/ is run once (each must pass), then the fuzzer starts
# from fuzz/corpus/ plus the regressions for the given time. New inputs go to a scratch corpus
# in the build folder, never into the repository; a crash leaves its input there as crash-*:
# copy it into fuzz/regressions/ once the fault is fixed. A long run: fuzz/run.sh 3600
# Exit 77 (skipped) when clang or its fuzzer runtime is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seconds=${1:-60}
out=${2:-$here/../build/fuzz}
cxx=${FUZZ_CXX:-$(command -v clang++ || command -v clang++-14 || true)}
if [ -z "$cxx" ]; then
  echo "clang++ is not installed: fuzzing skipped"; exit 77
fi
mkdir -p "$out"
bin="$out/pe_reader_fuzzer"
if ! "$cxx" -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
     -I"$here/../fileversion" "$here/pe_reader_fuzzer.cpp" "$here/../fileversion/PeVersionReader.cpp" \
     -o "$bin" 2>"$out/build.log"; then
  if grep -q -E "libclang_rt.fuzzer|cannot find -l|fuzzer.*not found" "$out/build.log"; then
    echo "clang's fuzzer runtime (libclang-rt-14-dev) is not installed: fuzzing skipped"; exit 77
  fi
  cat "$out/build.log" >&2; exit 1
fi

shopt -s nullglob
regressions=("$here"/regressions/*)
if [ ${#regressions[@]} -gt 0 ]; then
  "$bin" -runs=1 "${regressions[@]}" >"$out/regressions.log" 2>&1 || { cat "$out/regressions.log" >&2; exit 1; }
  echo "regressions: ${#regressions[@]} inputs pass"
fi

work="$out/corpus"
mkdir -p "$work"
cd "$out"
"$bin" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 -max_len=65536 -print_final_stats=1 \
  "$work" "$here/corpus" "$here/regressions" >"$out/fuzz.log" 2>&1 || { tail -40 "$out/fuzz.log" >&2; exit 1; }
grep -E "^#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb|stat::new_units_added" "$out/fuzz.log" || true
last=$(grep -E "cov: [0-9]+" "$out/fuzz.log" | tail -1)
echo "final: $last"
