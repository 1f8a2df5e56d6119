"""The 32-bit edition (bin32/, for the Roamdeck R96).

The tests' Wine runs 64-bit programs only, so the edition's files are checked as
files: 32-bit, GUI, system DLLs only, the 64-bit edition's resources (its manifest
naming x86), and its KvIxa.dll exporting the 49 entry points by their plain names.
What only the 32-bit edition does, the R96 branches, runs in the 64-bit test build
of the same program with the refusal switched off (tests/r96/KvInspectra.exe)."""

import os
import re
import shutil
import unittest

import test_cpu
import test_scan
import test_system_unit_and_panels as units
from kvtest import ScanTestCase, load_profile
from pe_image import (MACHINE_AMD64, MACHINE_I386, PE32, PE32_PLUS, RT_MANIFEST, SUBSYSTEM_GUI, PeImage,
                      exported_names, imported_dlls)
from unit_tables import cat, dump, ok, profile_bytes, render, sub, t

BUILD_DIR = os.environ.get("KV_BUILD_DIR", "")
BIN_DIR = os.environ.get("KV_BIN_DIR", "")
BIN32_DIR = os.path.join(BUILD_DIR, "bin32")
R96_PROGRAM = os.path.join(BUILD_DIR, "tests", "r96", "KvInspectra.exe")
SOURCE_DIR = os.environ.get("KV_SOURCE_DIR", "")

LIBRARIES = ["KvIxa.dll", os.path.join("legacy", "KvIxa.dll"), os.path.join("recorder", "KvIxa.dll")]


def entry_points(leave_out=()):
    """The names of the call contract's list, without the signature kinds left out."""
    with open(os.path.join(SOURCE_DIR, "kvixa", "entry_points.h"), encoding="utf-8") as f:
        rows = re.findall(r"X\((\w+), (\w+)\)", f.read())
    return [name for kind, name in rows if kind not in leave_out]


class EditionFilesTest(unittest.TestCase):
    """Both editions side by side, as scripts/build leaves them."""

    maxDiff = None

    def setUp(self):
        missing = [n for n in ["KvInspectra.exe"] + LIBRARIES if not os.path.exists(os.path.join(BIN32_DIR, n))]
        self.assertEqual([], missing, "the 32-bit edition is built by scripts/build into " + BIN32_DIR)

    def test_program_and_libraries_are_32_bit_and_import_system_dlls_only(self):
        allowed = {d.upper() for d in test_scan.ImportsTest.SYSTEM_DLLS}
        for name in ["KvInspectra.exe"] + LIBRARIES:
            with self.subTest(name=name):
                for folder, machine, magic in ((BIN32_DIR, MACHINE_I386, PE32), (BIN_DIR, MACHINE_AMD64, PE32_PLUS)):
                    image = PeImage(os.path.join(folder, name))
                    self.assertEqual((machine, magic), (image.machine, image.magic))
                dlls = imported_dlls(os.path.join(BIN32_DIR, name))
                self.assertIn("KERNEL32.dll", dlls)
                self.assertLessEqual({d.upper() for d in dlls}, allowed)
        self.assertEqual(SUBSYSTEM_GUI, PeImage(os.path.join(BIN32_DIR, "KvInspectra.exe")).subsystem)

    def test_program_resources_equal_the_64_bit_ones_but_the_manifest_names_x86(self):
        edition32 = PeImage(os.path.join(BIN32_DIR, "KvInspectra.exe"))
        edition64 = PeImage(os.path.join(BIN_DIR, "KvInspectra.exe"))
        self.assertEqual("2.0.0.0", edition32.file_version())
        resources32, resources64 = edition32.resources(), edition64.resources()
        manifest = (RT_MANIFEST, 1, 1033)
        manifest32, manifest64 = resources32.pop(manifest).decode(), resources64.pop(manifest).decode()
        identity = '<assemblyIdentity type="win32" name="Kavrol.KvInspectra" version="2.0.0.0" ' \
                   'processorArchitecture="%s"/>'
        self.assertIn(identity % "amd64", manifest64)
        self.assertEqual(manifest64.replace(identity % "amd64", identity % "x86"), manifest32)
        # String table, dialogs, icon, animation, stylesheet and version: byte for byte.
        self.assertEqual(sorted(resources64, key=str), sorted(resources32, key=str))
        self.assertEqual([k for k in resources64 if resources64[k] != resources32[k]], [])

    def test_libraries_export_the_entry_points_by_their_plain_names(self):
        every = entry_points()
        self.assertEqual(49, len(every))
        expected = {"KvIxa.dll": every, LIBRARIES[1]: entry_points(("ModuleRead", "PanelModuleRead")),
                    LIBRARIES[2]: every}
        for folder in (BIN32_DIR, BIN_DIR):
            for name, names in expected.items():
                with self.subTest(folder=folder, name=name):
                    self.assertEqual(sorted(names), exported_names(os.path.join(folder, name)))


SYSTEM_UNIT = units.SYSTEM_UNIT
PANELS = units.PANELS
R96_GROUPS = ["Operating System", "Kavrol Drivers and Tools", "BIOS", "General", SYSTEM_UNIT, "CPU", "Memory",
              "Operating controls", "UPS", PANELS]
KEYS = "The maximum number of keys supported by the Kavrol device."
LEDS = "The maximum number of LEDs supported by the Kavrol device."
VIEWDECK_LEDS = "State of all LEDs on the Viewdeck."


def system_unit_rows(profile):
    """Empty "Firmware", factory settings with 256 raw bytes, statistics; nothing after them."""
    raw = dump(profile_bytes(profile["IxaGetFactoryValue"]["17"]), 256)
    return [cat("Factory Settings"), t("Version", "V1.02"), t("Vendor ID", ok("00000000", "Hex"), "Kavrol = 0."),
            t("Device ID", ok("0000B960", "Hex")), t("Compatibility ID", ok("0002", "Hex"), units.COMPATIBILITY),
            t("Parent Device ID", ok("FFFFFFFF", "Hex"), units.PARENT_DEVICE),
            t("Parent Compatibility ID", ok("FFFF", "Hex"), units.PARENT_COMPATIBILITY),
            t("Hardware revision", "A3"), t("Serial number", "E9R60195521"), t("Model number", "KV-R96.1010-00"),
            t("Raw data", ok(raw, "Raw"), "Complete factory settings of the Kavrol device."),
            cat("Statistics"), t("Power-on cycles", ok("2214", "Dec")), t("Power-on hours", ok("9876", "Dec"))]


# The built-in display, panel 0: status, display settings without equalizer, keys, LED layer 1 only.
PANEL_ROWS = [
    sub("Status"), t("Linked", ok("Yes", "YesNo")), t("Locked", ok("No", "YesNo")),
    t("Lock time", ok("1500", "MilliSeconds")),
    sub("Display Settings"), t("Resolution", "1280x800"), t("Brightness", "70%"),
    t("Default brightness", ok("90", "Percent")),
    sub("Keys"), t("Count", "16", KEYS), t("Enabled", ok("Yes", "YesNo"), "Determines whether the keys are enabled."),
    t("Switches", ok("03", "Hex"), units.KEY_SWITCHES),
    t("Matrix", ok(dump(bytes(16), 16), "Raw"), "State of all keys on the Viewdeck."),
    sub("LEDs"), t("Count", "16", LEDS), t("Matrix, layer 1", ok(dump(bytes([5]) + bytes(31), 32), "Raw"), VIEWDECK_LEDS)]


class RoamdeckR96Test(ScanTestCase):
    """The R96 branches of the 32-bit edition, through the 64-bit test program."""

    def install(self, folder, library="default"):
        exe = super().install(folder, library)
        shutil.copy(R96_PROGRAM, exe)
        return exe

    def test_r96_is_scanned_with_its_own_branches(self):
        values = test_cpu.processor_values()
        scan = self.scan(profile="roamdeck-r96.json")
        self.assertEqual("\t\t<KvDeviceType>Kavrol Roamdeck R96</KvDeviceType>", scan.lines[5])
        # No CPU board, IF board or DVI group; sequence B without module entry points.
        self.assertEqual(R96_GROUPS, scan.groups())
        self.assertLines(render(scan, SYSTEM_UNIT, units.SU_DESCRIPTION, system_unit_rows(
            load_profile("roamdeck-r96.json")), "Firmware"), scan.group(SYSTEM_UNIT))
        self.assertLines(render(scan, PANELS, units.PANELS_DESCRIPTION, PANEL_ROWS, "Panel 0"), scan.group(PANELS))
        # The CPU: identification with the board string, no temperature although the library has one.
        cpu = test_cpu.identity(test_cpu.Expected(scan, "CPU", test_cpu.DESCRIPTION, "Identification"), values,
                                ("Board type", "SSFW.N6210-01"))
        self.assertLines(cpu.end(), scan.group("CPU"))
        self.assertEqual([], [c for c in scan.trace if c.startswith(("IxaGetTemperature(0,", "IxaGetLedMatrix(1,",
                                                                     "IxaGetDisplayEqualizer("))])


if __name__ == "__main__":
    unittest.main()
