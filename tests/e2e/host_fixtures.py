"""Registry keys and files that the drivers-and-tools and UPS tests put into the test prefix.

A test imports all its registry keys with one .reg file (64-bit view) and registers
their removal, and that of every file it puts into the system directory, as cleanups
of the test, so the prefix is clean again also when the test fails. Files with
version resources are built here with the MinGW resource compiler and linker.
"""

import calendar
import functools
import os
import subprocess
import tempfile

from host_groups import volatile_key
from kvtest import BIN_DIR, DRIVE_C, TAB, category, escape, group_end, group_start, subcategory, test_block, wine_env

HKLM = "HKEY_LOCAL_MACHINE"
UNINSTALL = HKLM + r"\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
# The same key as 32-bit programs see it on 64-bit Windows (where 32-bit installers register).
UNINSTALL_32 = HKLM + r"\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
SERVICES = HKLM + r"\SYSTEM\CurrentControlSet\Services"
IXA_DRIVER = HKLM + r"\SOFTWARE\KV_Rarereziza\IXA\Driver"
UPS_CONFIG = SERVICES + r"\UPS\Config"
# What a fixture below these parents creates is removed as a whole: the uninstall
# entry, the service key, the maker's key.
OWNED_PARENTS = (UNINSTALL, UNINSTALL_32, SERVICES, HKLM + r"\SOFTWARE")


class RegData(str):
    """Value data in .reg syntax."""


def sz(text):
    return RegData('"%s"' % text.replace("\\", "\\\\").replace('"', '\\"'))


def dword(value):
    return RegData("dword:%08x" % value)


def hex_value(kind, data):
    return RegData("hex(%x):%s" % (kind, ",".join("%02x" % b for b in data)))


class Unterminated(RegData):
    """A REG_SZ holding the text without a NUL. reg.exe adds one, so the volatile key helper writes it."""


def unterminated(text):
    return Unterminated(text.encode("utf-16-le").hex())


def expand_sz(text):
    return hex_value(2, (text + "\0").encode("utf-16-le"))


def owned_root(key):
    for parent in OWNED_PARENTS:
        if key.lower().startswith(parent.lower() + "\\"):
            return parent + "\\" + key[len(parent) + 1:].split("\\")[0]
    raise ValueError("not a key the tests own: " + key)


def import_reg(entries):
    """Imports .reg entries ([key] lines and value lines) into the 64-bit view."""
    text = "Windows Registry Editor Version 5.00\r\n\r\n" + "\r\n".join(entries) + "\r\n"
    with tempfile.NamedTemporaryFile(suffix=".reg", delete=False) as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    try:
        return subprocess.run(["timeout", "60", "wine", "reg", "import", f.name, "/reg:64"], env=wine_env(),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    finally:
        os.remove(f.name)


def registry(test, keys):
    """keys: {key: {value name: .reg data}}; put in at once, the keys they create removed when the test ends."""
    roots = sorted({owned_root(key) for key in keys})
    test.addCleanup(lambda: test.assertEqual(0, import_reg(["[-%s]" % root for root in roots])))
    entries = []
    for key, values in keys.items():
        entries.append("[%s]" % key)
        entries += ['"%s"=%s' % (name, data) for name, data in values.items() if not isinstance(data, Unterminated)]
    test.assertEqual(0, import_reg(entries))
    for key, values in keys.items():
        for name, data in values.items():
            if isinstance(data, Unterminated):
                test.assertEqual(0, volatile_key("set", key[len(HKLM) + 1:], name, "rawsz", data))


def uninstall_entry(name, location=None, version=None, date=None, **other):
    """An uninstall entry; None leaves a value out, plain text is a REG_SZ."""
    values = {"InstallLocation": location, "DisplayVersion": version, "InstallDate": date}
    values.update(other)
    return {UNINSTALL + "\\" + name: {k: v if isinstance(v, RegData) else sz(v) for k, v in values.items()
                                      if v is not None}}


def in_32_bit_view(keys):
    """Uninstall entries moved to where a 32-bit installer puts them on 64-bit Windows."""
    return {UNINSTALL_32 + key[len(UNINSTALL):]: values for key, values in keys.items()}


def service_count(service, count):
    """The service's Enum key with its Count (an int as REG_DWORD, else .reg data); None: no Count value."""
    values = {} if count is None else {"Count": count if isinstance(count, RegData) else dword(count)}
    return {SERVICES + "\\" + service + "\\Enum": values}


@functools.lru_cache(maxsize=None)
def system_directory():
    """The system directory as the program's GetSystemDirectoryW call gives it."""
    out = subprocess.run(["timeout", "60", "wine", os.path.join(BIN_DIR, "kv_system_directory.exe")],
                         env=wine_env(), capture_output=True, check=True).stdout
    return out.decode("utf-8")


def linux_path(windows_path):
    """The file behind a C:\\ path, each existing folder matched without regard to case as Wine does."""
    assert windows_path[:3].upper() == "C:\\", windows_path
    path = DRIVE_C
    for part in windows_path[3:].split("\\"):
        if not part:
            continue
        match = [name for name in (os.listdir(path) if os.path.isdir(path) else []) if name.lower() == part.lower()]
        path = os.path.join(path, match[0] if match else part)
    return path


# Version resources of the fixture files: a FileVersion string in the block of 0409 04b0 (Unicode), and a
# translation table naming that block, another one, or none.
VERSION_RC = ('1 VERSIONINFO FILEVERSION 1,2,3,4 BEGIN BLOCK "StringFileInfo" BEGIN BLOCK "040904b0" BEGIN '
              'VALUE "FileVersion", "1.2.3.4" END END %s END\n')
TRANSLATION = 'BLOCK "VarFileInfo" BEGIN VALUE "Translation", %s END'
VERSION_KINDS = {
    "version": VERSION_RC % (TRANSLATION % "0x409, 1200"),
    "other translation": VERSION_RC % (TRANSLATION % "0x407, 1252"),
    "no translation": VERSION_RC % "",
    "no resource": None,
}


@functools.lru_cache(maxsize=None)
def library_bytes(kind):
    """A small DLL of one kind of VERSION_KINDS, built once per run."""
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "main.c"), "w") as f:
            f.write("int __stdcall DllMain(void *module, unsigned reason, void *reserved) { return 1; }\n")
        objects = [os.path.join(folder, "main.c")]
        if VERSION_KINDS[kind]:
            with open(os.path.join(folder, "version.rc"), "w") as f:
                f.write(VERSION_KINDS[kind])
            subprocess.run(["x86_64-w64-mingw32-windres", os.path.join(folder, "version.rc"), "-O", "coff", "-o",
                            os.path.join(folder, "version.o")], check=True)
            objects.append(os.path.join(folder, "version.o"))
        output = os.path.join(folder, "out.dll")
        subprocess.run(["x86_64-w64-mingw32-gcc", "-shared", "-nostdlib", "-Wl,-eDllMain", "-o", output] + objects,
                       check=True)
        with open(output, "rb") as f:
            return f.read()


def utc(*fields):
    return calendar.timegm(tuple(fields) + (0, 0, 0))


MODIFIED_AT = utc(2012, 3, 4, 5, 6, 7)


def put_file(test, windows_path, content=b"data", size=None, modified=MODIFIED_AT):
    """Writes a file (content bytes, or a DLL kind of VERSION_KINDS) at a C:\\ path; removed when the test ends.

    size: the file is extended to it without being written (a sparse file). Returns the file's size."""
    if isinstance(content, str):
        content = library_bytes(content)
    path = linux_path(windows_path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    test.addCleanup(os.remove, path)
    with open(path, "wb") as f:
        f.write(content)
        if size is not None:
            f.truncate(size)
    os.utime(path, (modified, modified))
    return size if size is not None else len(content)


# Expected lines. A test row is (label, text[, format[, status[, description]]]).
ROW_DEFAULTS = ("String", "Passed", "DescrUndef")


def placed(scan, name):
    """Group number and first test number of the group as its place in the report gives them."""
    number = scan.groups().index(name) + 1
    start = scan.lines.index(TAB * 2 + "<GroupName>%s</GroupName>" % escape(name)) - 2
    return number, 1 + sum(1 for line in scan.lines[:start] if line.startswith(TAB * 7 + "<TestNumber>"))


def group_lines(scan, name, description, categories):
    """The whole group as the report holds it. categories: [(category, [(subcategory, [row])])]; the first
    subcategory of a category opens with it, the others follow with their own start."""
    number, test_number = placed(scan, name)
    lines = []
    for i, (category_name, subcategories) in enumerate(categories):
        for j, (subcategory_name, rows) in enumerate(subcategories):
            if i == j == 0:
                lines += group_start(number, name, description, category_name, subcategory_name)
            elif j == 0:
                lines += category(category_name, subcategory_name)
            else:
                lines += subcategory(subcategory_name)
            for row in rows:
                label, text, fmt, status, row_description = tuple(row) + ROW_DEFAULTS[len(row) - 2:]
                lines += test_block(label, test_number, text, fmt, status, row_description)
                test_number += 1
    # A raw dump's line breaks split its element over several report lines.
    return [piece for line in lines + group_end() for piece in line.split("\r\n")]
