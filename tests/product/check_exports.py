#!/usr/bin/env python3
"""Checks that a DLL exports the given names undecorated (no _name@N).

    check_exports.py OBJDUMP DLL NAME...
    check_exports.py OBJDUMP DLL --def FILE.def   (the names its EXPORTS list)
"""
import re
import subprocess
import sys


def main():
    objdump, dll, *names = sys.argv[1:]
    if names[:1] == ["--def"]:
        with open(names[1]) as definition:
            text = definition.read().split("EXPORTS", 1)[1]
        names = [line.split()[0] for line in text.splitlines() if line.strip()]
    dump = subprocess.run([objdump, "-p", dll], capture_output=True, text=True, check=True).stdout
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    exported = set(re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1], re.M)) if len(table) > 1 else set()
    missing = [name for name in names if name not in exported]
    decorated = sorted(name for name in exported if "@" in name or name.startswith("_"))
    print(f"{dll}: exports {', '.join(sorted(exported))}")
    for name in missing:
        print("FAIL: missing export", name)
    for name in decorated:
        print("FAIL: decorated export", name)
    sys.exit(1 if missing or decorated else 0)


if __name__ == "__main__":
    main()
