#!/usr/bin/env python3
"""Checks the #include lines of the source folders against their layer order.

A core folder includes only headers of its own folder and of folders in a
lower layer; folders of one layer do not include each other. The core
includes no Qt header and no test support. The programs (cli/, ui/) sit on
top of the core and do not include each other.

Usage: check_layers.py [REPOSITORY]; exits 1 and names every offending line.
"""
import pathlib
import re
import sys

# Lowest layer first.
LAYERS = [
    {"common"},
    {"device", "records", "signal", "plate"},
    {"app"},
    {"setup"},
    {"acquisition"},
    {"reports"},
    {"browser", "service"},
]
RANK = {folder: rank for rank, layer in enumerate(LAYERS) for folder in layer}
CORE = set(RANK)
# Folders outside the core and what they may include besides themselves.
OTHERS = {
    "sim": {"common"},
    "cli": CORE | {"sim"},
    "ui": CORE | {"sim"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def allowed(folder, target):
    if target == folder:
        return True
    if folder in CORE:
        return target in CORE and RANK[target] < RANK[folder]
    return target in OTHERS[folder]


def check(root):
    faults = []
    for folder in sorted(CORE | set(OTHERS)):
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                bracket, header = m.groups()
                where = f"{path.relative_to(root)}:{number}: {line.strip()}"
                if bracket == "<":
                    if folder != "ui" and re.match(r"Q[A-Za-z]", header):
                        faults.append(f"{where}  (Qt outside ui/)")
                    continue
                target = header.split("/")[0] if "/" in header else folder
                if target not in CORE and target not in OTHERS:
                    faults.append(f"{where}  ({target}/ is not a source folder)")
                elif not allowed(folder, target):
                    faults.append(f"{where}  ({folder}/ may not include {target}/)")
    return faults


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the layer order")
        return 1
    print("layer order kept")
    return 0


if __name__ == "__main__":
    sys.exit(main())
