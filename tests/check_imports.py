#!/usr/bin/env python3
"""Fails when a built .exe or .dll imports a DLL that is neither part of Windows nor built here.

Everything is linked statically: a MinGW runtime DLL (libwinpthread-1.dll, libstdc++-6.dll,
libgcc_s_seh-1.dll) or any other foreign DLL beside our binaries is a packaging fault.
"""
import os
import re
import subprocess
import sys

WINDOWS_DLLS = {
    "advapi32.dll", "bcrypt.dll", "comctl32.dll", "comdlg32.dll", "crypt32.dll", "dbghelp.dll",
    "dsound.dll", "dwmapi.dll", "gdi32.dll", "gdiplus.dll", "hhctrl.ocx", "imm32.dll",
    "iphlpapi.dll", "kernel32.dll", "mpr.dll", "msimg32.dll", "msvcrt.dll", "netapi32.dll",
    "ntdll.dll", "ole32.dll", "oleacc.dll", "oleaut32.dll", "oledlg.dll", "psapi.dll",
    "rpcrt4.dll", "secur32.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "ucrtbase.dll",
    "urlmon.dll", "user32.dll", "userenv.dll", "uxtheme.dll", "version.dll", "winhttp.dll",
    "wininet.dll", "winmm.dll", "winspool.drv", "wintrust.dll", "ws2_32.dll", "wsock32.dll",
    "wtsapi32.dll", "mswsock.dll", "msacm32.dll", "avrt.dll", "mmdevapi.dll",
}


def binaries(root):
    for top, dirs, files in os.walk(root):
        dirs[:] = [d for d in dirs if d != "CMakeFiles"]  # compiler probes, not ours
        for name in files:
            if name.lower().endswith((".exe", ".dll", ".ocx")):
                yield os.path.join(top, name)


def imports(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    return [m.group(1) for m in re.finditer(r"DLL Name:\s*(\S+)", out)]


def main():
    objdump, root = sys.argv[1], sys.argv[2]
    found = list(binaries(root))
    if not found:
        print(f"no binaries under {root}")
        return 1
    ours = {os.path.basename(p).lower() for p in found}
    faults = []
    for path in found:
        for dll in imports(objdump, path):
            low = dll.lower()
            if low in WINDOWS_DLLS or low in ours or low.startswith("api-ms-win-"):
                continue
            faults.append(f"{os.path.relpath(path, root)} imports {dll}")
    for f in faults:
        print(f)
    print(f"{len(found)} binaries checked, {len(faults)} foreign imports")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
