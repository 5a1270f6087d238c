#!/usr/bin/env python3
"""Writes LumoClient.manifest, the registration-free description of LumoClient.ocx, from its IDL.

Every coclass of the library becomes a comClass with the ProgIDs and the threading model that the
registry scripts give it, so clients that load the library without registration see the same names.
Usage: make_manifest.py <LumoClient.idl> <out.manifest>
"""
import re
import sys

LIBRARY_FILE = "LumoClient.ocx"
PROGID_PREFIX = "LumoClientLib"


def main():
    idl, target = sys.argv[1:3]
    text = open(idl, encoding="utf-8").read()
    library = re.search(r"uuid\(\s*([0-9A-Fa-f-]{36})\s*\)[^\]]*\]\s*library\b", text)
    coclasses = re.findall(r"uuid\(\s*([0-9A-Fa-f-]{36})\s*\)[^\]]*\]\s*coclass\s+(\w+)", text)
    if not library or not coclasses:
        sys.exit("make_manifest: no library or coclass in " + idl)
    libid = "{%s}" % library.group(1).upper()
    lines = ['<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
             '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
             '  <assemblyIdentity type="win32" name="LumoClient" version="1.0.0.0"/>',
             '  <file name="%s">' % LIBRARY_FILE]
    for clsid, name in coclasses:
        lines += ['    <comClass clsid="{%s}" threadingModel="Apartment"' % clsid.upper(),
                  '              progid="%s.%s.1" tlbid="%s">' % (PROGID_PREFIX, name, libid),
                  '      <progid>%s.%s</progid>' % (PROGID_PREFIX, name),
                  '    </comClass>']
    lines += ['    <typelib tlbid="%s" version="1.0" helpdir=""/>' % libid,
              '  </file>',
              '</assembly>']
    with open(target, "w", encoding="utf-8", newline="\r\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
