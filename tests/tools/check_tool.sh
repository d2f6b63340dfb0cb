#!/usr/bin/env bash
# nembrel-camera from the outside: what it prints and the exit codes scripts rely on.
#   check_tool.sh TOOL SIMCAMERA_LIB OPEN_FAILS_LIB FIXTURES_DIR WORK CASES
# CASES: panasonic | somia (the simulated models), none (no camera), cli (help, usage, version).
set -uo pipefail
tool=$1 simlib=$2 failopens=$3 fixtures=$4 work=$5 cases=$6
# The tool runs itself again with the simulated camera preloaded; a sanitizer build must let
# that library come first.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0

# expect RC 'PATTERN|PATTERN...' -- COMMAND...: the exit code, and each extended regular
# expression matching some line of stdout+stderr.
expect() {
  local rc=$1 patterns=$2; shift 3
  local out got
  out=$("$@" 2>&1); got=$?
  if [ "$got" -ne "$rc" ]; then
    echo "FAIL ($*): exit code $got, expected $rc"; echo "$out" | sed 's/^/    /'
    failures=$((failures + 1)); return
  fi
  local IFS='|'
  for p in $patterns; do
    if ! grep -Eq -- "$p" <<<"$out"; then
      echo "FAIL ($*): no line matches '$p'"; echo "$out" | sed 's/^/    /'
      failures=$((failures + 1))
    fi
  done
}

camera_cases() {
  local m=$1 vid pid order
  if [ "$m" = panasonic ]; then vid=04da pid=091a order=2; else vid=301c pid=da11 order=1002; fi
  local sim=(--simulate="$m")
  expect 0 "^\*  2 $vid   $pid    0xff00 +/dev/hidraw1|^   1 046d   c52b    0x0001|init\(\) gives $order\." \
    -- "$tool" "${sim[@]}" list
  expect 0 "^init +$order  |^selectDevice +1  connected to /dev/hidraw1|^openDevice +1  powered on|^getStatus +-?[0-9]+  |^toggleLight +2  written|^toggleZoom +2  written|^freeze +0  written|^unfreeze +0  written|^save +0  written|^resume +1  sent|^unselect +0  camera powered off|^log: $work/HIDWrapperJ.log" \
    -- "$tool" "${sim[@]}" session
  tail -n 1 HIDWrapperJ.log | grep -q $'\tClose logfile.$' ||
    { echo "FAIL: the session's log does not end with its release"; failures=$((failures + 1)); }
  # Each single command brings the camera up first, and names what it did.
  expect 0 "^openDevice +1|^getStatus +-?[0-9]+  .*status 0x[0-9a-f]{2} \(power" -- "$tool" "${sim[@]}" status
  expect 0 "^toggleLight +2  written" -- "$tool" "${sim[@]}" light
  expect 0 "^toggleZoom +2  written; status 0x[0-9a-f]{2} \(.*zoom" -- "$tool" "${sim[@]}" zoom
  expect 0 "^freeze +0  written" -- "$tool" "${sim[@]}" freeze
  expect 0 "^unfreeze +0  written" -- "$tool" "${sim[@]}" unfreeze
  expect 0 "^save +0  written" -- "$tool" "${sim[@]}" save
  expect 0 "^resume +1  sent" -- "$tool" "${sim[@]}" resume
  expect 0 "^selectDevice +1|^unselect +0  camera powered off" -- "$tool" "${sim[@]}" release
  if "$tool" "${sim[@]}" release 2>&1 | grep -q '^openDevice'; then
    echo "FAIL: release powered the camera on first"; failures=$((failures + 1))
  fi
  # A camera that is there but does not open: exit 4 and a reason for the node it tried.
  expect 4 "^selectDevice +0  could not open|/dev/hidraw1 " \
    -- env LD_PRELOAD="$simlib:$failopens" SIMCAM="$m" "$tool" session
  expect 4 "^selectDevice +0  could not open" \
    -- env LD_PRELOAD="$simlib:$failopens" SIMCAM="$m" "$tool" light
}

no_camera_cases() {
  # Without --simulate the tool takes the devices as they are: here the simulated list.
  local sim=(env LD_PRELOAD="$simlib")
  expect 3 "^No HID devices" -- "${sim[@]}" SIMCAM=none "$tool" list
  expect 3 "^init +0  no HID devices|is it plugged in" -- "${sim[@]}" SIMCAM=none "$tool" session
  expect 3 "^init +0  " -- "${sim[@]}" SIMCAM=none "$tool" light
  expect 3 "^   1 046d|1 HID device\(s\), none of them a camera" -- "${sim[@]}" SIMCAM=other "$tool" list
  expect 3 "^init +-1  HID devices, but no Panasonic or Somia camera" -- "${sim[@]}" SIMCAM=other "$tool" session
  expect 3 "^init +-1  " -- "${sim[@]}" SIMCAM=other "$tool" release
}

cli_cases() {
  local cmd
  for cmd in list session status light zoom freeze unfreeze save resume release version help; do
    expect 0 "^  $cmd " -- "$tool" --help
  done
  expect 0 "^Exit codes:|^  3  no camera found|^  4  a camera was found but could not be opened|--simulate=MODEL" -- "$tool" -h
  expect 2 "no command given" -- "$tool"
  expect 2 "unknown command 'frob'" -- "$tool" frob
  expect 2 "unknown option '--frob'" -- "$tool" --frob list
  expect 2 "'version' takes one path" -- "$tool" version
  expect 2 "'light' takes no argument" -- "$tool" light now
  expect 2 "--simulate takes panasonic or somia" -- "$tool" --simulate=both list
  expect 0 "^1\.2\.3\.4$" -- "$tool" version "$fixtures/v1234.dll"
  expect 0 "^65535\.0\.65535\.7$" -- "$tool" version "$fixtures/v65535.dll"
  expect 1 "^0\.0\.0\.0$|holds no readable version" -- "$tool" version "$fixtures/no-version.dll"
  expect 1 "^0\.0\.0\.0$|no such file" -- "$tool" version "$work/missing.dll"
  # A path the host could not hand over (a character above U+00FF) has no version either.
  cp "$fixtures/v1234.dll" "$work/ωmega.dll"
  expect 1 "^0\.0\.0\.0$" -- "$tool" version "$work/ωmega.dll"
  # A copy of the tool with no simulated camera beside it says so.
  mkdir -p "$work/alone/bin" && cp "$tool" "$work/alone/bin/"
  expect 5 "simulated camera \(libsimcamera.so\) was not found" -- "$work/alone/bin/$(basename "$tool")" --simulate=somia list
}

case $cases in
  panasonic|somia) camera_cases "$cases" ;;
  none) no_camera_cases ;;
  cli) cli_cases ;;
  *) echo "unknown cases '$cases'"; exit 2 ;;
esac
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed ($cases)"
