#!/usr/bin/env bash
# Builds the Debian package from the build tree, installs it with dpkg, runs the tool and the
# Java example from the installed places against the simulated camera, and removes and purges
# it again, checking that nothing is left. Needs root (skipped otherwise, exit 77).
#   check_deb.sh BUILD_DIR WORK FIXTURES_DIR
set -uo pipefail
build=$1 work=$2 fixtures=$3
pkg=nembrel
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing a package needs root"; exit 77
fi
if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'installed'; then
  echo "skipped: $pkg is already installed on this machine; not touching it"; exit 77
fi
rm -rf "$work" && mkdir -p "$work/run" || exit 1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
installed=0
cleanup() { [ "$installed" -eq 1 ] && dpkg --purge "$pkg" >/dev/null 2>&1; }
trap cleanup EXIT

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$work"/out/${pkg}_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "FAIL: no .deb built"; exit 1; }

[ "$(dpkg-deb -f "$deb" Version)" = 1.1.0 ] || fail "version is $(dpkg-deb -f "$deb" Version)"
dpkg-deb -f "$deb" Depends | grep -q libhidapi-hidraw0 || fail "no dependency on libhidapi-hidraw0"
contents=$(dpkg-deb -c "$deb")
for f in usr/bin/nembrel-camera usr/lib/libNembrel.so usr/lib/libPellimor.so \
         usr/lib/nembrel/libsimcamera.so usr/lib/udev/rules.d/70-nembrel-camera.rules \
         usr/share/java/nembrel-1.1.0.jar usr/share/java/nembrel.jar; do
  grep -q " \./$f\( \|$\)" <<<"$contents" || fail "the package lacks /$f"
done

dpkg -i "$deb" >"$work/install.log" 2>&1 || { cat "$work/install.log"; echo "FAIL: dpkg -i"; exit 1; }
installed=1
files=$(dpkg -L "$pkg")

# The installed tool finds the installed libraries and its simulated camera.
cd "$work/run" || exit 1
ldd /usr/bin/nembrel-camera | grep -Eq '=> /usr(/bin/\.\.)?/lib/libNembrel\.so ' ||
  fail "the installed tool does not load /usr/lib/libNembrel.so: $(ldd /usr/bin/nembrel-camera)"
out=$(/usr/bin/nembrel-camera --simulate=panasonic session 2>&1) || fail "installed session failed: $out"
grep -Eq '^unselect +0' <<<"$out" || fail "installed session did not reach the release: $out"
out=$(/usr/bin/nembrel-camera version "$fixtures/v1234.dll" 2>&1)
[ "$out" = 1.2.3.4 ] || fail "installed version gave '$out'"
# The Java example with both libraries loaded by name from the JVM's default library path.
if command -v java >/dev/null; then
  out=$(LD_PRELOAD=/usr/lib/nembrel/libsimcamera.so SIMCAM=somia \
        java -jar /usr/share/java/nembrel.jar "$fixtures/v1234.dll" 2>&1) ||
    fail "installed Java example failed: $out"
  grep -q '= 1.2.3.4$' <<<"$out" || fail "installed Java example gave no version: $out"
fi
cd / || exit 1

dpkg -r "$pkg" >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "dpkg -r"; }
while read -r f; do
  [ -n "$f" ] && [ ! -d "$f" ] && [ -e "$f" ] && fail "$f is left after dpkg -r"
done <<<"$files"
dpkg --purge "$pkg" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge"; }
installed=0
if dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'installed'; then
  fail "$pkg is still known to dpkg after the purge"
fi
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package installs, runs and removes cleanly"
