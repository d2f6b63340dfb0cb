#!/usr/bin/env bash
# The main job: the reference Java host (java/example) runs a whole camera session against the
# simulated camera (or a real camera with --real), printing each result, a file's version and
# the log the camera library wrote.
#   scripts/run-session.sh [panasonic|somia] [--real]
set -euo pipefail
cd "$(dirname "$0")/.."
model=panasonic real=0
for a in "$@"; do
  case $a in
    panasonic|somia) model=$a ;;
    --real) real=1 ;;
    *) echo "usage: $0 [panasonic|somia] [--real]" >&2; exit 2 ;;
  esac
done
scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
top=$PWD
work=$(mktemp -d /tmp/nembrel-session-XXXXXX)
env=()
if [ "$real" -eq 0 ]; then
  env=(LD_PRELOAD="$top/$build/simulated-camera/libsimcamera.so" SIMCAM="$model")
fi
# A small PE file of version 1.2.3.4 from the tests' fixtures, for the version library.
versioned="$top/$build/tests/fileversion/fixtures/v1234.dll"
rc=0
(cd "$work" && env "${env[@]}" java -Dnembrel.library="$top/$build/camera/libNembrel.so" \
   -Dpellimor.library="$top/$build/fileversion/libPellimor.so" \
   -jar "$top/$build/java/nembrel.jar" "$versioned") || rc=$?
echo "--- $work/HIDWrapperJ.log"
cat "$work/HIDWrapperJ.log"
exit "$rc"
