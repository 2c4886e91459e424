#!/usr/bin/python3
"""Prints the data of one resource of a PE file in hex, as the loader finds it.

    pe_resource.py EXE TYPE NAME

TYPE is a number (10 for RCDATA) or a name, NAME a name or a number. Every
language of the entry is printed, one line each: "LANG HEX". Exit code 1
when the file has no such resource. The resource directory is walked from the
optional header's data directory, the way FindResource does, so a byte string
elsewhere in the file is not mistaken for the resource.
"""
import struct
import sys


def sections_of(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", "no PE header"
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + {0x10B: 96, 0x20B: 112}[magic]
    table = optional + optional_size
    sections = [struct.unpack_from("<IIII", data, table + 40 * i + 8) for i in range(count)]
    return directories, sections


def file_offset(sections, rva):
    for virtual_size, virtual_at, raw_size, raw_at in sections:
        if virtual_at <= rva < virtual_at + max(virtual_size, raw_size):
            return raw_at + rva - virtual_at
    raise ValueError(f"RVA {rva:#x} is in no section")


def entries(data, base, at):
    named, numbered = struct.unpack_from("<HH", data, at + 12)
    for i in range(named + numbered):
        ident, target = struct.unpack_from("<II", data, at + 16 + 8 * i)
        if ident & 0x80000000:
            name_at = base + (ident & 0x7FFFFFFF)
            length = struct.unpack_from("<H", data, name_at)[0]
            key = data[name_at + 2:name_at + 2 + 2 * length].decode("utf-16-le")
        else:
            key = ident
        yield key, target


def main():
    data = open(sys.argv[1], "rb").read()
    wanted = [int(a) if a.isdigit() else a.upper() for a in sys.argv[2:4]]
    directories, sections = sections_of(data)
    rva, size = struct.unpack_from("<II", data, directories + 8 * 2)
    if not size:
        return 1
    base = file_offset(sections, rva)
    level = base
    for key in wanted:
        found = [t for k, t in entries(data, base, level) if k == key]
        if not found or not found[0] & 0x80000000:
            return 1
        level = base + (found[0] & 0x7FFFFFFF)
    for lang, target in entries(data, base, level):
        data_rva, data_size = struct.unpack_from("<II", data, base + target)
        at = file_offset(sections, data_rva)
        print(lang, data[at:at + data_size].hex())
    return 0


if __name__ == "__main__":
    sys.exit(main())
