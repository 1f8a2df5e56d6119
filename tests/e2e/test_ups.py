"""UPS group: type, firmware, status bits, communication, factory and battery settings, the user settings
the library uploads, the Windows UPS service configuration, battery figures and the on-battery counters.

Expected groups are the C90's ZELO (or its ZELOS variant) with the categories a scenario changes; each
scenario is one scan, compared line by line, and the library trace where the calls themselves matter."""

import os
import re
import unittest

from host_fixtures import UPS_CONFIG, dword, expand_sz, group_lines, hex_value, linux_path, registry, sz, unterminated
from kvtest import ScanTestCase, load_profile, system_text
from test_cpu import with_answers
from test_cpu_board import dump

GROUP = "UPS"
DESCRIPTION = "Contains tests of several UPS related items like battery voltages or UPS status."
ORDER = ["Firmware", "Status", "Factory Settings", "Battery Settings", "User Settings", "System Settings",
         "Temperatures", "Currents", "Voltages", "Statistics"]
# Every test with a description; the labels are unique within the group.
DESCRIPTIONS = {
    "Vendor ID": "Kavrol = 0.",
    "Compatibility ID": "The compatibility ID is used to recognize hardware changes that are important for "
                        "device-specific software.",
    "Raw data": "Complete factory settings",
    "On-battery cycles": "Number of battery operation cycles (e.g. power failures)",
    "On-battery hours": "Battery operation hours ",
    "Shutdown on battery time": "The time the UPS runs on battery before initiating a critical alarm.",
    "Run task": "The scheduled task to run before the UPS service initiates a system shutdown.",
    "UPS turn off delay": "The remaining time when a \"low battery\" alarm occurs before the UPS turns off the power.",
    "Standard notification": "Operating system specific UPS service notifications.",
    "Kavrol notification": "Kavrol specific UPS service notifications.",
    "Show UPS status with Kavrol UPS Monitor": "If enabled the UPS status changes will be shown in the UPS monitor "
                                               "instead of single messages.",
}

# Status bits in report order: label, mask, verdict when set, verdict when clear.
BITS = [("Power OK", 0x0001, "Passed", "Alarm"), ("On battery", 0x0004, "Alarm", "Passed"),
        ("Low battery", 0x0008, "Alarm", "Passed"), ("Battery failure", 0x0020, "Alarm", "Passed"),
        ("Battery settings failure", 0x0002, "Alarm", "Passed"), ("Battery polarity reversed", 0x0010, "Alarm", "Passed"),
        ("Factory settings failure", 0x0200, "Alarm", "Passed"), ("User settings failure", 0x0400, "Passed", "Passed"),
        ("Over current alarm", 0x0100, "Alarm", "Passed"), ("Battery temperature alarm", 0x8000, "Alarm", "Passed")]


def bits(word, count=10):
    """The first count status bit tests for a status word."""
    return [(label, "Yes" if word & mask else "No", "YesNo", on if word & mask else off)
            for label, mask, on, off in BITS[:count]]


def failed(label, code):
    return (label, system_text(code), "String", "Failed")


def error(code):
    return {"error": code}


def block_of(answer):
    """The bytes of a hex answer, padded as the simulated library pads them."""
    rows = answer["hex"] if isinstance(answer["hex"], list) else [answer["hex"]]
    data = bytes.fromhex("".join(rows))
    return data + bytes([answer.get("fill", 0)]) * (answer.get("length", len(data)) - len(data))


def raw_row(data, length=None):
    return ("Raw data", dump(data, length or len(data)), "Raw")


def communication(requests, errors, quality):
    return [("Communication requests", str(requests)), ("Communication errors", str(errors)),
            ("Link quality", str(quality), "Percent")]


def user_settings(*rows, raw):
    return [("Status", "Valid", "Unknown")] + list(rows) + [raw_row(raw)]


def hardware(**values):
    """IxaGetHardwareValue answers by selector (s31=...): an int is a 32-bit value."""
    return {"IxaGetHardwareValue": {k[1:]: {"u32": v} if isinstance(v, int) else v for k, v in values.items()}}


def battery_figures(temperature, current, voltage):
    return {"Temperatures": [("Battery temperature",) + temperature], "Currents": [("Battery current", current, "Ampere")],
            "Voltages": [("Battery voltage", voltage, "Volt")]}


C90 = load_profile("corvabox-c90.json")
C94_ZELO = load_profile("corvabox-c94-zelo.json")
ENABLED = ("Current limitation (8A)", "Enabled", "EnableDisable")
TURN_OFF = ("Over current shutdown action", "Turn off within 1 minute (UL-conform)")
LOW_BATTERY = ("Over current shutdown action", "Perform 'low battery' shutdown (not UL-conform)")
ZELO = dict({
    "Firmware": [("Type", "ZELO"), ("Firmware version", "1.12")],
    "Status": bits(0x0001) + communication(200, 3, 99),
    "Factory Settings": [("Version", "V1.03"), ("Vendor ID", "00000000", "Hex"), ("Device ID", "00005A10", "Hex"),
                         ("Compatibility ID", "0001", "Hex"), ("Hardware revision", "A1"),
                         ("Serial number", "E9U20181105"), ("Model number", "KV-UPS.ZELO-01"),
                         raw_row(block_of(C90["IxaGetFactoryValue"]["33"]), 256)],
    "Battery Settings": [("Status", "Valid", "Unknown"), ("Version", "V1.00"), ("Device ID", "00005B22", "Hex"),
                         ("Model number", "KV-BAT.2200-01"), raw_row(block_of(C90["IxaGetFactoryValue"]["41"]), 256)],
    "User Settings": user_settings(ENABLED, TURN_OFF, ("Low battery shutdown time", "300", "Seconds"),
                                   raw=block_of(C90["IxaUploadFileW"]["17"])),
    "System Settings": [("Status", "There is no UPS configured in the system.\r")],
}, **battery_figures(("29.00", "DegreeCentigrade"), "0.12", "13.62"))
ZELOS = dict(ZELO, **{
    "Firmware": [("Type", "ZELOS")], "Status": bits(0x0005), "Factory Settings": None, "Battery Settings": None,
    "User Settings": user_settings(ENABLED, LOW_BATTERY, ("Low battery shutdown time", "180", "Seconds"),
                                   raw=block_of(load_profile("corvabox-c90-zelos.json")["IxaUploadFileW"]["17"])),
    "Statistics": [("On-battery cycles", "27", "Dec"), ("On-battery hours", "5", "Dec")],
}, **battery_figures(("31.00", "DegreeCentigrade"), "-1.5", "12.48"))
USER_INVALID = [("Status", "Invalid", "Unknown")]

# The calls of the communication counters, factory and battery settings: a ZELOS makes none of them.
ZELO_ONLY_CALLS = ("IxaGetHardwareValue(36, ", "IxaGetFirmwareStringW(25, 512)") + tuple(
    "IxaGetFactoryValue(%d, " % s for s in (33, 35, 36, 37, 38, 41, 42, 43, 44)) + tuple(
    "IxaGetFactoryStringW(%d, " % s for s in (34, 39, 40))


def calls_of(scan, *starts):
    return [call for call in scan.trace if call.startswith(starts)]


class UpsTestCase(ScanTestCase):

    def assertUps(self, scan, expected, uploads=1):
        """The whole group, and the upload: made uploads times, its exchange file gone afterwards."""
        def described(row):
            return row + ("String", "Passed")[len(row) - 2:] + (DESCRIPTIONS.get(row[0], "DescrUndef"),)
        categories = [(name, [("CatUndef", [described(row) for row in expected[name]])])
                      for name in ORDER if expected.get(name) is not None]
        self.assertLines(group_lines(scan, GROUP, DESCRIPTION, categories), scan.group(GROUP))
        calls = scan.calls("IxaUploadFileW")
        self.assertEqual(uploads, len(calls), calls)
        for call in calls:
            exchange = re.fullmatch(r'IxaUploadFileW\("(.+)", 17, 0, 0\) = -?\d+ \[\d+\]', call)
            self.assertIsNotNone(exchange, call)
            self.assertFalse(os.path.exists(linux_path(exchange.group(1))), call)

    def run_scenarios(self, base, scenarios):
        """Each scenario: (name, answers, changed categories[, uploads])."""
        for name, answers, changes, *uploads in scenarios:
            with self.subTest(scenario=name):
                scan = self.scan(profile=with_answers(base, **answers))
                self.assertUps(scan, dict(ZELO if base == "corvabox-c90.json" else ZELOS, **changes), *uploads)


class ShippedProfilesTest(UpsTestCase):

    def test_zelo_of_the_c90(self):
        scan = self.scan()
        self.assertUps(scan, ZELO)
        # The status bits' firmware read follows the first five bits; the user settings' precedes the upload.
        status, firmware = "IxaGetHardwareValue(31, 4) = 1 [0]", "IxaGetFirmwareStringW(25, 200) = 1 [0]"
        self.assertEqual([status, firmware, status, firmware, status],
                         calls_of(scan, "IxaGetHardwareValue(31,", "IxaGetFirmwareStringW(25, 200"))

    def test_zelos_of_the_c90_variant(self):
        scan = self.scan(profile="corvabox-c90-zelos.json")
        self.assertUps(scan, ZELOS)
        self.assertEqual([], calls_of(scan, *ZELO_ONLY_CALLS))
        # One firmware read: the user settings' gate; the status bits of a ZELOS need none.
        self.assertEqual(["IxaGetHardwareValue(31, 4) = 1 [0]", "IxaGetFirmwareStringW(25, 200) = 1 [0]",
                          "IxaGetHardwareValue(31, 4) = 1 [0]"],
                         calls_of(scan, "IxaGetHardwareValue(31,", "IxaGetFirmwareStringW(25,"))
        self.assertEqual(["IxaGetStatisticsValue(18, 4) = 0 [87]", "IxaGetStatisticsValue(18, 2) = 1 [0]",
                          "IxaGetStatisticsValue(19, 4) = 1 [0]"],
                         calls_of(scan, "IxaGetStatisticsValue(18,", "IxaGetStatisticsValue(19,"))

    def test_zelo_and_zelos_of_the_module_family(self):
        zelo = dict(ZELO, **{
            "Firmware": [("Type", "ZELO"), ("Firmware version", "1.08")],
            "Status": bits(0x0011, 6) + communication(64, 0, 100),
            "Factory Settings": [("Version", "V1.02")] + ZELO["Factory Settings"][1:2] + [
                ("Device ID", "00005A11", "Hex"), ("Compatibility ID", "0002", "Hex"), ("Hardware revision", "A2"),
                ("Serial number", "E9U70190233"), ("Model number", "KV-UPS.ZELO-02"),
                raw_row(block_of(C94_ZELO["IxaGetFactoryValue"]["33"]), 256)],
            "Battery Settings": [("Status", "Valid", "Unknown"), ("Version", "V1.01"), ("Device ID", "00005B23", "Hex"),
                                 ("Model number", "KV-BAT.3400-01"),
                                 raw_row(block_of(C94_ZELO["IxaGetFactoryValue"]["41"]), 256)],
            "User Settings": []}, **battery_figures(("-3.00", "DegreeCentigrade"), "0.00", "13.01"))
        zelos = dict(ZELOS, **{
            "Status": bits(0x8001), "Statistics": [("On-battery cycles", "3", "Dec"), ("On-battery hours", "1", "Dec")],
            "User Settings": user_settings(("Low battery shutdown time", "120", "Seconds"),
                                           raw=bytes.fromhex("5553320078000000"))},
            **battery_figures(("58.00", "DegreeCentigrade", "Alarm"), "0.25", "27.15"))
        for profile, expected, uploads in (("corvabox-c94-zelo.json", zelo, 0), ("corvabox-c94-zelos.json", zelos, 1)):
            with self.subTest(profile=profile):
                scan = self.scan(profile=profile)
                self.assertUps(scan, expected, uploads)
                self.assertEqual("IxaGetModuleTemperatureValue(0, 0, 0, 4) = 1 [0]",
                                 scan.calls("IxaGetModuleTemperatureValue")[0])


class ZeloTest(UpsTestCase):

    def test_firmware_version_texts_gate_status_bits_and_user_settings(self):
        def firmware(text, status_bits, user_settings=True):
            """text: the version text, or the read's error code (87 leaves the test out)."""
            answer, shown = ({"wstr": text}, [("Firmware version", text)]) if isinstance(text, str) else (
                error(text), [failed("Firmware version", text)] if text != 87 else [])
            changes = {"Firmware": [("Type", "ZELO")] + shown, "Status": bits(1, status_bits) + communication(200, 3, 99)}
            if not user_settings:
                changes["User Settings"] = []
            return (str(text), {"IxaGetFirmwareStringW": {"25": answer}}, changes, int(user_settings))
        self.run_scenarios("corvabox-c90.json", [
            firmware("1.07", 5, False), firmware("1.08", 6, False), firmware("1.10", 10),
            # As text 1.9 is above 1.10, and 1.1 below it though equal as a number.
            firmware("1.9", 10), firmware("1.1", 6, False),
            firmware(87, 5), firmware(5, 5)])

    def test_each_status_bit_on_its_own_with_further_answers(self):
        comm = communication(200, 3, 99)
        battery, factory = ZELO["Battery Settings"], ZELO["Factory Settings"]
        self.run_scenarios("corvabox-c90.json", [
            ("none, no communication requests", hardware(s31=0, s36={"hex": "00 05 00 00"}), {"Status": bits(0)}),
            ("battery settings failure, battery reads skipped on 87",
             dict(hardware(s31=0x0002), IxaGetFactoryValue={s: error(87) for s in ("41", "42", "43", "44")}),
             {"Status": bits(0x0002) + comm, "Battery Settings": [("Status", "Invalid", "Unknown")]}),
            ("on battery, failing communication read", hardware(s31=0x0004, s36=error(5)),
             {"Status": bits(0x0004) + [failed(row[0], 5) for row in comm]}),
            ("low battery, more errors than requests", hardware(s31=0x0008, s36={"hex": "03 05 00 00"}),
             {"Status": bits(0x0008) + communication(3, 5, 0)}),
            ("polarity, first factory read 87", dict(hardware(s31=0x0010), IxaGetFactoryStringW={"34": error(87)}),
             {"Status": bits(0x0010) + comm, "Factory Settings": None}),
            ("battery failure, factory read errors",
             dict(hardware(s31=0x0020), IxaGetFactoryStringW={"34": error(5)}, IxaGetFactoryValue={"37": error(87)}),
             {"Status": bits(0x0020) + comm,
              "Factory Settings": [failed("Version", 5), failed("Vendor ID", 87)] + factory[2:]}),
            ("over current, battery read error", dict(hardware(s31=0x0100), IxaGetFactoryValue={"43": error(5),
                                                                                                "44": error(87)}),
             {"Status": bits(0x0100) + comm, "Battery Settings": battery[:2] + [failed("Device ID", 5), battery[4]]}),
            # Divided in double precision, 155 mA would read 0.15 and 12025 mV 12.03.
            ("factory settings failure, alarm and single precision",
             dict(hardware(s31=0x0200, s32=155, s33=12025), IxaGetAlarm={"18": {"u32": 1}}),
             dict({"Status": bits(0x0200) + comm}, **battery_figures(("29.00", "DegreeCentigrade", "Alarm"), "0.16",
                                                                    "12.02"))),
            ("user settings failure: no upload", hardware(s31=0x0400),
             {"Status": bits(0x0400) + comm, "User Settings": USER_INVALID}, 0),
            ("temperature alarm bit, failing battery reads",
             dict(hardware(s31=0x8000, s32=error(5), s33=error(87)), IxaGetTemperature={"7": error(5)},
                  IxaGetAlarm={"18": error(5)}),
             {"Status": bits(0x8000) + comm, "Temperatures": [failed("Battery temperature", 5)],
              "Currents": [failed("Battery current", 5)], "Voltages": [failed("Battery voltage", 87)]}),
            ("unreadable status word", hardware(s31=error(5), s32={"i32": -3850}),
             {"Status": [failed("Status", 5)] + comm, "Battery Settings": [("Status", system_text(5))] + battery[1:],
              "User Settings": [failed("Status", 5)], "Currents": [("Battery current", "-3.8", "Ampere")]}, 0),
        ])

    def test_user_settings_blocks_and_upload_failures(self):
        disabled = bytes(8) + bytes.fromhex("5802 01") + bytes(245)
        longer = bytes(range(256)) + bytes(44)
        self.run_scenarios("corvabox-c90.json", [
            ("256 bytes, current limitation off", {"IxaUploadFileW": {"17": {"hex": disabled.hex()}}},
             {"User Settings": user_settings(("Current limitation (8A)", "Disabled", "EnableDisable"),
                                             ("Low battery shutdown time", "600", "Seconds"), raw=disabled)}),
            ("100 bytes", {"IxaUploadFileW": {"17": {"hex": bytes(range(100)).hex()}}},
             {"User Settings": user_settings(raw=bytes(range(100)))}),
            ("300 bytes: the first 256", {"IxaUploadFileW": {"17": {"hex": longer.hex()}}},
             {"User Settings": user_settings(ENABLED, LOW_BATTERY, ("Low battery shutdown time", "2312", "Seconds"),
                                             raw=longer[:256])}),
            ("CRC error", {"IxaUploadFileW": {"17": error(23)}}, {"User Settings": USER_INVALID}),
            ("other error", {"IxaUploadFileW": {"17": error(5)}}, {"User Settings": [failed("Raw data", 5)]}),
            # A failure without an error code is still a failure.
            ("no error code", {"IxaUploadFileW": {"17": {"return": 0}}}, {"User Settings": [failed("Raw data", 31)]}),
        ])

    def test_type_text_decides_the_model(self):
        unknown = {"Status": bits(1), "Factory Settings": None, "Battery Settings": None}
        self.run_scenarios("corvabox-c90.json", [
            ("unreadable type", {"IxaGetHardwareStringW": {"30": error(5)}}, dict(unknown, Firmware=[failed("Type", 5)])),
            # Neither ZELO nor ZELOS: the firmware gate of the status bits still applies.
            ("other type text", {"IxaGetHardwareStringW": {"30": {"wstr": "zelo"}},
                                 "IxaGetFirmwareStringW": {"25": {"wstr": "1.08"}}},
             dict(unknown, Firmware=[("Type", "zelo")], Status=bits(1, 6), **{"User Settings": []}), 0),
        ])

    def test_presence_values_decide_the_group_whatever_the_device_type(self):
        for name, answers in (("second value 0", hardware(s29=0)), ("first value unreadable", hardware(s28=error(87)))):
            with self.subTest(case=name):
                scan = self.scan(profile=with_answers("corvabox-c90.json", **answers))
                self.assertNotIn(GROUP, scan.groups())
                self.assertEqual([], calls_of(scan, "IxaGetHardwareStringW(30,"))
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetDeviceType=error(87)))
        self.assertNotIn("Kavrol Drivers and Tools", scan.groups())
        self.assertUps(scan, ZELO)


class ZelosTest(UpsTestCase):

    def test_counters_retry_16_bits_only_after_error_87(self):
        scan = self.scan(profile=with_answers("corvabox-c90-zelos.json",
                                              IxaGetStatisticsValue={"18": error(87), "19": error(5)}))
        self.assertUps(scan, dict(ZELOS, Statistics=[failed("On-battery cycles", 87), failed("On-battery hours", 5)]))
        self.assertEqual(["IxaGetStatisticsValue(18, 4) = 0 [87]", "IxaGetStatisticsValue(18, 2) = 0 [87]",
                          "IxaGetStatisticsValue(19, 4) = 0 [5]"],
                         calls_of(scan, "IxaGetStatisticsValue(18,", "IxaGetStatisticsValue(19,"))


class SystemSettingsTest(UpsTestCase):
    """The Windows UPS service configuration, put into the prefix by each scenario."""

    def test_values_of_the_ups_service_configuration(self):
        vendor = "V" * 100  # exactly the 200 bytes read, without a terminating NUL
        enabled, disabled = "Enabled", "Disabled"
        scenarios = [
            ("complete", {"Vendor": unterminated(vendor), "Model": sz("ZELO 24V"), "ShutdownOnBatteryEnable": dword(1),
                          "ShutdownOnBatteryWait": dword(2), "TaskName": sz("Backup & \"Sync\""),
                          "TurnUPSOffEnable": dword(1), "TurnUPSOffWait": dword(120), "NotifyEnable": dword(0),
                          "KvNotifyEnable": dword(1), "KvUseUpsMonitor": dword(7)},
             [vendor, "ZELO 24V", enabled, "2", "Backup & \"Sync\"", enabled, "120", disabled, enabled, enabled]),
            # Missing enable values hide their times; the maker's two notification switches read "Disabled".
            ("missing values and other types",
             {"Vendor": dword(1), "ShutdownOnBatteryWait": dword(5), "TaskName": expand_sz("Backup"),
              "TurnUPSOffEnable": dword(0), "TurnUPSOffWait": dword(9), "NotifyEnable": sz("1"),
              "KvNotifyEnable": sz("yes please")},
             ["(unknown type)", 2, 2, None, "(unknown type)", disabled, None, "(unknown type)", disabled, disabled]),
            ("texts too long, numbers of other types",
             {"Vendor": sz("K"), "Model": sz("M" * 100), "ShutdownOnBatteryEnable": sz("1"),
              "ShutdownOnBatteryWait": hex_value(3, b"\x02\x00\x00\x00"), "TaskName": sz(""),
              "TurnUPSOffEnable": dword(1), "TurnUPSOffWait": sz("ten seconds"), "NotifyEnable": dword(3),
              "KvNotifyEnable": dword(0), "KvUseUpsMonitor": dword(0)},
             ["K", 234, "(unknown type)", "(unknown type)", "", enabled, 234, enabled, disabled, disabled]),
        ]
        # Label and format of each test, in order; a result of None: no test, a number: the query's error.
        tests = [("UPS vendor", "String"), ("UPS model", "String"), ("Shutdown on battery", "YesNo"),
                 ("Shutdown on battery time", "Minutes"), ("Run task", "String"), ("UPS turn off", "EnableDisable"),
                 ("UPS turn off delay", "Seconds"), ("Standard notification", "EnableDisable"),
                 ("Kavrol notification", "EnableDisable"), ("Show UPS status with Kavrol UPS Monitor", "EnableDisable")]
        for name, values, results in scenarios:
            with self.subTest(scenario=name):
                registry(self, {UPS_CONFIG: values})
                scan = self.scan()
                self.doCleanups()
                rows = [failed(label, result) if isinstance(result, int) else (label, result, fmt)
                        for (label, fmt), result in zip(tests, results) if result is not None]
                self.assertUps(scan, dict(ZELO, **{"System Settings": rows}))


if __name__ == "__main__":
    unittest.main()
