#!/usr/bin/env bash
# The camera library on the real Linux HID stack: builds an initramfs with busybox, the HID
# modules of Debian's cloud kernel, virtual-camera and realstack-driver (with the shared
# libraries it needs: libNembrel.so, the real hidapi-hidraw, libudev, ...), boots that kernel
# under qemu's software emulation and reads one PASS/FAIL line per case from its console.
#
#   run-realstack.sh --work DIR --camera VIRTUAL_CAMERA --driver REALSTACK_DRIVER [--cases "A B"]
#
# DIR keeps the downloaded kernel package (DIR/cache, reused), the image and the console log.
# Exit codes: 0 every case passed, 1 a case failed or the guest did not finish, 77 skipped
# (no qemu, no static busybox, or no kernel package to be had).
set -euo pipefail

work= camera= driver=
cases="panasonic somia somia-notice somia-notice7 unplug-open unplug-commands"
while [ $# -gt 0 ]; do
  case $1 in
    --work) work=$2; shift 2 ;;
    --camera) camera=$2; shift 2 ;;
    --driver) driver=$2; shift 2 ;;
    --cases) cases=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$work" ] && [ -x "$camera" ] && [ -x "$driver" ] || { echo "usage: $0 --work DIR --camera BIN --driver BIN" >&2; exit 2; }

skip() { echo "SKIPPED: $*"; exit 77; }

qemu=$(command -v qemu-system-x86_64 || true)
[ -n "$qemu" ] || skip "qemu-system-x86_64 not installed (Debian package qemu-system-x86)"
busybox=$(command -v busybox || true)
[ -n "$busybox" ] || skip "busybox not installed (Debian package busybox-static)"
if ldd "$busybox" >/dev/null 2>&1; then
  skip "$busybox is linked dynamically; the image needs busybox-static"
fi

mkdir -p "$work/cache"
work=$(cd "$work" && pwd)
cache=$work/cache

# ---- the kernel: the package that linux-image-cloud-amd64 depends on, downloaded once.
kernel_package() {
  apt-cache depends linux-image-cloud-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }' || true
}
pkg=$(kernel_package)
if [ -z "$pkg" ] && [ "$(id -u)" -eq 0 ] && ! ls "$cache"/linux-image-*.deb >/dev/null 2>&1; then
  # A machine whose package lists were never fetched (scripts/deps.sh fetches them only when
  # it installs something).
  timeout 120 apt-get update -qq >/dev/null 2>&1 || true
  pkg=$(kernel_package)
fi
deb=
if [ -n "$pkg" ]; then
  deb=$(ls "$cache/${pkg}"_*.deb 2>/dev/null | head -n1 || true)
  if [ -z "$deb" ]; then
    echo "downloading $pkg"
    (cd "$cache" && apt-get download -q "$pkg" 2>&1 | grep -v "^W: Download is performed unsandboxed" || true)
    deb=$(ls "$cache/${pkg}"_*.deb 2>/dev/null | head -n1 || true)
  fi
fi
if [ -z "$deb" ]; then
  # No package list or no mirror: an earlier download will do.
  deb=$(ls -t "$cache"/linux-image-*-cloud-amd64_*.deb 2>/dev/null | head -n1 || true)
fi
[ -n "$deb" ] || skip "no kernel package: apt-get download ${pkg:-the kernel of linux-image-cloud-amd64} failed (no network or no apt lists)"

kdir=$cache/$(basename "$deb" .deb)
if [ ! -f "$kdir/.unpacked" ]; then
  rm -rf "$kdir"
  dpkg-deb -x "$deb" "$kdir"
  touch "$kdir/.unpacked"
fi
vmlinuz=$(ls "$kdir"/boot/vmlinuz-* | head -n1)

# ---- the initramfs.
root=$work/root
rm -rf "$root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,cases,lib/modules}
cp "$busybox" "$root/bin/busybox"
for m in hid hid-generic uhid; do
  ko=$(find "$kdir/lib/modules" \( -name "$m.ko" -o -name "$m.ko.xz" -o -name "$m.ko.zst" \) | head -n1)
  [ -n "$ko" ] || { echo "FAIL: module $m not in $deb"; exit 1; }
  case $ko in
    *.xz) xz -dc "$ko" >"$root/lib/modules/$m.ko" ;;   # busybox insmod cannot read .ko.xz
    *.zst) zstd -dcq "$ko" >"$root/lib/modules/$m.ko" ;;
    *) cp "$ko" "$root/lib/modules/$m.ko" ;;
  esac
done
cp "$camera" "$root/bin/virtual-camera"
cp "$driver" "$root/bin/realstack-driver"
if ldd "$camera" >/dev/null 2>&1; then
  echo "FAIL: $camera is not a static binary"; exit 1
fi
# Every shared library of the driver, at the path where the loader looks for it (RUNPATH
# included, so libNembrel.so lands where the build put it), plus the loader itself.
ldd "$driver" | awk '/=> \// { print $3 } /^\t\/[^ ]+ \(/ { print $1 }' | while read -r lib; do
  mkdir -p "$root$(dirname "$lib")"
  cp -L "$lib" "$root$lib"
done
if ldd "$driver" | grep -q "not found"; then
  echo "FAIL: a library of $driver is missing:"; ldd "$driver"; exit 1
fi

cat >"$root/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
for m in hid hid-generic uhid; do
  insmod /lib/modules/$m.ko || echo "REALSTACK FAIL insmod $m"
done
echo "REALSTACK kernel $(uname -r)"
for c in @CASES@; do
  mkdir -p /cases/$c
  (cd /cases/$c && /bin/realstack-driver $c --camera /bin/virtual-camera) || echo "REALSTACK FAIL $c (exit $?)"
done
dmesg | grep -iE "hid|uhid" | sed "s/^/dmesg| /"
echo "REALSTACK DONE"
poweroff -f
EOF
sed -i "s/@CASES@/$cases/" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | "$busybox" cpio -o -H newc -R 0:0 2>/dev/null) | gzip -1 >"$work/initrd.gz"

# ---- boot.
console=$work/console.log
echo "booting $(basename "$vmlinuz") with $(du -h "$work/initrd.gz" | cut -f1) of initramfs; cases: $cases"
start=$(date +%s)
set +e
timeout 120 "$qemu" -M pc -accel tcg -cpu max -smp 1 -m 256 \
  -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
  -append "console=ttyS0 panic=-1 quiet rdinit=/init" \
  -nodefaults -display none -serial stdio -no-reboot </dev/null >"$console" 2>&1
rc=$?
set -e
tr -d '\r' <"$console" >"$console.txt"
cat "$console.txt"
echo "qemu exit $rc after $(( $(date +%s) - start )) s"

pass=0 fail=0
for c in $cases; do
  if grep -qx "REALSTACK PASS $c" "$console.txt"; then
    echo "PASS $c"; pass=$((pass + 1))
  else
    echo "FAIL $c"; fail=$((fail + 1))
  fi
done
if ! grep -qx "REALSTACK DONE" "$console.txt"; then
  echo "FAIL: the guest did not finish (qemu exit $rc)"; fail=$((fail + 1))
fi
if grep -q "^REALSTACK FAIL" "$console.txt"; then
  fail=$((fail + 1))
fi
echo "realstack: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
