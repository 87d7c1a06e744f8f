#!/usr/bin/env python3
"""Checks that a 32-bit pelko.exe starts on Windows XP SP3: every function it
imports exists there, and its PE header asks for no newer Windows.

    check_xp_imports.py OBJDUMP CXX PELKO_EXE

Windows is not at hand, so the Windows headers stand in for it: each import
must still be declared when the headers are asked for the API of XP SP3 only
(_WIN32_WINNT 0x0501, NTDDI_VERSION 0x05010300, the common controls of
IE 6), and each C runtime import when they are asked for the msvcrt.dll of
XP (version 7.0). Every import is compiled as `&::Name`; the names that the
compiler reports as undeclared are the ones XP lacks.
"""
import os
import re
import subprocess
import sys
import tempfile

XP = (5, 1)

WINDOWS_HEADERS = """
#define _WIN32_WINNT 0x0501
#define WINVER 0x0501
#define NTDDI_VERSION 0x05010300
#define _WIN32_IE 0x0600
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <winsock2.h>
"""

CRT_HEADERS = """
#define __MSVCRT_VERSION__ 0x0700
#include <ctype.h>
#include <errno.h>
#include <io.h>
#include <locale.h>
#include <malloc.h>
#include <math.h>
#include <process.h>
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <wctype.h>
#include <corecrt_startup.h>
"""

# The C runtime's start-up entry points that mingw-w64's start-up code calls.
# msvcrt.dll has exported each of them since Windows NT 4.0; only the runtime's
# own internal headers declare them, so they are named here.
CRT_START_UP = {
    "__getmainargs", "__wgetmainargs", "__set_app_type", "__p__commode", "__p__fmode",
    "__p__acmdln", "__p__wcmdln", "__initenv", "__winitenv", "_amsg_exit", "_initterm",
    "__setusermatherr", "__lconv_init",
}

HEADERS_BY_DLL = {
    "kernel32.dll": WINDOWS_HEADERS,
    "user32.dll": WINDOWS_HEADERS,
    "gdi32.dll": WINDOWS_HEADERS,
    "advapi32.dll": WINDOWS_HEADERS,
    "comctl32.dll": WINDOWS_HEADERS,
    "shell32.dll": WINDOWS_HEADERS,
    "ws2_32.dll": WINDOWS_HEADERS,
    "msvcrt.dll": CRT_HEADERS,
}


def imports_by_dll(dump):
    """{dll: [function, ...]} from objdump -p's import tables."""
    result = {}
    current = None
    for line in dump.splitlines():
        dll = re.match(r"\s*DLL Name: (\S+)", line)
        if dll:
            current = result.setdefault(dll.group(1).lower(), [])
            continue
        # "\t<vma>\t <hint>  <name>" under the DLL's name, up to a blank line.
        entry = re.match(r"\t[0-9a-f]+\t\s*\d+\s+(\S+)\s*$", line)
        if current is not None and entry:
            current.append(entry.group(1))
        elif not line.strip():
            current = None
    return result


def undeclared(cxx, headers, names):
    """The names that the headers do not declare."""
    # A name the headers make a macro (data such as _iob) counts as declared.
    source = headers + "".join(
        f"\n#ifndef {name}\nconst void* import_{i} = reinterpret_cast<const void*>(&::{name});"
        f"\n#endif" for i, name in enumerate(names))
    with tempfile.NamedTemporaryFile("w", suffix=".cpp") as unit:
        unit.write(source)
        unit.flush()
        run = subprocess.run([cxx, "-fsyntax-only", "-w", "-x", "c++", unit.name],
                             capture_output=True, text=True, env={**os.environ, "LC_ALL": "C"})
    if run.returncode == 0:
        return []
    missing = set(re.findall(r"'::(\w+)' has not been declared", run.stderr))
    missing |= set(re.findall(r"'(\w+)' (?:was not declared|is not a member of)", run.stderr))
    missing &= set(names)
    if not missing:
        # The unit failed for another reason: show it rather than pass.
        raise SystemExit("cannot check imports:\n" + run.stderr[-2000:])
    return sorted(missing)


def header_version(dump, field):
    major = re.search(rf"^Major{field}Version\s+(\d+)", dump, re.M)
    minor = re.search(rf"^Minor{field}Version\s+(\d+)", dump, re.M)
    return (int(major.group(1)), int(minor.group(1))) if major and minor else None


def main():
    objdump, cxx, exe = sys.argv[1:4]
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
    failures = []
    for field, label in (("OSystem", "operating system"), ("Subsystem", "subsystem")):
        version = header_version(dump, field)
        if version is None or version > XP:
            failures.append(f"PE header asks for {label} version {version}, newer than XP (5.1)")
    imports = imports_by_dll(dump)
    count = 0
    for dll, names in sorted(imports.items()):
        count += len(names)
        headers = HEADERS_BY_DLL.get(dll)
        if headers is None:
            failures.append(f"imports from {dll}, which this check does not know")
            continue
        checked = [name for name in names if not (dll == "msvcrt.dll" and name in CRT_START_UP)]
        for name in undeclared(cxx, headers, checked):
            failures.append(f"{dll} {name} is not part of Windows XP SP3")
    print(f"{exe}: {count} imports from {', '.join(sorted(imports))}; "
          f"OS {header_version(dump, 'OSystem')}, subsystem {header_version(dump, 'Subsystem')}")
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
