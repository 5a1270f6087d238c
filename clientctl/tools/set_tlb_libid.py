#!/usr/bin/env python3
"""Copies a widl-built type library and writes the library id of its IDL into it.

widl 7.0 can write a wrong library id into a type library that holds a dispinterface, while the
generated header keeps the right one; the registry scripts and the manifest name the header's id.
Usage: set_tlb_libid.py <in.tlb> <out.tlb> <file.idl>
"""
import re
import struct
import sys
import uuid

HEADER_SIZE = 0x54          # the fixed part of an MSFT type library header
SEGMENT_GUIDS = 5           # index of the GUID table in the segment directory
HELPDLL_FLAG = 0x100        # varflags: a help DLL offset follows the header


def library_id(idl_text):
    found = re.search(r"uuid\(\s*([0-9A-Fa-f-]{36})\s*\)[^\]]*\]\s*library\b", idl_text)
    if not found:
        sys.exit("set_tlb_libid: no library uuid in the IDL")
    return uuid.UUID(found.group(1))


def main():
    source, target, idl = sys.argv[1:4]
    data = bytearray(open(source, "rb").read())
    if data[:4] != b"MSFT":
        sys.exit("set_tlb_libid: not an MSFT type library: " + source)
    posguid, = struct.unpack_from("<i", data, 8)
    varflags, = struct.unpack_from("<I", data, 20)
    typeinfos, = struct.unpack_from("<i", data, 32)
    segdir = HEADER_SIZE + (4 if varflags & HELPDLL_FLAG else 0) + 4 * typeinfos
    guid_table, = struct.unpack_from("<i", data, segdir + 16 * SEGMENT_GUIDS)
    if posguid < 0 or guid_table < 0:
        sys.exit("set_tlb_libid: the type library has no library id")
    wanted = library_id(open(idl, encoding="utf-8").read())
    where = guid_table + posguid
    if bytes(data[where:where + 16]) != wanted.bytes_le:
        print("set_tlb_libid: %s had library id %s, set to %s"
              % (source, uuid.UUID(bytes_le=bytes(data[where:where + 16])), wanted))
        data[where:where + 16] = wanted.bytes_le
    open(target, "wb").write(data)


if __name__ == "__main__":
    main()
