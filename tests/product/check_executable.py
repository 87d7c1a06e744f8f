#!/usr/bin/env python3
"""Checks the form of a built pelko.exe with objdump: the machine it is for,
a GUI subsystem, and imports of Windows system DLLs only.

    check_executable.py OBJDUMP PELKO_EXE {i386|x86-64}
"""
import re
import subprocess
import sys

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "advapi32.dll",
    "msvcrt.dll", "ntdll.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "uxtheme.dll", "ws2_32.dll", "version.dll",
}


def main():
    objdump, exe, machine = sys.argv[1:4]
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    failures = []
    expected_format = {"i386": "pei-i386", "x86-64": "pei-x86-64"}[machine]
    if f"file format {expected_format}" not in dump:
        failures.append(f"not {expected_format}")
    if machine == "i386" and not re.search(r"^Magic\s+010b\b", dump, re.M):
        failures.append("optional header is not PE32 (magic 010b)")
    if not re.search(r"^Subsystem\s+00000002\b", dump, re.M):
        failures.append("subsystem is not Windows GUI (2)")
    dlls = sorted({name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)})
    foreign = [dll for dll in dlls if dll not in SYSTEM_DLLS]
    if foreign:
        failures.append("imports non-system DLLs: " + ", ".join(foreign))
    if "rapi.dll" in dlls:
        failures.append("links rapi.dll instead of loading it at run time")
    print(f"{exe}: {expected_format}, imports {', '.join(dlls)}")
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
