#!/usr/bin/env python3
"""The udev rule: hidraw nodes of exactly the two cameras the library knows, uaccess, lowercase
hex ids (udev compares the sysfs text, which is lowercase), a file that sorts before
73-seat-late.rules. Usage: check_udev_rule.py RULES_FILE CAMERA_HEADER"""
import os
import re
import sys

rules_path, header_path = sys.argv[1], sys.argv[2]
failures = []

# The identities as the library holds them.
header = open(header_path, encoding="utf-8").read()
ids = {name: int(value, 16) for name, value in
       re.findall(r"constexpr unsigned short k(\w+) = 0x([0-9A-Fa-f]+);", header)}
cameras = {(f"{ids['PanasonicVendor']:04x}", f"{ids['PanasonicProduct']:04x}"),
           (f"{ids['SomiaVendor']:04x}", f"{ids['SomiaProduct']:04x}")}

name = os.path.basename(rules_path)
number = re.match(r"(\d+)-.*\.rules$", name)
if not number or int(number.group(1)) >= 73:
    failures.append(f"{name}: the number must sort before 73 (73-seat-late.rules applies uaccess)")

pair = re.compile(r'\s*([A-Za-z]+(?:\{[^}]*\})?)\s*(==|!=|\+=|-=|:=|=)\s*"([^"]*)"\s*(?:,|$)')
matched = set()
for lineno, line in enumerate(open(rules_path, encoding="utf-8"), 1):
    line = line.strip()
    if not line or line.startswith("#"):
        continue
    keys, pos = {}, 0
    while pos < len(line):
        m = pair.match(line, pos)
        if not m:
            failures.append(f"line {lineno}: cannot parse from column {pos + 1}: {line[pos:]}")
            break
        keys[(m.group(1), m.group(2))] = m.group(3)
        pos = m.end()
    vendor = keys.get(("ATTRS{idVendor}", "=="))
    product = keys.get(("ATTRS{idProduct}", "=="))
    if keys.get(("SUBSYSTEM", "==")) != "hidraw":
        failures.append(f"line {lineno}: must match SUBSYSTEM==\"hidraw\"")
    if keys.get(("TAG", "+=")) != "uaccess":
        failures.append(f"line {lineno}: must add TAG+=\"uaccess\"")
    for what, value in (("idVendor", vendor), ("idProduct", product)):
        if value is None or not re.fullmatch(r"[0-9a-f]{4}", value):
            failures.append(f"line {lineno}: {what} must be four lowercase hex digits, is {value!r}")
    if (vendor, product) not in cameras:
        failures.append(f"line {lineno}: {vendor}:{product} is not one of the cameras")
    matched.add((vendor, product))

for vendor, product in sorted(cameras - matched):
    failures.append(f"no rule for the camera {vendor}:{product}")
for f in failures:
    print("FAIL", f)
sys.exit(1 if failures else 0)
