#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, skipping those already there.
# Runs apt-get as root, or through sudo; on a machine with everything present it does nothing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  dpkg-dev file
  libhidapi-dev
  googletest libgtest-dev libbenchmark-dev
  openjdk-17-jdk-headless
  python3 python3-pefile
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
  clang libclang-rt-14-dev
  qemu-system-x86 busybox-static
  wine wine64 wine32:i386
)

need_i386=0
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
    [[ $p == *:i386 ]] && need_i386=1
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null; then
  SUDO=(sudo)
else
  echo "missing Debian packages: ${missing[*]}" >&2
  echo "run this script as root (or install sudo) to install them" >&2
  exit 1
fi

echo "installing: ${missing[*]}"
if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${SUDO[@]}" dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
# The 32-bit wine is a nicety for the DLL test: if it cannot be had, that test says so.
core=() optional=()
for p in "${missing[@]}"; do
  case $p in wine*|qemu-system-x86|busybox-static) optional+=("$p") ;; *) core+=("$p") ;; esac
done
if [ ${#core[@]} -gt 0 ]; then
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${core[@]}"
fi
if [ ${#optional[@]} -gt 0 ]; then
  "${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${optional[@]}" ||
    echo "warning: could not install ${optional[*]}; the tests that need them will be skipped" >&2
fi
