"""Drivers and tools group: uninstall entries, the IXA driver key, service enumeration and the files
of each product, put into the test prefix by each test and removed again when it ends."""

import unittest

from host_fixtures import (IXA_DRIVER, MODIFIED_AT, dword, group_lines, in_32_bit_view, put_file, registry,
                           service_count, sz, system_directory, uninstall_entry, unterminated, utc)
from kvtest import ScanTestCase, system_text, to_windows

GROUP = "Kavrol Drivers and Tools"
DESCRIPTION = "Contains information about Kavrol drivers and tools like the file path and file version."
MODIFIED = "2012-03-04 05:06:07"
NO_VERSION = ("Can not get the file version", "String", "Failed")
FOUR_GIB = 4 * 1024 ** 3


def info(version, location, date):
    return [("Setup version", version), ("Install location", location), ("Install date", date)]


def present(path, size, version="1.2.3.4", modified=MODIFIED):
    """The file tests of an existing file; version None: it has no usable version resource."""
    return [("File path", path), ("File version",) + ((version,) if version is not None else NO_VERSION),
            ("Modification date", modified), ("File size", str(size), "Bytes")]


def missing(path, code=2):
    return [("File path", path), ("File version", system_text(code), "String", "Failed")]


class DriversAndToolsTest(ScanTestCase):

    def setUp(self):
        super().setUp()
        self.folder = self.make_folder()
        self.base = to_windows(self.folder)
        self.system = system_directory()
        self.drivers = self.system + "\\Drivers"

    def scan_with(self, keys, files, modified=MODIFIED_AT, profile=None):
        """One scan with these registry keys and files ({path: content or (content, size)}); the files' sizes."""
        registry(self, keys)
        sizes = {}
        for path, content in files.items():
            content, size = content if isinstance(content, tuple) else (content, None)
            sizes[path] = put_file(self, path, content, size, modified)
        scan = self.scan(profile, folder=self.folder)
        # Off the system directory at once: a KvIxa.dll there would be loaded by any scan without its own.
        self.doCleanups()
        return scan, sizes

    def assertGroup(self, scan, ixa, products=()):
        categories = [("IXA Driver", [("Product Information", ixa[0])] + ixa[1])]
        categories += [(name, [("Product Information", product_info)] + files)
                       for name, product_info, files in products]
        self.assertLines(group_lines(scan, GROUP, DESCRIPTION, categories), scan.group(GROUP))

    def test_second_group_in_both_sequences_with_the_fallback_version_when_nothing_is_installed(self):
        wrong_types = {IXA_DRIVER: {"Version": dword(1), "InstallPath": dword(2)}}
        for profile, keys in (("corvabox-c90.json", {}), ("corvabox-c94.json", wrong_types)):
            with self.subTest(profile=profile):
                scan, _ = self.scan_with(keys, {}, profile=profile)
                self.assertEqual(GROUP, scan.groups()[1])
                self.assertGroup(scan, ([("Setup version", "Not available", "String", "Failed")], [
                    ("KvDeviceDesk.cpl", missing(self.system + "\\KvDeviceDesk.cpl")),
                    ("KvIxa.dll", missing(self.system + "\\KvIxa.dll"))]))

    def test_complete_installation_with_every_kind_of_file(self):
        ixa, snmp, can, touch = (self.base + "\\" + name for name in ("Ixa", "Snmp", "Can", "Touch"))
        keys = {}
        keys.update(uninstall_entry("IxaDriver_is1", ixa + "\\", unterminated("3.2.1"), "20120915"))
        keys.update(uninstall_entry("Kavrol IXA SNMP Agent", snmp, "1.0", "15092012"))
        keys.update(uninstall_entry("Kavrol CAN Driver", can, "2.1", "2012091"))
        keys.update(uninstall_entry("Kavrol SRAM Driver", self.base, "1.1"))
        keys.update(uninstall_entry("KvTouchDriver_is1", touch, "4.0", "2012AB15"))
        keys.update(uninstall_entry("TouchGuard_is1", dword(1), "1.0", "20120915"))
        keys[IXA_DRIVER] = {"InstallPath": sz(ixa), "Version": sz("9.9")}
        for service, count in (("Ixa", 1), ("Bios", 0), ("KvBiosDrv", 3), ("KvKmonDrv", sz("1"))):
            keys.update(service_count(service, count))
        scan, size = self.scan_with(keys, {
            self.drivers + "\\KvIxaDrv.sys": "version",
            ixa + "\\KvDeviceDesk.exe": "version",
            self.system + "\\KvIxa.dll": "version",
            ixa + "\\KvIxaUps.dll": "other translation",
            self.system + "\\KvIxaUps.dll": "version",
            self.system + "\\KvIxaUpsSvc.exe": "no translation",
            ixa + "\\KvUpsMon.exe": "no resource",
            ixa + "\\FactoryResetTool.exe": (b"data", FOUR_GIB + 10),
            snmp + "\\KvIxaSnmp.dll": "version",
            touch + "\\KvTouchSvc.exe": b"touch"})
        touch_files = ["KvTouchApplet.cpl", "KvTouchApplet.exe", "KvTouchCalib.exe", "KvTouchInit.exe",
                       "KvTouchRightClick.exe", "KvTouchSelect.exe", "KvTouchSvc.exe", "KvTouchDrv.sys"]
        self.assertGroup(scan, (info("3.2.1", ixa, "2012-09-15"), [
            ("KvIxaDrv.sys", present(self.drivers + "\\KvIxaDrv.sys", size[self.drivers + "\\KvIxaDrv.sys"])),
            ("KvBiosDrv.sys", missing(self.drivers + "\\KvBiosDrv.sys")),
            ("KvDeviceDesk.exe", present(ixa + "\\KvDeviceDesk.exe", size[ixa + "\\KvDeviceDesk.exe"])),
            ("KvIxa.dll", present(self.system + "\\KvIxa.dll", size[self.system + "\\KvIxa.dll"])),
            ("KvIxaUps.dll", present(ixa + "\\KvIxaUps.dll", size[ixa + "\\KvIxaUps.dll"], "")),
            ("KvIxaUpsSvc.exe", present(self.system + "\\KvIxaUpsSvc.exe", size[self.system + "\\KvIxaUpsSvc.exe"],
                                        None)),
            ("KvUpsMon.exe", present(ixa + "\\KvUpsMon.exe", size[ixa + "\\KvUpsMon.exe"], None)),
            ("FactoryResetTool.exe", present(ixa + "\\FactoryResetTool.exe", 10, None))]), [
            ("IXA SNMP Agent", info("1.0", snmp, "2012-09-15"), [
                ("KvIxaSnmp.dll", present(snmp + "\\KvIxaSnmp.dll", size[snmp + "\\KvIxaSnmp.dll"]))]),
            ("CAN Driver", info("2.1", can, ""), [
                ("KV.CanSettings.exe", missing(can + "\\KV.CanSettings.exe", 3)),
                ("KvCanDrv.sys", missing(self.drivers + "\\KvCanDrv.sys"))]),
            ("Touch Driver", info("4.0", touch, "2012-00-15"), [
                (name, present(touch + "\\" + name, 5, None) if name == "KvTouchSvc.exe"
                 else missing(touch + "\\" + name)) for name in touch_files])])

    def test_second_uninstall_entry_system_directory_files_and_bios_service(self):
        tools = self.base + "\\Tools"
        keys = {}
        keys.update(uninstall_entry("IxaDriver_is1", tools, "5.0"))
        keys.update(uninstall_entry("IxaDriver", tools, "5.0", "20240229"))
        keys.update(uninstall_entry("TouchGuard_is1", "C:\\Unused", "1.2", "29022024"))
        keys[IXA_DRIVER] = {"InstallPath": dword(5), "Version": sz("7.7")}
        for service, count in (("Ixa", None), ("Bios", 1), ("KvKmonDrv", 5)):
            keys.update(service_count(service, count))
        bios, cpl, ups, guard = (self.drivers + "\\KvBiosDrv.sys", self.system + "\\KvDeviceDesk.cpl",
                                 self.system + "\\KvIxaUps.dll", self.system + "\\KvTouchGuardSvc.exe")
        scan, size = self.scan_with(keys, {bios: b"bios", cpl: "version", ups: "version", guard: "version"},
                                    utc(2030, 12, 31, 23, 59, 58))
        late = "2030-12-31 23:59:58"
        self.assertGroup(scan, (info("5.0", tools, "2024-02-29"), [
            ("KvBiosDrv.sys", present(bios, 4, None, late)),
            ("KvKmonDrv.sys", missing(self.drivers + "\\KvKmonDrv.sys")),
            ("KvDeviceDesk.cpl", present(cpl, size[cpl], modified=late)),
            ("KvIxa.dll", missing(self.system + "\\KvIxa.dll")),
            ("KvIxaUps.dll", present(ups, size[ups], modified=late))]), [
            ("Touch Guard", info("1.2", "C:\\Unused", "2024-02-29"), [
                ("KvTouchGuardSvc.exe", present(guard, size[guard], modified=late)),
                ("KvUsbTouchGuard.sys", missing(self.drivers + "\\KvUsbTouchGuard.sys"))])])

    def test_uninstall_entries_of_32_bit_installers_are_read_from_the_32_bit_view(self):
        # The registry views holding the IXA driver's and the SNMP agent's entries; the
        # entries differ by view, and the 64-bit one wins where both are there.
        for views in (("64",), ("32",), ("64", "32")):
            with self.subTest(views=views):
                keys = {}
                for view in views:
                    location = self.base + "\\View" + view
                    entries = uninstall_entry("IxaDriver_is1", location, view + ".1", "20120915")
                    entries.update(uninstall_entry("Kavrol IXA SNMP Agent", location, view + ".2", "15092012"))
                    keys.update(entries if view == "64" else in_32_bit_view(entries))
                scan, _ = self.scan_with(keys, {})
                shown = views[0]
                location = self.base + "\\View" + shown
                self.assertGroup(scan, (info(shown + ".1", location, "2012-09-15"), [
                    ("KvDeviceDesk.cpl", missing(self.system + "\\KvDeviceDesk.cpl")),
                    ("KvIxa.dll", missing(self.system + "\\KvIxa.dll"))]), [
                    ("IXA SNMP Agent", info(shown + ".2", location, "2012-09-15"), [
                        ("KvIxaSnmp.dll", missing(location + "\\KvIxaSnmp.dll", 3))])])

    def test_driver_key_version_and_install_path_with_trailing_backslash(self):
        ixa = self.base + "\\Ixa\\"
        keys = {IXA_DRIVER: {"Version": sz("2.5.0"), "InstallPath": sz(ixa)}}
        scan, _ = self.scan_with(keys, {ixa + "FactoryResetTool.exe": b"reset"})
        # InstallPath keeps its trailing backslash: the paths built from it hold two.
        self.assertGroup(scan, ([("Setup version", "2.5.0")], [
            ("KvDeviceDesk.cpl", missing(self.system + "\\KvDeviceDesk.cpl")),
            ("KvIxa.dll", missing(self.system + "\\KvIxa.dll")),
            ("FactoryResetTool.exe", present(ixa + "\\FactoryResetTool.exe", 5, None))]))


if __name__ == "__main__":
    unittest.main()
