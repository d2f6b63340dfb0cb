#!/usr/bin/env bash
# Line and branch coverage of the PE reader reached by a corpus (default: the one fuzz/run.sh
# grew in build/fuzz/corpus, plus the seeds and the regressions).
#   fuzz/coverage.sh [corpus-dir] [out-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
corpus=${1:-$here/../build/fuzz/corpus}
out=${2:-$here/../build/fuzz/coverage}
mkdir -p "$out"
clang++ -std=c++17 -O0 -g -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping \
  -I"$here/../fileversion" "$here/pe_reader_fuzzer.cpp" "$here/../fileversion/PeVersionReader.cpp" \
  -o "$out/pe_reader_cov"
LLVM_PROFILE_FILE="$out/pe.profraw" "$out/pe_reader_cov" -runs=0 "$corpus" "$here/corpus" "$here/regressions" \
  >"$out/run.log" 2>&1
llvm-profdata merge -sparse "$out/pe.profraw" -o "$out/pe.profdata"
llvm-cov report "$out/pe_reader_cov" -instr-profile="$out/pe.profdata" "$here/../fileversion/PeVersionReader.cpp"
