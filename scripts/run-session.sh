#!/usr/bin/env bash
# The main job: a whole camera session from a Java host against the simulated camera (or a
# real camera with --real), printing each result and the log it wrote.
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
work=$(mktemp -d /tmp/nembrel-session-XXXXXX)
classes="$build/tests/java/classes"
env=()
if [ "$real" -eq 0 ]; then
  env=(LD_PRELOAD="$PWD/$build/simulated-camera/libsimcamera.so" SIMCAM="$model")
fi
(cd "$work" && env "${env[@]}" java -Dnembrel.library="$OLDPWD/$build/camera/libNembrel.so" \
   -cp "$OLDPWD/$classes" CameraHostTest "$model")
echo "--- $work/HIDWrapperJ.log"
cat "$work/HIDWrapperJ.log"
