"""CPU group: processor identity from the registry, board type, internal temperature and core voltages."""

import re
import subprocess
import unittest

from kvtest import (ScanTestCase, category, group_end, group_start, load_profile, reg, system_text, test_block,
                    wine_env)

PROCESSOR_KEY = r"HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0"
GROUP = "CPU"
DESCRIPTION = "Contains CPU related tests like CPU ID or CPU speed."
ADMIN_TEXT = "Administrative privileges are required to read the CPU temperature via WMI."


def processor_values():
    """The values of the processor key as {name: (type, data)}, or None when it is missing.

    A reg run that fails otherwise (Wine can end a program at start-up under load) is
    tried again; one that keeps failing is an error naming its exit code and output."""
    for _ in range(3):
        out = subprocess.run(["timeout", "60", "wine", "reg", "query", PROCESSOR_KEY], env=wine_env(),
                             capture_output=True, text=True, errors="replace")
        if out.returncode == 0 or "Unable to find" in out.stdout + out.stderr:
            break
    else:
        raise AssertionError("wine reg query %s: exit code %d\n%s%s" % (PROCESSOR_KEY, out.returncode, out.stdout,
                                                                         out.stderr))
    if out.returncode != 0:
        return None
    values = {}
    for line in out.stdout.splitlines():
        match = re.match(r"^    (.+?)    (REG_[A-Z_]+)    (.*)$", line.rstrip("\r"))
        if match:
            values[match.group(1)] = (match.group(2), match.group(3))
    return values


class ProcessorKey:
    """Changes the processor key for one test and puts it back as it was.

    The key is volatile and rebuilt by wineboot; a deleted key can only come back that way."""

    def __init__(self, test):
        self.test = test
        self.saved = None
        self.key_deleted = False

    def __enter__(self):
        self.saved = processor_values()
        self.test.assertTrue(self.saved, "the processor key is missing before the test")
        return self

    def set(self, name, kind, data):
        self.test.assertEqual(0, reg("add", PROCESSOR_KEY, "/v", name, "/t", kind, "/d", data, "/f"))

    def delete(self, name):
        self.test.assertEqual(0, reg("delete", PROCESSOR_KEY, "/v", name, "/f"))

    def delete_key(self):
        self.key_deleted = True
        self.test.assertEqual(0, reg("delete", PROCESSOR_KEY, "/f"))

    def __exit__(self, *exc):
        if self.key_deleted:
            subprocess.run(["timeout", "120", "wine", "wineboot"], env=wine_env(), capture_output=True)
        current = processor_values() or {}
        for name, (kind, data) in self.saved.items():
            if current.get(name) != (kind, data):
                if kind == "REG_DWORD":
                    data = str(int(data, 16))
                reg("add", PROCESSOR_KEY, "/v", name, "/t", kind, "/d", data, "/f")
        for name in current:
            if name not in self.saved:
                reg("delete", PROCESSOR_KEY, "/v", name, "/f")
        self.test.assertEqual(self.saved, processor_values(), "the processor key was not restored")


class Expected:
    """The expected lines of one group, numbered as the report numbers them.

    The group and first test numbers follow from the groups written before it."""

    def __init__(self, scan, name, description, first_category):
        lines = scan.lines
        start = lines.index("\t\t<GroupName>%s</GroupName>" % name) - 2
        self.number = scan.groups().index(name) + 1
        numbers = [int(line.strip()[len("<TestNumber>"):-len("</TestNumber>")]) for line in lines[:start]
                   if line.startswith("\t" * 7 + "<TestNumber>")]
        self.next_test = (max(numbers) if numbers else 0) + 1
        self.lines = group_start(self.number, name, description, first_category)

    def test(self, name, result, fmt="String", status="Passed", description="DescrUndef"):
        self.lines += test_block(name, self.next_test, result, fmt, status, description)
        self.next_test += 1
        return self

    def category(self, name):
        self.lines += category(name)
        return self

    def end(self):
        return self.lines + group_end()


def identity(expected, values, board=None):
    """The identification tests for the registry values as they stand; board None leaves "Board type" out."""
    expected.test("Name", values["ProcessorNameString"][1])
    expected.test("ID", values["Identifier"][1])
    expected.test("Vendor", values["VendorIdentifier"][1])
    expected.test("Maximum Speed", str(int(values["~MHz"][1], 16)), "MHz")
    if board is not None:
        expected.test(*board)
    return expected


def with_answers(name, **entries):
    """A shipped profile with answers replaced: key by key for keyed entry points, whole for the device type."""
    profile = load_profile(name)
    for entry, answers in entries.items():
        if entry == "IxaGetDeviceType":
            profile[entry] = answers
        else:
            profile.setdefault(entry, {}).update(answers)
    return profile


def cpu_calls(scan):
    """The library calls of the CPU temperature: WMI switch, temperature 0 and alarm 11."""
    return [line for line in scan.trace
            if line.startswith(("IxaEnableWmi(", "IxaGetTemperature(0, ", "IxaGetAlarm(11, "))]


class CpuScanTestCase(ScanTestCase):

    def setUp(self):
        super().setUp()
        self.values = processor_values()
        self.assertTrue(self.values, "the prefix has no processor key")


class IdentificationTest(CpuScanTestCase):

    def test_default_device_shows_registry_identity_board_string_and_temperature(self):
        scan = self.scan()
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                            ("Board type", "KTB2.E3845-04"))
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertIn("IxaGetHardwareStringW(16, 512) = 1 [0]", scan.trace)

    def test_values_of_the_processor_key_are_shown_as_stored(self):
        with ProcessorKey(self) as key:
            key.set("ProcessorNameString", "REG_SZ", "Kavrol <Test> CPU & Co @ 2.40GHz  ")
            key.set("~MHz", "REG_DWORD", "2400")
            scan = self.scan()
        expected = Expected(scan, GROUP, DESCRIPTION, "Identification")
        expected.test("Name", "Kavrol <Test> CPU & Co @ 2.40GHz  ")
        expected.test("ID", self.values["Identifier"][1])
        expected.test("Vendor", self.values["VendorIdentifier"][1])
        expected.test("Maximum Speed", "2400", "MHz")
        expected.test("Board type", "KTB2.E3845-04")
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_missing_name_is_not_available_and_missing_identifier_is_the_query_error(self):
        with ProcessorKey(self) as key:
            key.delete("ProcessorNameString")
            key.delete("Identifier")
            scan = self.scan()
        expected = Expected(scan, GROUP, DESCRIPTION, "Identification")
        expected.test("Name", "(not available)", status="Failed")
        expected.test("ID", system_text(2), status="Failed")
        expected.test("Vendor", self.values["VendorIdentifier"][1])
        expected.test("Maximum Speed", str(int(self.values["~MHz"][1], 16)), "MHz")
        expected.test("Board type", "KTB2.E3845-04")
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_values_of_the_wrong_type_give_the_text_of_the_query_result(self):
        with ProcessorKey(self) as key:
            key.set("ProcessorNameString", "REG_EXPAND_SZ", "AMD %CPU%")
            key.set("Identifier", "REG_DWORD", "7")
            key.set("VendorIdentifier", "REG_MULTI_SZ", "Kavrol")
            key.set("~MHz", "REG_SZ", "2400")
            scan = self.scan()
        expected = Expected(scan, GROUP, DESCRIPTION, "Identification")
        expected.test("Name", system_text(0), status="Failed")
        expected.test("ID", system_text(0), status="Failed")
        expected.test("Vendor", system_text(0), status="Failed")
        # "2400" as text needs 10 bytes: the 4-byte query itself fails.
        expected.test("Maximum Speed", system_text(234), status="Failed")
        expected.test("Board type", "KTB2.E3845-04")
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_speed_of_four_bytes_but_not_a_number_type_is_the_text_of_success(self):
        with ProcessorKey(self) as key:
            key.set("~MHz", "REG_BINARY", "60090000")
            scan = self.scan()
        expected = Expected(scan, GROUP, DESCRIPTION, "Identification")
        expected.test("Name", self.values["ProcessorNameString"][1])
        expected.test("ID", self.values["Identifier"][1])
        expected.test("Vendor", self.values["VendorIdentifier"][1])
        expected.test("Maximum Speed", system_text(0), status="Failed")
        expected.test("Board type", "KTB2.E3845-04")
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_unopenable_key_leaves_the_category_empty_without_board_type(self):
        with ProcessorKey(self) as key:
            key.delete_key()
            scan = self.scan()
        expected = Expected(scan, GROUP, DESCRIPTION, "Identification")
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertNotIn("IxaGetHardwareStringW(16, 512) = 1 [0]", scan.trace)

    def test_board_string_the_device_lacks_is_not_available(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetHardwareStringW={"16": {"error": 87}}))
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values, ("Board type", "N/A"))
        expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_board_string_failing_otherwise_is_the_error_text(self):
        for code in (1, 1168):
            with self.subTest(code=code):
                scan = self.scan(profile=with_answers("corvabox-c90.json",
                                                      IxaGetHardwareStringW={"16": {"error": code}}))
                expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                                    ("Board type", system_text(code), "String", "Failed"))
                expected.category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
                self.assertLines(expected.end(), scan.group(GROUP))

    def test_without_device_type_only_the_registry_identity_is_written(self):
        scan = self.scan(profile="no-device.json")
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values)
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual([], cpu_calls(scan))
        self.assertEqual([], scan.calls("IxaGetVoltage"))

    def test_module_family_device_runs_the_group_too(self):
        scan = self.scan(profile="corvabox-c94.json")
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                            ("Board type", "RQD4.i5-8365UE-08"))
        expected.category("Temperatures").test("Internal", "55.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))


class DirectTemperatureTest(CpuScanTestCase):

    def expect(self, scan, board="KTB2.E3845-04"):
        return identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values, ("Board type", board))

    def test_temperature_is_a_signed_byte(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetTemperature={"0": {"u8": "0xF6"}}))
        expected = self.expect(scan).category("Temperatures").test("Internal", "-10.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual(["IxaGetTemperature(0, 1) = 1 [0]", "IxaGetAlarm(11, 4) = 1 [0]"], cpu_calls(scan))

    def test_alarm_flag_sets_status_alarm(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetTemperature={"0": {"u8": "0x37"}},
                                              IxaGetAlarm={"11": {"u32": 2}}))
        expected = self.expect(scan).category("Temperatures").test("Internal", "55.00", "DegreeCentigrade", "Alarm")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_failed_alarm_read_counts_as_no_alarm(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetAlarm={"11": {"error": 31}}))
        expected = self.expect(scan).category("Temperatures").test("Internal", "52.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_temperature_the_device_lacks_writes_no_category(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetTemperature={"0": {"error": 87}}))
        self.assertLines(self.expect(scan).end(), scan.group(GROUP))
        self.assertEqual(["IxaGetTemperature(0, 1) = 0 [87]"], cpu_calls(scan))

    def test_temperature_failing_otherwise_is_the_error_text(self):
        for code in (1, 31):
            with self.subTest(code=code):
                scan = self.scan(profile=with_answers("corvabox-c90.json",
                                                      IxaGetTemperature={"0": {"error": code}}))
                expected = self.expect(scan).category("Temperatures").test("Internal", system_text(code),
                                                                           status="Failed")
                self.assertLines(expected.end(), scan.group(GROUP))
                self.assertEqual(["IxaGetTemperature(0, 1) = 0 [%d]" % code], cpu_calls(scan))

    def test_models_without_cpu_temperature_write_no_category(self):
        for name, board in (("voltadeck-v70.json", "WTC3.Celeron-2002E-01"), ("corvabox-c80.json", "STC3.i3-4010U-03"),
                            ("corvabox-c81.json", "STC3.i5-4300U-03")):
            with self.subTest(profile=name):
                # The temperature would be readable: only the model keeps it out.
                scan = self.scan(profile=with_answers(name, IxaGetTemperature={"0": {"i8": 40}}))
                self.assertLines(self.expect(scan, board).end(), scan.group(GROUP))
                self.assertEqual([], cpu_calls(scan))

    def test_other_models_read_the_temperature_directly(self):
        for name, board, value in (("corvabox-c40.json", "RTC3.i7-3517UE-01", "57.00"),
                                   ("corvabox-c60.json", "STC3.i7-4650U-01", "50.00"),
                                   ("panevox-p91.json", "KTB2.E3845-04", "54.00"),
                                   ("corvabox-c92.json", "RQD4.i7-8665UE-01", "53.00"),
                                   ("panevox-p93.json", "RQD4.i5-8365UE-02", "49.00")):
            with self.subTest(profile=name):
                scan = self.scan(profile=name)
                expected = self.expect(scan, board).category("Temperatures").test("Internal", value,
                                                                                  "DegreeCentigrade")
                self.assertLines(expected.end(), scan.group(GROUP))
                self.assertEqual([], scan.calls("IxaEnableWmi"))


class WmiTemperatureTest(CpuScanTestCase):

    def expect(self, scan, board="SSFW.i5-6300U-02"):
        return identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values, ("Board type", board))

    def test_p50_with_ssfw_board_reads_through_wmi_without_alarm(self):
        scan = self.scan(profile="panevox-p50.json")
        expected = self.expect(scan).category("Temperatures").test("Internal", "46.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual(["IxaEnableWmi(1) = 1 [0]", "IxaGetTemperature(0, 1) = 1 [0]", "IxaEnableWmi(0) = 1 [0]"],
                         cpu_calls(scan))

    def test_alarm_flag_is_not_looked_at_on_the_wmi_way(self):
        scan = self.scan(profile=with_answers("panevox-p50.json", IxaGetTemperature={"0": {"i8": -3}},
                                              IxaGetAlarm={"11": {"u32": 1}}))
        expected = self.expect(scan).category("Temperatures").test("Internal", "-3.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        # The system unit and the panels read alarms of their own: only the CPU's (11) must stay unread.
        self.assertEqual(["IxaEnableWmi(1) = 1 [0]", "IxaGetTemperature(0, 1) = 1 [0]", "IxaEnableWmi(0) = 1 [0]"],
                         cpu_calls(scan))

    def test_not_found_asks_for_administrative_privileges_and_switches_wmi_off(self):
        scan = self.scan(profile=with_answers("panevox-p50.json", IxaGetTemperature={"0": {"error": 1168}}))
        expected = self.expect(scan).category("Temperatures").test("Internal", ADMIN_TEXT, status="Failed")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual(["IxaEnableWmi(1) = 1 [0]", "IxaGetTemperature(0, 1) = 0 [1168]",
                          "IxaEnableWmi(0) = 1 [0]"], cpu_calls(scan))

    def test_other_failures_are_the_error_text_even_87(self):
        for code in (87, 5):
            with self.subTest(code=code):
                scan = self.scan(profile=with_answers("panevox-p50.json", IxaGetTemperature={"0": {"error": code}}))
                expected = self.expect(scan).category("Temperatures").test("Internal", system_text(code),
                                                                           status="Failed")
                self.assertLines(expected.end(), scan.group(GROUP))
                self.assertEqual("IxaEnableWmi(0) = 1 [0]", cpu_calls(scan)[-1])

    def test_failing_wmi_switch_does_not_stop_the_read(self):
        scan = self.scan(profile=with_answers("panevox-p50.json", IxaEnableWmi={"1": {"error": 5}, "0": {"error": 5}}))
        expected = self.expect(scan).category("Temperatures").test("Internal", "46.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual(["IxaEnableWmi(1) = 0 [5]", "IxaGetTemperature(0, 1) = 1 [0]", "IxaEnableWmi(0) = 0 [5]"],
                         cpu_calls(scan))

    def test_p50_with_another_board_reads_directly(self):
        scan = self.scan(profile=with_answers("panevox-p50.json",
                                              IxaGetHardwareStringW={"16": {"wstr": "STC3.i5-4300U-01"}}))
        expected = self.expect(scan, "STC3.i5-4300U-01").category("Temperatures").test("Internal", "46.00",
                                                                                        "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual(["IxaGetTemperature(0, 1) = 1 [0]", "IxaGetAlarm(11, 4) = 1 [0]"], cpu_calls(scan))

    def test_ssfw_board_on_another_model_reads_directly(self):
        scan = self.scan(profile=with_answers("panevox-p50.json", IxaGetDeviceType={"u32": 12}))
        expected = self.expect(scan).category("Temperatures").test("Internal", "46.00", "DegreeCentigrade")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual([], scan.calls("IxaEnableWmi"))


class CoreVoltageTest(CpuScanTestCase):

    def test_c20_with_wtb2_board_shows_vcore_a_and_b(self):
        scan = self.scan(profile="corvabox-c20.json")
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                            ("Board type", "WTB2XKL.N2930-02"))
        expected.category("Temperatures").test("Internal", "48.00", "DegreeCentigrade")
        expected.category("Voltages").test("VcoreA", "1.234", "Volt")
        expected.test("VcoreB", "1.105", "Volt", description="Only supported on WTB2 CPU boards")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_p30_with_another_board_shows_vcore_a_only(self):
        scan = self.scan(profile="panevox-p30.json")
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                            ("Board type", "TA1K-N270-03"))
        expected.category("Temperatures").test("Internal", "61.00", "DegreeCentigrade")
        expected.category("Voltages").test("VcoreA", "1.080", "Volt")
        self.assertLines(expected.end(), scan.group(GROUP))
        self.assertEqual(["IxaGetVoltage(0, 4) = 1 [0]"], [c for c in scan.calls("IxaGetVoltage")
                                                          if c.startswith(("IxaGetVoltage(0,", "IxaGetVoltage(4,"))])

    def test_voltages_are_divided_in_single_precision(self):
        # As floats 4294967295 mV is 4294967296 and 33554433 mV is 33554432; double precision would give
        # 4294967.295 and 33554.433.
        for values, texts in (((1234, 0), ("1.234", "0.000")),
                              ((4294967295, 33554433), ("4294967.500", "33554.434"))):
            with self.subTest(values=values):
                scan = self.scan(profile=with_answers("corvabox-c20.json", IxaGetVoltage={
                    "0": {"u32": values[0]}, "4": {"u32": values[1]}}))
                expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                                    ("Board type", "WTB2XKL.N2930-02"))
                expected.category("Temperatures").test("Internal", "48.00", "DegreeCentigrade")
                expected.category("Voltages").test("VcoreA", texts[0], "Volt")
                expected.test("VcoreB", texts[1], "Volt", description="Only supported on WTB2 CPU boards")
                self.assertLines(expected.end(), scan.group(GROUP))

    def test_failed_voltage_reads_are_error_texts_even_87(self):
        scan = self.scan(profile=with_answers("corvabox-c20.json",
                                              IxaGetVoltage={"0": {"error": 87}, "4": {"error": 1}}))
        expected = identity(Expected(scan, GROUP, DESCRIPTION, "Identification"), self.values,
                            ("Board type", "WTB2XKL.N2930-02"))
        expected.category("Temperatures").test("Internal", "48.00", "DegreeCentigrade")
        expected.category("Voltages").test("VcoreA", system_text(87), status="Failed")
        expected.test("VcoreB", system_text(1), status="Failed", description="Only supported on WTB2 CPU boards")
        self.assertLines(expected.end(), scan.group(GROUP))

    def test_other_models_have_no_voltages(self):
        for name in ("corvabox-c40.json", "voltadeck-v70.json", "panevox-p91.json"):
            with self.subTest(profile=name):
                scan = self.scan(profile=with_answers(name, IxaGetVoltage={"0": {"u32": 1000}, "4": {"u32": 1000}}))
                self.assertNotIn("\t\t\t<CategoryName>Voltages</CategoryName>", scan.group(GROUP))
                self.assertEqual([], [c for c in scan.calls("IxaGetVoltage") if c.startswith("IxaGetVoltage(0,")])


if __name__ == "__main__":
    unittest.main()
