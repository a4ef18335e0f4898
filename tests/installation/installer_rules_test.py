#!/usr/bin/env python3
"""The installer generator's checks against the table of cases that the
plug-in's installation module is tested on (installation_rules_test.cpp).

Usage: installer_rules_test.py installation_cases.tsv
"""

import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging"))
import make_installer  # noqa: E402


def unescaped(text):
    """The value as a product file in UTF-8 gives it: \\xHH stands for one byte."""
    raw = re.sub(rb"\\x([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]), text.encode())
    return raw.decode("utf-8")


def verdict(kind, value):
    if kind == "name":
        return "ok" if make_installer.effect_name_problem(value) is None else "refused"
    if kind == "guid":
        return "ok" if make_installer.guid_problem(value) is None else "refused"
    if kind == "id":
        number = make_installer.parse_id(value)
        return "refused" if number is None or number == 0 else str(number)
    if kind == "channels":
        return "ok" if make_installer.count_problem(value, make_installer.MAX_CHANNELS) is None else "refused"
    if kind == "index":
        return "ok" if make_installer.count_problem(value, make_installer.MAX_PROCESS_INDEX) is None else "refused"
    if kind == "vendor":
        return "ok" if make_installer.vendor_problem(value) is None else "refused"
    if kind == "vendorversion":
        number = make_installer.parse_vendor_version(value)
        return "refused" if number is None else str(number)
    return "unknown kind " + kind


def main():
    failures = cases = 0
    with open(sys.argv[1], encoding="utf-8", newline="\n") as table:
        for number, line in enumerate(table, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            kind, value, expected = line.split("\t")
            cases += 1
            got = verdict(kind, unescaped(value))
            if got != expected:
                failures += 1
                print(f"line {number}: {kind} {value!r}: expected {expected}, got {got}")
    print(f"{cases} cases, {failures} failed")
    return 1 if failures or cases < 50 else 0


if __name__ == "__main__":
    sys.exit(main())
