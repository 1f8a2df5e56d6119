"""The memory group: physical memory and paging file of the host, and the memory
modules' factory settings on the models that carry them."""

import re
import unittest

from kvtest import TAB, ScanTestCase, category, group_end, group_start, load_profile, system_text, test_block

DESCRIPTION = "Contains tests of memory related items like the available physical RAM."

# Host figures change between runs: the shape of the whole line is fixed.
T7 = r"^\t{7}"
PHYSICAL_TOTAL = re.compile(T7 + r'<TestResult Format="(?:GigaByte">\d+\.\d\d|MegaByte">\d+)</TestResult>$')
PHYSICAL_FREE = re.compile(T7 + r'<TestResult Format="(?:GigaByte">\d+\.\d\d|MegaByte">\d+|KiloByte">\d+)'
                           r'</TestResult>$')
PERCENT = re.compile(T7 + r'<TestResult Format="Percent">\d{1,3}</TestResult>$')
PAGING_FILE = re.compile(T7 + r'<TestResult Format="EnableDisable">(?:Enabled|Disabled)</TestResult>$')
PAGING_SIZE = re.compile(T7 + r'<TestResult Format="(?:GigaByte|MegaByte)">\d+\.\d\d</TestResult>$')

MODULE_1_RAW = [0x92, 0x11, 0x0B, 0x03] + [0x00] * 120 + [0x3D, 0x4C, 0x6C, 0x9D]
MODULE_2_RAW = [0xA1] + [0x5A] * 127

COMPATIBILITY = ("The compatibility ID is used to recognize hardware changes that are important for "
                 "device-specific software.")
PARENT_DEVICE = ("The parent device ID indicates the device from which the current device was derived (e.g. for a "
                 "customer specific variant of a standard device). FFFFFFFFh indicates that there is no parent.")
PARENT_COMPATIBILITY = ("The compatibility ID indicates the device from which the current device was derived (e.g. "
                        "for a customer specific variant of a standard device). FFFFh indicates that there is no "
                        "parent.")


def hex_text(data):
    return " ".join("%02X" % b for b in data)


def dump(data):
    """The raw-data text as the report shows it: a line break before every 16 bytes."""
    return "".join(("\r\n" if i % 16 == 0 else "") + "%02X" % b for i, b in enumerate(data))


def regex_test(name, number, result_pattern):
    """A test whose result line is only known by its shape."""
    lines = test_block(name, number, "")
    lines[4] = result_pattern
    return lines


def split_lines(lines):
    """Results holding CR LF span several report lines."""
    return [part for line in lines for part in line.split("\r\n")]


def with_memory_modules(profile, raw1_length=128, module1=True, module2=True):
    """Adds both memory modules' factory settings and presence values to a profile."""
    factory = profile.setdefault("IxaGetFactoryValue", {})
    strings = profile.setdefault("IxaGetFactoryStringW", {})
    hardware = profile.setdefault("IxaGetHardwareValue", {})
    raw1 = MODULE_1_RAW + [0xEE] * (raw1_length - len(MODULE_1_RAW))
    factory.update({
        "80": {"wstr": "V1.01"}, "71": {"u32": 0}, "69": {"u32": "0x0000D101"}, "70": {"u16": "0x000C"},
        "75": {"u32": "0xFFFFFFFF"}, "76": {"u16": "0xFFFF"}, "84": {"hex": hex_text(raw1)},
        "123": {"wstr": "V2.10"}, "117": {"u32": "0x00000007"}, "115": {"u32": "0x0000D102"},
        "116": {"u16": "0x0001"}, "121": {"u32": "0x0000D100"}, "122": {"u16": "0x00A0"},
        "124": {"hex": hex_text(MODULE_2_RAW)},
    })
    strings.update({
        "72": {"wstr": "A0"}, "73": {"wstr": "E9M40183377\n"}, "74": {"wstr": "KV-MEM.DDR3L-4G"},
        "118": {"wstr": "B1"}, "119": {"wstr": "E9M40183378"}, "120": {"wstr": "KV-MEM<2>&\"8G\""},
    })
    hardware["64"] = {"u32": 1 if module1 else 0}
    hardware["60"] = {"u32": 2 if module2 else 0}
    return profile


def module_1_tests(first, with_version=True, raw_length=128):
    n = first
    lines = []
    if with_version:
        lines += test_block("Version", n, "V1.01")
        n += 1
    lines += test_block("Vendor ID", n, "00000000", "Hex", description="Kavrol = 0.")
    lines += test_block("Device ID", n + 1, "0000D101", "Hex")
    lines += test_block("Compatibility ID", n + 2, "000C", "Hex", description=COMPATIBILITY)
    lines += test_block("Parent Device ID", n + 3, "FFFFFFFF", "Hex", description=PARENT_DEVICE)
    lines += test_block("Parent Compatibility ID", n + 4, "FFFF", "Hex", description=PARENT_COMPATIBILITY)
    lines += test_block("Hardware revision", n + 5, "A0")
    lines += test_block("Serial number", n + 6, "E9M40183377")
    lines += test_block("Model number", n + 7, "KV-MEM.DDR3L-4G")
    n += 8
    if raw_length:
        raw = MODULE_1_RAW + [0xEE] * (raw_length - len(MODULE_1_RAW))
        lines += split_lines(test_block("Raw data", n, dump(raw), "Raw", description="Complete factory settings"))
    return lines


def module_2_tests(first, with_version=True, with_raw=True):
    n = first
    lines = []
    if with_version:
        lines += test_block("Version", n, "V2.10")
        n += 1
    lines += test_block("Vendor ID", n, "00000007", "Hex", description="Kavrol = 0.")
    lines += test_block("Device ID", n + 1, "0000D102", "Hex")
    lines += test_block("Compatibility ID", n + 2, "0001", "Hex", description=COMPATIBILITY)
    lines += test_block("Parent Device ID", n + 3, "0000D100", "Hex", description=PARENT_DEVICE)
    lines += test_block("Parent Compatibility ID", n + 4, "00A0", "Hex", description=PARENT_COMPATIBILITY)
    lines += test_block("Hardware revision", n + 5, "B1")
    lines += test_block("Serial number", n + 6, "E9M40183378")
    lines += test_block("Model number", n + 7, "KV-MEM<2>&\"8G\"")
    n += 8
    if with_raw:
        lines += split_lines(test_block("Raw data", n, dump(MODULE_2_RAW), "Raw",
                                        description="Complete factory settings"))
    return lines


def count_tests(lines):
    return sum(1 for line in lines if line.startswith(TAB * 7 + "<TestNumber>"))


class MemoryTestCase(ScanTestCase):

    def memory_group(self, scan, modules=lambda first: ([], 0)):
        """Checks the whole group. modules(first test number) gives the lines between the
        physical and the paging memory and their number of tests."""
        self.assertIsNotNone(scan.lines, scan.stderr)
        self.assertIn("Memory", scan.groups())
        number = scan.groups().index("Memory") + 1
        actual = scan.group("Memory")
        start = scan.lines.index(TAB * 2 + "<GroupNumber>%d</GroupNumber>" % number) - 1
        first = count_tests(scan.lines[:start]) + 1

        expected = group_start(number, "Memory", DESCRIPTION, "Physical Memory")
        expected += regex_test("Total", first, PHYSICAL_TOTAL)
        expected += regex_test("Free", first + 1, PHYSICAL_FREE)
        expected += regex_test("Usage", first + 2, PERCENT)
        module_lines, module_count = modules(first + 3)
        expected += module_lines
        n = first + 3 + module_count
        expected += category("Paging Memory")
        expected += regex_test("Paging file", n, PAGING_FILE)
        expected += regex_test("Total", n + 1, PAGING_SIZE)
        expected += regex_test("Free", n + 2, PAGING_SIZE)
        expected += regex_test("Usage", n + 3, PERCENT)
        expected += group_end()
        self.assertGroupLines(expected, actual)
        return actual

    def assertGroupLines(self, expected, actual):
        """Whole lines; a compiled pattern must match its whole line."""
        resolved = []
        for i, line in enumerate(expected):
            if isinstance(line, re.Pattern):
                matches = i < len(actual) and line.fullmatch(actual[i])
                resolved.append(actual[i] if matches else "<line matching %s>" % line.pattern)
            else:
                resolved.append(line)
        self.assertEqual(resolved, list(actual))


def both_modules(with_version=True, with_raw=True):
    """Both modules as a C90 (128-byte dumps) or, without version and raw data, a P91 shows them."""
    def lines(first):
        out = category("Memory Module 1", "Factory Settings")
        out += module_1_tests(first, with_version, 128 if with_raw else 0)
        count = count_tests(out)
        out += category("Memory Module 2", "Factory Settings")
        out += module_2_tests(first + count, with_version, with_raw)
        return out, count_tests(out)
    return lines


class MemoryModulesTest(MemoryTestCase):

    def test_c90_writes_both_modules_between_physical_and_paging_memory(self):
        scan = self.scan(with_memory_modules(load_profile("corvabox-c90.json")))
        self.memory_group(scan, both_modules())
        self.assertIn("IxaGetModuleTemperatureValue(0, 0, 0, 4) = 0 [1]", scan.calls("IxaGetModuleTemperatureValue"))
        hardware = scan.calls("IxaGetHardwareValue")
        self.assertIn("IxaGetHardwareValue(64, 4) = 1 [0]", hardware)
        self.assertIn("IxaGetHardwareValue(60, 4) = 1 [0]", hardware)
        factory = scan.calls("IxaGetFactoryValue")
        for call in ("IxaGetFactoryValue(80, 512) = 1 [0]", "IxaGetFactoryValue(71, 4) = 1 [0]",
                     "IxaGetFactoryValue(69, 4) = 1 [0]", "IxaGetFactoryValue(70, 2) = 1 [0]",
                     "IxaGetFactoryValue(75, 4) = 1 [0]", "IxaGetFactoryValue(76, 2) = 1 [0]",
                     "IxaGetFactoryValue(84, 128) = 1 [0]", "IxaGetFactoryValue(123, 512) = 1 [0]",
                     "IxaGetFactoryValue(124, 128) = 1 [0]"):
            self.assertIn(call, factory)
        strings = scan.calls("IxaGetFactoryStringW")
        for selector in (72, 73, 74, 118, 119, 120):
            self.assertIn("IxaGetFactoryStringW(%d, 512) = 1 [0]" % selector, strings)

    def test_c90_with_only_the_second_module_present(self):
        scan = self.scan(with_memory_modules(load_profile("corvabox-c90.json"), module1=False))

        def lines(first):
            out = category("Memory Module 2", "Factory Settings") + module_2_tests(first)
            return out, 10
        self.memory_group(scan, lines)
        self.assertNotIn("IxaGetFactoryValue(84, 128) = 1 [0]", scan.calls("IxaGetFactoryValue"))

    def test_failed_presence_reads_count_as_absent_modules(self):
        profile = with_memory_modules(load_profile("corvabox-c90.json"))
        profile["IxaGetHardwareValue"]["64"] = {"error": 5}
        profile["IxaGetHardwareValue"]["60"] = {"u16": 1}  # a 4-byte read of it fails with 87
        scan = self.scan(profile)
        self.memory_group(scan)
        self.assertIn("IxaGetHardwareValue(64, 4) = 0 [5]", scan.calls("IxaGetHardwareValue"))
        self.assertIn("IxaGetHardwareValue(60, 4) = 0 [87]", scan.calls("IxaGetHardwareValue"))

    def test_p91_leaves_out_version_and_raw_data_of_both_modules(self):
        scan = self.scan(with_memory_modules(load_profile("panevox-p91.json")))
        self.memory_group(scan, both_modules(with_version=False, with_raw=False))
        factory = scan.calls("IxaGetFactoryValue")
        for selector in (80, 84, 123, 124):
            self.assertFalse([c for c in factory if c.startswith("IxaGetFactoryValue(%d," % selector)], selector)

    def test_v70_c80_and_c81_show_module_1_with_512_bytes_and_no_presence_check(self):
        for name in ("voltadeck-v70.json", "corvabox-c80.json", "corvabox-c81.json"):
            with self.subTest(name):
                profile = with_memory_modules(load_profile(name), raw1_length=512, module1=False, module2=False)
                scan = self.scan(profile)

                def lines(first):
                    out = category("Factory Settings") + module_1_tests(first, raw_length=512)
                    return out, 10
                self.memory_group(scan, lines)
                self.assertIn("IxaGetFactoryValue(84, 512) = 1 [0]", scan.calls("IxaGetFactoryValue"))
                hardware = scan.calls("IxaGetHardwareValue")
                self.assertFalse([c for c in hardware if c.startswith(("IxaGetHardwareValue(64,",
                                                                       "IxaGetHardwareValue(60,"))])

    def test_c92_has_no_memory_module_category_although_the_probe_fails_with_error_1(self):
        scan = self.scan(with_memory_modules(load_profile("corvabox-c92.json")))
        self.memory_group(scan)
        self.assertIn("IxaGetModuleTemperatureValue(0, 0, 0, 4) = 0 [1]", scan.calls("IxaGetModuleTemperatureValue"))

    def test_module_probe_success_leaves_the_modules_out(self):
        profile = with_memory_modules(load_profile("corvabox-c90.json"))
        profile["IxaGetModuleTemperatureValue"] = {"0/0/0": {"u32": 31}, "default": {"error": 1}}
        scan = self.scan(profile)
        self.memory_group(scan)
        self.assertIn("IxaGetModuleTemperatureValue(0, 0, 0, 4) = 1 [0]", scan.calls("IxaGetModuleTemperatureValue"))
        self.assertNotIn("IxaGetHardwareValue(64, 4) = 1 [0]", scan.calls("IxaGetHardwareValue"))

    def test_module_probe_failing_with_another_error_leaves_the_modules_out(self):
        for error in (87, 5):
            with self.subTest(error):
                profile = with_memory_modules(load_profile("corvabox-c90.json"))
                profile["IxaGetModuleTemperatureValue"] = {"default": {"error": error}}
                scan = self.scan(profile)
                self.memory_group(scan)
                self.assertNotIn("IxaGetHardwareValue(64, 4) = 1 [0]", scan.calls("IxaGetHardwareValue"))

    def test_library_without_module_entry_points_shows_the_modules(self):
        scan = self.scan(with_memory_modules(load_profile("corvabox-c90.json")), library="legacy")
        self.memory_group(scan, both_modules())
        self.assertEqual([], scan.calls("IxaGetModuleTemperatureValue"))

    def test_without_library_only_physical_and_paging_memory_are_written(self):
        scan = self.scan(library=None)
        self.memory_group(scan)

    def test_failed_factory_reads_are_failed_tests_with_the_system_text(self):
        profile = with_memory_modules(load_profile("corvabox-c90.json"), module2=False)
        profile["IxaGetFactoryValue"]["80"] = {"error": 5}
        profile["IxaGetFactoryValue"]["69"] = {"u16": 1}  # a 4-byte read of it fails with 87
        profile["IxaGetFactoryStringW"]["73"] = {"error": 1}
        del profile["IxaGetFactoryValue"]["84"]
        scan = self.scan(profile)

        def lines(first):
            tests = module_1_tests(first, raw_length=0)
            failed = {"Version": 5, "Device ID": 87, "Serial number": 1}
            for i, line in enumerate(tests):
                name = re.fullmatch(r"\t{7}<TestName>(.*)</TestName>", line)
                if name and name.group(1) in failed:
                    tests[i + 3] = TAB * 7 + '<TestResult Format="String">%s</TestResult>' % system_text(
                        failed[name.group(1)])
                    tests[i + 4] = TAB * 7 + "<TestStatus>Failed</TestStatus>"
            tests += test_block("Raw data", first + 9, system_text(87), status="Failed",
                                description="Complete factory settings")
            return category("Memory Module 1", "Factory Settings") + tests, 10
        self.memory_group(scan, lines)


class HostMemoryTest(MemoryTestCase):

    def figures(self, lines):
        """(test name, format, value) of every test of the group."""
        out = []
        for i, line in enumerate(lines):
            result = re.fullmatch(r'\t{7}<TestResult Format="(\w+)">([^<]*)</TestResult>', line)
            if result:
                name = re.fullmatch(r"\t{7}<TestName>(.*)</TestName>", lines[i - 3]).group(1)
                out.append((name, result.group(1), result.group(2)))
        return out

    def test_figures_follow_their_unit_rules(self):
        scan = self.scan(library=None)
        lines = self.memory_group(scan)
        figures = self.figures(lines)
        self.assertEqual(["Total", "Free", "Usage", "Paging file", "Total", "Free", "Usage"], [f[0] for f in figures])
        (_, total_unit, total), (_, free_unit, free), (_, _, usage) = figures[:3]
        # Total switches to gigabytes above 1 GiB, free at 1 GiB and above.
        if total_unit == "GigaByte":
            self.assertGreaterEqual(float(total), 1.0)
        else:
            self.assertLessEqual(int(total), 1024)
        if free_unit == "GigaByte":
            self.assertGreaterEqual(float(free), 1.0)
        elif free_unit == "MegaByte":
            self.assertTrue(1 <= int(free) <= 1023, free)
        else:
            self.assertLess(int(free), 1024)
        self.assertLessEqual(int(usage), 100)
        for _, unit, value in figures[4:6]:
            if unit == "MegaByte":
                self.assertLessEqual(float(value), 1024.0)
            else:
                self.assertGreaterEqual(float(value), 1.0)
        self.assertLessEqual(int(figures[6][2]), 100)

    def test_total_physical_memory_is_the_machines(self):
        with open("/proc/meminfo") as f:
            kib = int(re.search(r"^MemTotal:\s+(\d+) kB", f.read(), re.M).group(1))
        scan = self.scan(library=None)
        unit, value = self.figures(self.memory_group(scan))[0][1:]
        shown_mib = float(value) * 1024 if unit == "GigaByte" else float(value)
        self.assertAlmostEqual(kib / 1024, shown_mib, delta=max(16.0, kib / 1024 * 0.02))


if __name__ == "__main__":
    unittest.main()
