"""CPU board group: type, factory settings, counters, temperatures and voltages per device model."""

import unittest

from kvtest import ScanTestCase, load_profile, system_text
from test_cpu import Expected, with_answers

GROUP = "CPU Board"
DESCRIPTION = "A group of tests which are checking CPU board related items like board voltages or board temperatures."
WCPU = "The power of the complete device on C90 and P91 and CPU power on all other devices."
COMPATIBILITY = ("The compatibility ID is used to recognize hardware changes that are important for device specific "
                 "software.")
PARENT_DEVICE = ("The parent device ID indicates the device, from which the actual device was derived (e.g. at a "
                 "customer specific variant of a standard device). FFFFFFFFh means no parent.")
PARENT_COMPATIBILITY = ("The compatibility ID indicates the device, from which the actual device was derived (e.g. at "
                        "a customer specific variant of a standard device). FFFFh means no parent.")
RAW_DATA = "Complete factory settings of CPU Board."


def report_lines(lines):
    """Expected lines as the report file holds them: a raw dump's CR LF breaks its element over several lines."""
    return [piece for line in lines for piece in line.split("\r\n")]


def dump(data, length):
    """FormatRawData of data padded with 0xFF to length: 16 bytes a line, trailing 0xFF beyond 256 summarised."""
    block = bytes(data) + b"\xff" * (length - len(data))
    shown = length
    while shown > 256 and block[shown - 1] == 0xFF:
        shown -= 1
    text = "".join(("\r\n" if i % 16 == 0 else "") + "%02X" % block[i] for i in range(shown))
    if shown < length:
        text += "\r\n(remaining %d bytes are FF)" % (length - shown)
    return text


def selected_calls(scan, entry_point, *selectors):
    """The traced calls of an entry point with one of the selectors."""
    return [call for call in scan.calls(entry_point) if call.startswith(tuple("%s(%d," % (entry_point, selector)
                                                                                for selector in selectors))]


def profile_raw_bytes(profile):
    rows = profile["IxaGetFactoryValue"]["81"]["hex"]
    return bytes(int(pair, 16) for row in rows for pair in row.split())


def ok(text, fmt="String"):
    return (text, fmt, "Passed")


def failed(code):
    return (system_text(code), "String", "Failed")


class Board:
    """The CPU board results of one profile, as the group should show them: each result is (text, format, status).

    factory is None for models without factory settings, else the factory tests as (label, result, description)."""

    def __init__(self, board_type, factory=None, counters=None, board_temperature=None, sensors=None, supply=None,
                 vin=None, wcpu=None):
        self.board_type = board_type if isinstance(board_type, tuple) else ok(board_type)
        self.factory = factory
        self.counters = counters
        self.board_temperature = board_temperature
        self.sensors = sensors
        self.supply = supply
        self.vin = vin
        self.wcpu = wcpu


def factory_settings(device_id, compatibility, revision, serial, model, version=None, raw=None, **changes):
    """The factory tests of a board; changes replace single results by label ("Vendor_ID")."""
    tests = []
    if version is not None:
        tests.append(("Version", ok(version), "DescrUndef"))
    tests += [("Vendor ID", ok("00000000", "Hex"), "Kavrol = 0."),
              ("Device ID", ok(device_id, "Hex"), "DescrUndef"),
              ("Compatibility ID", ok(compatibility, "Hex"), COMPATIBILITY),
              ("Parent Device ID", ok("FFFFFFFF", "Hex"), PARENT_DEVICE),
              ("Parent Compatibility ID", ok("FFFF", "Hex"), PARENT_COMPATIBILITY),
              ("Hardware revision", ok(revision), "DescrUndef"),
              ("Serial number", ok(serial), "DescrUndef"),
              ("Model number", ok(model), "DescrUndef")]
    if raw is not None:
        tests.append(("Raw data", ok(raw, "Raw"), RAW_DATA))
    return [(label, changes.get(label.replace(" ", "_"), result), description) for label, result, description in tests]


def sensors(*values):
    """Sensor tests numbered 1 to 4; a value of None leaves that sensor out; (value, "Alarm") sets the status."""
    tests = []
    for number, value in enumerate(values, 1):
        if value is None:
            continue
        text, status = value if isinstance(value, tuple) else (value, "Passed")
        tests.append(("Sensor %d" % number, (text, "DegreeCentigrade", status)))
    return tests


def expected_group(scan, board):
    """The whole group, in the report's line layout."""
    expected = Expected(scan, GROUP, DESCRIPTION, "Identification")
    expected.test("Type", *board.board_type)
    if board.factory is not None:
        expected.category("Factory Settings")
        for label, result, description in board.factory:
            expected.test(label, *result, description=description)
    if board.counters is not None:
        expected.category("Statistics")
        expected.test("Power-on cycles", *board.counters[0])
        expected.test("Power-on hours", *board.counters[1])
    if board.board_temperature is not None:
        expected.category("Temperatures").test("Board temperature", *board.board_temperature)
    if board.sensors is not None:
        expected.category("Temperatures")
        for label, result in board.sensors:
            expected.test(label, *result)
    if board.supply is not None:
        expected.category("Voltages")
        expected.test("+3.3Vin", *board.supply[0])
        expected.test("+5Vin", *board.supply[1])
        expected.test("5Vsb", *board.supply[2], description="Standby voltage (5Vsb)")
    if board.wcpu is not None:
        expected.category("Voltages")
        if board.vin is not None:
            expected.test("Vin", *board.vin)
        expected.test("Wcpu", *board.wcpu, description=WCPU)
    return report_lines(expected.end())


def c90(**changes):
    board = Board("KTB2", factory_settings("0000A4C2", "0002", "B0", "E9D20177341", "KV-CB.KTB2-04"),
                  sensors=sensors("47", "43", "39", "36"), wcpu=ok("23.45", "Watt"))
    for name, value in changes.items():
        setattr(board, name, value)
    return board


# Profile, type, device ID, compatibility ID, revision, serial, model, version, counters, sensors, Vin, Wcpu.
V70 = ("voltadeck-v70.json", "WTC3", "0000A731", "0004", "C1", "E9D30179012", "KV-CB.WTC3-02", "V1.03",
       ("1423", "20871"), ("44", "41", "38", "-5"), "24.08", "12.34")
C80 = ("corvabox-c80.json", "STC3", "0000A812", "0002", "B2", "E9D40180225", "KV-CB.STC3-03", "V1.02",
       ("988", "15002"), ("49", "46", "40", "37"), "23.95", "9.87")
C81 = ("corvabox-c81.json", "STC3", "0000A813", "0002", "B2", "E9D40180391", "KV-CB.STC3-05", "V1.02",
       ("312", "4410"), ("51", "47", "42", "39"), "24.01", "11.02")


def full_board(name, board_type, device_id, compatibility, revision, serial, model, version, counters, temperatures,
               vin, wcpu, **factory_changes):
    raw = dump(profile_raw_bytes(load_profile(name)), 1536)
    return Board(board_type, factory_settings(device_id, compatibility, revision, serial, model, version, raw,
                                              **factory_changes),
                 counters=(ok(counters[0], "Dec"), ok(counters[1], "Dec")), sensors=sensors(*temperatures),
                 vin=ok(vin, "Volt"), wcpu=ok(wcpu, "Watt"))


class ModelTest(ScanTestCase):
    """Which categories each model shows, with the values of its profile."""

    def test_c90_factory_settings_without_version_and_raw_data_then_sensors_and_power(self):
        scan = self.scan()
        self.assertLines(expected_group(scan, c90()), scan.group(GROUP))
        self.assertEqual([], selected_calls(scan, "IxaGetFactoryValue", 77, 81))
        self.assertEqual([], selected_calls(scan, "IxaGetStatisticsValue", 5, 6))
        self.assertEqual([], selected_calls(scan, "IxaGetVoltage", 7))

    def test_p91_like_c90(self):
        scan = self.scan(profile="panevox-p91.json")
        board = Board("KTB2", factory_settings("0000A4C3", "0002", "B0", "E9D20177502", "KV-CB.KTB2-06"),
                      sensors=sensors("45", "42", "38", "35"), wcpu=ok("27.81", "Watt"))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))

    def test_v70_c80_c81_add_version_raw_data_counters_and_vin(self):
        for model in (V70, C80, C81):
            with self.subTest(profile=model[0]):
                scan = self.scan(profile=model[0])
                self.assertLines(expected_group(scan, full_board(*model)), scan.group(GROUP))
                self.assertEqual(["IxaGetFactoryValue(77, 512) = 1 [0]"],
                                 selected_calls(scan, "IxaGetFactoryValue", 77))
                self.assertEqual(["IxaGetFactoryValue(81, 1536) = 1 [0]"],
                                 selected_calls(scan, "IxaGetFactoryValue", 81))
                self.assertEqual(["IxaGetFactoryStringW(48, 512) = 1 [0]"],
                                 selected_calls(scan, "IxaGetFactoryStringW", 48))

    def test_c40_p50_c60_show_the_board_temperature_without_alarm(self):
        for name, board_type, value in (("corvabox-c40.json", "RTC3", "45"), ("panevox-p50.json", "SSFW", "42"),
                                        ("corvabox-c60.json", "STC3", "41")):
            with self.subTest(profile=name):
                scan = self.scan(profile=with_answers(name, IxaGetAlarm={"default": {"u32": 1}}))
                board = Board(board_type, board_temperature=ok(value, "DegreeCentigrade"))
                self.assertLines(expected_group(scan, board), scan.group(GROUP))

    def test_c20_with_wtb2_board_shows_board_temperature_and_supply_voltages(self):
        scan = self.scan(profile="corvabox-c20.json")
        board = Board("WTB2", board_temperature=ok("44", "DegreeCentigrade"),
                      supply=(ok("3.300", "Volt"), ok("5.020", "Volt"), ok("4.975", "Volt")))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))

    def test_p30_with_another_board_shows_supply_voltages_only(self):
        # The board temperature would be readable: only the board type keeps it out.
        scan = self.scan(profile=with_answers("panevox-p30.json", IxaGetTemperature={"6": {"i8": 40}}))
        board = Board("KTA1", supply=(ok("3.285", "Volt"), ok("4.990", "Volt"), ok("5.010", "Volt")))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))
        self.assertEqual([], selected_calls(scan, "IxaGetTemperature", 6))

    def test_c20_with_another_board_has_no_temperatures(self):
        scan = self.scan(profile=with_answers("corvabox-c20.json",
                                              IxaGetHardwareStringW={"16": {"wstr": "KTB2.E3845-04"}}))
        board = Board("KTB2", supply=(ok("3.300", "Volt"), ok("5.020", "Volt"), ok("4.975", "Volt")))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))

    def test_c92_and_p93_show_the_type_only(self):
        for name in ("corvabox-c92.json", "panevox-p93.json"):
            with self.subTest(profile=name):
                # Readable values the model keeps out of the group.
                scan = self.scan(profile=with_answers(name, IxaGetTemperature={"6": {"i8": 40}, "15": {"i8": 40}},
                                                      IxaGetVoltage={"1": {"u32": 1}, "8": {"u32": 1000}},
                                                      IxaGetFactoryValue={"47": {"u32": 0}}))
                self.assertLines(expected_group(scan, Board("RQD4")), scan.group(GROUP))

    def test_models_outside_the_table_write_no_group(self):
        cases = (("C94", "corvabox-c94.json"),
                 ("P95", with_answers("corvabox-c94.json", IxaGetDeviceType={"u32": 24})),
                 ("unknown type", with_answers("corvabox-c90.json", IxaGetDeviceType={"u32": 99})),
                 ("no device type", "no-device.json"))
        for label, profile in cases:
            with self.subTest(model=label):
                # The legacy library makes the program take the sequence that holds the group.
                scan = self.scan(profile=profile, library="legacy")
                self.assertIn("CPU", scan.groups())
                self.assertNotIn(GROUP, scan.groups())
                self.assertEqual([], selected_calls(scan, "IxaGetFactoryValue", 47) +
                                 selected_calls(scan, "IxaGetTemperature", 15))


class FaultTest(ScanTestCase):
    """Failed reads become error texts, except a sensor, which is left out."""

    def test_unreadable_board_string_is_the_error_text_even_87(self):
        for code in (87, 1):
            with self.subTest(code=code):
                scan = self.scan(profile=with_answers("corvabox-c90.json",
                                                      IxaGetHardwareStringW={"16": {"error": code}}))
                self.assertLines(expected_group(scan, c90(board_type=failed(code))), scan.group(GROUP))

    def test_unknown_board_string_is_shown_as_delivered(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetHardwareStringW={"16": {"wstr": "XYZ9-01"}}))
        self.assertLines(expected_group(scan, c90(board_type=ok("XYZ9-01"))), scan.group(GROUP))

    def test_board_name_replaces_the_hardware_string(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json",
                                              IxaGetHardwareStringW={"16": {"wstr": "WTB2XKL.N2930-02"}}))
        self.assertLines(expected_group(scan, c90(board_type=ok("WTB2"))), scan.group(GROUP))

    def test_failed_factory_reads_are_error_texts_and_a_final_line_feed_goes(self):
        scan = self.scan(profile=with_answers("voltadeck-v70.json",
                                              IxaGetFactoryValue={"47": {"error": 87}, "52": {"error": 1},
                                                                  "81": {"error": 1168}},
                                              IxaGetFactoryStringW={"49": {"wstr": "E9D30179012\n"},
                                                                    "50": {"error": 31}}))
        board = full_board(*V70, Vendor_ID=failed(87), Parent_Compatibility_ID=failed(1), Model_number=failed(31),
                           Raw_data=failed(1168))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))

    def test_counters_are_read_once_as_16_bits_without_retry(self):
        scan = self.scan(profile=with_answers("voltadeck-v70.json",
                                              IxaGetStatisticsValue={"5": {"u16": 65535}, "6": {"error": 87}}))
        board = full_board(*V70)
        board.counters = (ok("65535", "Dec"), failed(87))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))
        self.assertEqual(["IxaGetStatisticsValue(5, 2) = 1 [0]", "IxaGetStatisticsValue(6, 2) = 0 [87]"],
                         selected_calls(scan, "IxaGetStatisticsValue", 5, 6))

    def test_unreadable_sensor_is_left_out_and_alarm_flags_set_the_status(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json",
                                              IxaGetTemperature={"15": {"u8": "0xFB"}, "17": {"error": 1168}},
                                              IxaGetAlarm={"28": {"u32": 1}, "30": {"error": 31}}))
        board = c90(sensors=sensors("-5", ("43", "Alarm"), None, "36"))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))
        self.assertEqual([], selected_calls(scan, "IxaGetAlarm", 29))

    def test_no_readable_sensor_leaves_the_category_empty(self):
        scan = self.scan(profile=with_answers("corvabox-c90.json", IxaGetTemperature={
            "15": {"error": 87}, "16": {"error": 1}, "17": {"error": 87}, "18": {"error": 87}}))
        self.assertLines(expected_group(scan, c90(sensors=[])), scan.group(GROUP))

    def test_board_temperature_is_a_signed_byte_and_a_failure_is_the_error_text(self):
        for answer, result in (({"u8": "0xFB"}, ok("-5", "DegreeCentigrade")), ({"error": 87}, failed(87)),
                               ({"error": 1168}, failed(1168))):
            with self.subTest(answer=answer):
                scan = self.scan(profile=with_answers("corvabox-c40.json", IxaGetTemperature={"6": answer}))
                self.assertLines(expected_group(scan, Board("RTC3", board_temperature=result)), scan.group(GROUP))

    def test_power_in_single_precision_and_failures_as_error_texts(self):
        # As a float 4294967295 is 4294967296: 4294967.50, where double precision gives 4294967.30.
        scan = self.scan(profile=with_answers("voltadeck-v70.json", IxaGetVoltage={"7": {"error": 87},
                                                                                   "8": {"u32": 4294967295}}))
        board = full_board(*V70)
        board.vin = failed(87)
        board.wcpu = ok("4294967.50", "Watt")
        self.assertLines(expected_group(scan, board), scan.group(GROUP))

    def test_supply_voltage_failures_are_error_texts(self):
        scan = self.scan(profile=with_answers("corvabox-c20.json", IxaGetVoltage={"1": {"error": 1}, "2": {"u32": 0},
                                                                                  "5": {"error": 87}}))
        board = Board("WTB2", board_temperature=ok("44", "DegreeCentigrade"),
                      supply=(failed(1), failed(87), ok("0.000", "Volt")))
        self.assertLines(expected_group(scan, board), scan.group(GROUP))


if __name__ == "__main__":
    unittest.main()
