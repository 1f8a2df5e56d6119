"""What the package tests share: the packages made once from the suite's build, and
readers of what they look at (zip listings, MSI tables, version strings, link maps,
uninstall entries)."""

import os
import shutil
import struct
import subprocess
import sys
import zipfile

SOURCE_DIR = os.environ["KV_SOURCE_DIR"]
BUILD_DIR = os.environ["KV_BUILD_DIR"]
sys.path.insert(0, os.path.join(SOURCE_DIR, "packaging"))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
import make_packages  # noqa: E402
from pe_image import RT_VERSION  # noqa: E402

BIN_DIRS = {"x64": os.path.join(BUILD_DIR, "bin"), "x86": os.path.join(BUILD_DIR, "bin32")}
WORK = os.path.join(BUILD_DIR, "package-test")
DIST = os.path.join(WORK, "dist")
COMMIT = "0123456789abcdef0123456789abcdef01234567"
EPOCH = 1700000000  # 2023-11-14 22:13:20 UTC
VERSION = "2.0.0"

_made = []


def make(out, **options):
    return make_packages.make_packages(SOURCE_DIR, BIN_DIRS, out, COMMIT, EPOCH, **options)


def packages():
    """The packages of the suite's build in DIST, made once per test run."""
    if not _made:
        shutil.rmtree(WORK, ignore_errors=True)
        os.makedirs(WORK)
        make(DIST)
        _made.append(DIST)
    return DIST


def files_of(zip_path):
    """The names in a zip below its one top folder."""
    with zipfile.ZipFile(zip_path) as archive:
        return {name.split("/", 1)[1] for name in archive.namelist()}


def msi_table(path, table):
    """The rows of an MSI table as {column: text}."""
    text = subprocess.run(["msiinfo", "export", path, table], capture_output=True, text=True, check=True).stdout
    lines = text.replace("\r\n", "\n").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def msi_summary(path):
    text = subprocess.run(["msiinfo", "suminfo", path], capture_output=True, text=True, check=True).stdout
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def version_strings(image):
    """The StringFileInfo texts of an image's version resource: {"CompanyName": ..., ...}."""
    block = next(data for key, data in image.resources().items() if key[0] == RT_VERSION)
    found = {}

    def walk(offset, end, depth):
        # Each node: length, value length, type (1: text), key (UTF-16, NUL), padding to
        # 4 bytes, value, padding, children. Depth 3 is a string of StringFileInfo.
        while offset + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", block, offset)
            if length == 0:
                return
            key_end = offset + 6
            while block[key_end:key_end + 2] != b"\0\0":
                key_end += 2
            key = block[offset + 6:key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            if depth == 3:
                found[key] = block[value:value + 2 * value_length].decode("utf-16-le").rstrip("\0")
            else:
                children = (value + (2 * value_length if kind == 1 else value_length) + 3) & ~3
                walk(children, offset + length, depth + 1)
            offset = (offset + length + 3) & ~3

    walk(0, len(block), 0)
    return found


# Every library the toolchain may link into a shipped binary, and the component of the
# notices it belongs to; a library missing here has no notice yet.
_GCC = "GCC runtime"
_MINGW = "MinGW-w64 runtime"
_PTHREADS = "winpthreads"
LINKED_LIBRARIES = {
    "libstdc++.a": _GCC, "libgcc.a": _GCC, "libgcc_eh.a": _GCC, "crtbegin.o": _GCC, "crtend.o": _GCC,
    "crt2.o": _MINGW, "crt2u.o": _MINGW, "dllcrt2.o": _MINGW, "libmingw32.a": _MINGW, "libmingwex.a": _MINGW,
    "libmoldname.a": _MINGW, "libmsvcrt.a": _MINGW, "libuuid.a": _MINGW,
    "libpthread.a": _PTHREADS, "libwinpthread.a": _PTHREADS,
}
# The import libraries of the Windows DLLs the binaries use, made by MinGW-w64 too.
for _dll in ("kernel32", "user32", "gdi32", "winspool", "shell32", "ole32", "oleaut32", "comdlg32", "advapi32",
             "comctl32", "version", "shlwapi"):
    LINKED_LIBRARIES["lib%s.a" % _dll] = _MINGW
# Per component: the words the notices name it with, and its licence files.
LINKED_COMPONENTS = {
    _GCC: ("GCC Runtime Library Exception", {"licenses/GCC.txt", "licenses/GPL-3.txt"}),
    _MINGW: ("The MinGW-w64 runtime", {"licenses/MinGW-w64.txt"}),
    _PTHREADS: ("winpthreads", {"licenses/MinGW-w64.txt"}),
}


def link_map_libraries(map_path, build_tree):
    """The objects and the libraries from outside the build tree that the link took code
    from (a library only with a member, "lib.a(member.o)", not when merely searched):
    {file name: full path}."""
    found = {}
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            for word in line.split():
                path, member = (word.split("(", 1) + [""])[:2]
                if path.startswith("/") and (path.endswith(".o") or (path.endswith(".a") and member)):
                    path = os.path.normpath(path)
                    if not path.startswith(build_tree + os.sep):
                        found[os.path.basename(path)] = path
    return found


def uninstall_entries(reg_query_output):
    """`reg query <Uninstall key> /s` as {subkey: {value name: data}}."""
    entries, current = {}, None
    for line in reg_query_output.splitlines():
        if line.startswith("HKEY_"):
            current = entries.setdefault(line.rsplit("\\", 1)[1], {})
        elif current is not None and line.startswith("    "):
            parts = line.strip().split("    ", 2)
            if len(parts) >= 2:
                current[parts[0]] = parts[2] if len(parts) == 3 else ""
    return entries
