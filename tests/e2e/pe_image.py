"""Reads what the tests look at in a Windows executable or DLL: its headers, its
resources, and (through MinGW's objdump) its imports and exports."""

import struct
import subprocess

PE32, PE32_PLUS = 0x10B, 0x20B
MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664
SUBSYSTEM_GUI = 2
RT_STRING, RT_VERSION, RT_MANIFEST = 6, 16, 24


class PeImage:
    """The headers and the resources of one image."""

    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        assert self.data[pe:pe + 4] == b"PE\0\0", "%s is no PE image" % path
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        self.magic = struct.unpack_from("<H", self.data, optional)[0]
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        directories = optional + (96 if self.magic == PE32 else 112)
        self.resource_rva = struct.unpack_from("<I", self.data, directories + 2 * 8)[0]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8sIIII", self.data, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        for _, size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("RVA %x is in no section" % rva)

    def resources(self):
        """{(type, name, language): bytes}; names are numbers or texts."""
        found = {}
        if self.resource_rva:
            self._walk(self.offset(self.resource_rva), 0, (), found)
        return found

    def _walk(self, base, directory, path, found):
        named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
            if name & 0x80000000:
                length = struct.unpack_from("<H", self.data, base + (name & 0x7FFFFFFF))[0]
                start = base + (name & 0x7FFFFFFF) + 2
                name = self.data[start:start + 2 * length].decode("utf-16-le")
            if target & 0x80000000:
                self._walk(base, target & 0x7FFFFFFF, path + (name,), found)
            else:
                rva, size = struct.unpack_from("<II", self.data, base + target)
                found[path + (name,)] = self.data[self.offset(rva):self.offset(rva) + size]

    def file_version(self):
        """FILEVERSION of the version resource as "a.b.c.d"."""
        block = next(data for key, data in self.resources().items() if key[0] == RT_VERSION)
        at = block.index(struct.pack("<I", 0xFEEF04BD))
        high, low = struct.unpack_from("<II", block, at + 8)
        return "%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)


def objdump(path):
    """objdump -p of the image, by the MinGW objdump of its word size."""
    tool = "i686-w64-mingw32-objdump" if PeImage(path).magic == PE32 else "x86_64-w64-mingw32-objdump"
    return subprocess.run([tool, "-p", path], capture_output=True, text=True, check=True).stdout


def imported_dlls(path):
    return {line.split("DLL Name:")[1].strip() for line in objdump(path).splitlines() if "DLL Name:" in line}


def exported_names(path):
    """The names of the export table, in its order."""
    lines = objdump(path).splitlines()
    if "[Ordinal/Name Pointer] Table" not in [line.strip() for line in lines]:
        return []
    start = [line.strip() for line in lines].index("[Ordinal/Name Pointer] Table") + 1
    names = []
    for line in lines[start:]:
        if not line.strip().startswith("["):
            break
        names.append(line.split("]", 1)[1].strip())
    return names
