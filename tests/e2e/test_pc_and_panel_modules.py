"""PC module and panel module groups (sequence A): each module's group line by line, the three ways of a panel
module, faults, and one panel selection per panel module object."""

import re
import unittest

from kvtest import ScanTestCase, load_profile
from unit_tables import cat, changed, dump, failed, na, ok, profile_bytes, render, selected, sub, t

DESCRIPTION = 'Contains tests of "%s" related items like factory settings or statistics.'
COMPATIBILITY = ("The compatibility ID is used to recognize hardware changes that are important for device-specific "
                 "software.")
PARENT_DEVICE = ("The parent device ID indicates the device from which the current device was derived (e.g. for a "
                 "customer specific variant of a standard device). FFFFFFFFh indicates that there is no parent.")
PARENT_COMPATIBILITY = ("The compatibility ID indicates the device from which the current device was derived (e.g. "
                        "for a customer specific variant of a standard device). FFFFh indicates that there is no "
                        "parent.")
COUNTERS = {"power": (("Power-on cycles", "Number of power cycles"), ("Power-on hours", "Operating hours")),
            "backlight": (("Backlight-on cycles", "Number of power cycles of the backlight "),
                          ("Backlight-on hours", "Operating hours of the backlight ")),
            "battery": (("On-battery cycles", "Number of battery operation cycles (e.g. power failures)"),
                        ("On-battery hours", "Battery operation hours "))}
FAN_LOG = '"Log hours" indicates the amount of time the fan speed undershot the min. log limit.'
FAN_ALARM = '"Alarm hours" indicates the amount of time the fan speed undershot the min. alarm limit.'
MAX_LOG = '"Log hours" indicates the amount of time the temperature overshot the max. log limit.'
MAX_ALARM = '"Alarm hours" indicates the amount of time the temperature overshot the max. alarm limit.'
MIN_LOG = '"Log hours" indicates the amount of time the temperature undershot the min. log limit.'
MIN_ALARM = '"Alarm hours" indicates the amount of time the temperature undershot the min. alarm limit.'
AUTO_VALUE = ("Predefined equalizer value of the Viewdeck: 0 (strong, for long cables) to 15 (weak, for short "
              "cables).")
KEY_SWITCHES = ("The state of the key switches on the device. Each state is represented by one bit: 0 = Contact "
                "open, 1 = Contact closed.")
ZEROS_16 = dump(bytes(16), 16)
ZEROS_32 = dump(bytes(32), 32)


def fpga(fpga_id, version, boot="High area", crc="OK", counter="0"):
    rows = [cat("FPGA"), t("FPGA ID", fpga_id), t("FPGA version", version)]
    rows += [t("FPGA booted from", boot)] if boot else []
    rows += [t("FPGA CRC state", crc)]
    return rows + ([t("FPGA update counter", ok(counter, "Dec") if isinstance(counter, str) else counter)]
                   if counter else [])


def factory(version, device_id, compat, revision, serial, model, raw):
    rows = [cat("Factory Settings")] + ([t("Version", version)] if version else [])
    return rows + [t("Vendor ID", ok("00000000", "Hex"), "Kavrol = 0."), t("Device ID", ok(device_id, "Hex")),
                   t("Compatibility ID", ok(compat, "Hex"), COMPATIBILITY),
                   t("Parent Device ID", ok("FFFFFFFF", "Hex"), PARENT_DEVICE),
                   t("Parent Compatibility ID", ok("FFFF", "Hex"), PARENT_COMPATIBILITY),
                   t("Hardware revision", revision), t("Serial number", serial), t("Model number", model),
                   t("Raw data", ok(raw, "Raw") if isinstance(raw, str) else raw, "Complete factory settings")]


def raw_of(profile, entry_point, key, length):
    return dump(profile_bytes(profile[entry_point][key]), length)


def counters(*sets):
    """Counter sets as (labels, cycles, hours); hours None: no hours test."""
    rows = [cat("Statistics")]
    for labels, cycles, hours in sets:
        (cycles_label, cycles_description), (hours_label, hours_description) = COUNTERS[labels]
        rows.append(t(cycles_label, ok(cycles, "Dec"), cycles_description))
        rows += [t(hours_label, hours, hours_description)] if hours else []
    return rows


def fan(number, rpm, cycles, hours, log, alarm, status="Passed"):
    return [sub("Fan %d" % number), t("Current", (rpm, "Rpm", status), "Current fan speed"),
            t("Power-on cycles", ok(cycles, "Dec"), "Number of power cycles"),
            t("Power-on hours", hours, "Operating hours"),
            t("Log", log, FAN_LOG), t("Alarm", alarm, FAN_ALARM)]


def sensor(number, current, statistics=None):
    """statistics: (max, max log, max alarm, min, min log, min alarm)."""
    rows = [sub("Sensor %d" % number), t("Current", ok(current, "DegreeCentigrade"), "Current temperature")]
    if statistics:
        high, high_log, high_alarm, low, low_log, low_alarm = statistics
        rows += [t("Max.", high, "Maximum temperature"), t("Log", high_log, MAX_LOG), t("Alarm", high_alarm, MAX_ALARM),
                 t("Min.", low, "Minimum temperature"), t("Log", low_log, MIN_LOG), t("Alarm", low_alarm, MIN_ALARM)]
    return rows


def status(linked=True, lock_time=ok("2500", "MilliSeconds")):
    rows = [cat("Status"), t("Linked", ok("Yes" if linked else "No", "YesNo"))]
    return rows + ([t("Locked", ok("No", "YesNo")), t("Lock time", lock_time)] if linked else [])


def operation(resolution, brightness, equalizer, auto_value=None, keys="20", leds="20", layer_1=None, layers=4):
    """Display settings, keys and LEDs as the panel module group words them; layers: 1 without key configuration."""
    rows = [cat("Display Settings"), t("Resolution", resolution), t("Brightness", brightness),
            t("Default brightness", ok("100", "Percent"))]
    rows += [t("Equalizer", equalizer)] if equalizer else []
    rows += [t("Equalizer auto value", auto_value, AUTO_VALUE)] if auto_value else []
    rows += [cat("Keys"), t("Count", keys, "Maximum number of keys supported by the Kavrol device.")]
    if keys != "0":
        rows += [t("Enabled", ok("Yes", "YesNo"), "Determines whether the keys are enabled."),
                 t("Switches", ok("00", "Hex"), KEY_SWITCHES),
                 t("Matrix", ok(ZEROS_16, "Raw"), "State of all keys on the Viewdeck.")]
    rows += [cat("LEDs"), t("Count", leds, "Maximum number of LEDs supported by the Kavrol device.")]
    if leds != "0":
        rows += [t("Matrix, layer %d" % n, ok(layer_1 if n == 1 else ZEROS_32, "Raw"),
                   "State of all LEDs on the Viewdeck.") for n in range(1, layers + 1)]
    return rows


def vlk4(version, mean_square, last):
    """One VLK4 block: version, the four mean square errors and the retransmission rate or maximum errors."""
    rows = [t("Firmware version", version)]
    rows += [t("Mean square error (Channel %s)" % c, "%s dB" % v) for c, v in zip("ABCD", mean_square)]
    if len(last) == 1:
        return rows + [t("Retransmission rate", last[0])]
    return rows + [t("Maximum error (Channel %s)" % c, v) for c, v in zip("ABCD", last)]


def module_group(scan, name, rows):
    """A group starting with a test keeps its tests in the writer's placeholder category and subcategory."""
    return render(scan, name, DESCRIPTION % name, rows, None, "CatUndef" if rows[0][0] == "test" else None)


def replace(rows, *changes):
    """Rows with the first row equal to each old row replaced by the new one (None: removed)."""
    rows = list(rows)
    for old, new in changes:
        i = rows.index(old)
        rows[i:i + 1] = [] if new is None else [new]
    return rows


def c94_groups(profile):
    """The module groups of the C94 profile, by group name."""
    def raw(key, length):
        return raw_of(profile, "IxaGetModuleFactoryValue", key, length)
    sensor_statistics = ("61.00 \u00b0C", "1h 30min", "0h 0min", "12.00 \u00b0C", "0h 0min", "0h 0min")
    return {
        "System Unit": fpga("KV-FPGA SU3", "V1.14", counter="3") +
        factory("V1.10", "0000B4A0", "0002", "D0", "E9C70188124", "KV-C94.4120-00", raw("9/0/0", 128)) +
        counters(("power", "842", "18342h 45min")) +
        [cat("Fans", None)] + fan(1, "2280", "842", "18342h 45min", "0h 30min", "0h 0min") +
        fan(2, "2310", "842", "18332h 45min", "0h 30min", "0h 0min") + [cat("Temperatures", None)] +
        sensor(1, "41.50", sensor_statistics) +
        sensor(2, "38.25", sensor_statistics[:0] + ("61.25 \u00b0C",) + sensor_statistics[1:]) +
        [cat("Ready relay"), t("State", "Closed", "State of the ready relay.")],
        "Bus unit": factory("V1.02", "0000C3C0", "0001", "A1", "E9B70188530", "KV-BU.4SLOT-01", raw("9/2/0", 128)) +
        counters(("power", "840", "18336h 30min")),
        "Memory Module 1": factory("V1.01", "0000D110", "0001", "A0", "E9M70189911", "KV-MEM.DDR4-8G",
                                   raw("9/6/0", 128)),
        "Fan Kit (System)": factory("V1.00", "0000F250", "0001", "A0", "E9F70187702", "KV-FAN.SYS-02",
                                    raw("9/8/0", 72)) + [cat("Fans", None)] +
        fan(1, "3010", "801", "17552h 30min", "0h 0min", "0h 0min") +
        fan(2, "2990", "801", "17555h 0min", "0h 0min", "0h 0min"),
        "CPU Board": factory("V1.05", "0000A6D1", "0003", "C2", "E9D70185566", "KV-CB.RQD4-08", raw("9/11/0", 128)) +
        [cat("Temperatures", None)] + sensor(1, "49.00") + sensor(2, "44.50"),
        "Panel 0": status(lock_time=failed(1)) + fpga("KV-FPGA PNL2", "V1.08", counter="3") +
        factory("V1.03", "0000E240", "0001", "B1", "E9P70186321", "KV-PNL.15T-00",
                raw_of(profile, "IxaGetPanelModuleFactoryValue", "9/0/0/0", 72)) +
        counters(("power", "836", "18211h 15min"), ("backlight", "836", "15420h 30min")) +
        [cat("Temperatures", None)] +
        sensor(1, "36.75", ("52.00 \u00b0C", "0h 0min", "0h 0min", "14.00 \u00b0C", "0h 0min", "0h 0min")) +
        [cat("USB Enable States")] +
        [t("USB%d state" % n, ok(state, "EnableDisable"))
         for n, state in enumerate(("Enabled", "Enabled", "Disabled", "Enabled", "Disabled"))] +
        operation("1366x768", "70%", "11 (Auto)", keys="0", leds="0"),
        "Panel Link 0": fpga("KV-FPGA LNK4", "V2.01", counter="1"),
        "HDBaseT 0": fpga("KV-FPGA HDB1", "V1.00", counter="0") + [cat("VLK4 Statisitcs", "Receiver")] +
        vlk4("V4.12", ("-21.50", "-22.25", "-21.75", "-20.50"), ("0.02",)),
        "Panel 1": legacy_panel(profile, "0000E212h", "A2", "E9P12187740", ("1980", "24410"), "34", "2950",
                                operation("1280x800", "90%", "6 (Manual)", "8", layer_1=LAYER_1, layers=1)),
        "Panel Link 1": [t("Type", "DVI (VLK3)"), t("FPGA version", "V1.03")],
    }


def legacy_panel(profile, device_id, revision, serial, backlight, temperature, fan_rpm, operation_rows):
    """Panel 1 (a panel without module data) as the legacy way shows it."""
    legacy_factory = [cat("Factory Settings"), t("Vendor ID", "00000000h", "Kavrol = 0."), t("Device ID", device_id),
                      t("Compatibility ID", "0001h", COMPATIBILITY), t("Hardware revision", revision),
                      t("Serial number", serial), t("Model number", "KV-PNL.12W-K20"),
                      t("Raw data", ok(raw_of(profile, "IxaGetFactoryValue", "18@panel1", 256), "Raw"),
                        "Complete factory settings")]
    return (status() + legacy_factory + [cat("Statistics")] +
            [t(label, ok(value, "Dec"), description) for (label, description), value in
             zip(COUNTERS["backlight"], backlight)] +
            [cat("Temperatures"), t("Panel", ok(temperature, "DegreeCentigrade")), cat("Fans"),
             t("Fan", ok(fan_rpm, "Rpm"))] + operation_rows)


def panel_1(profile):
    """Panel 1 of the P95."""
    return legacy_panel(profile, "0000E214h", "B0", "E9P19103305", ("2204", "31877"), "36", "2890",
                        operation("1280x800", "75%", "5 (Manual)", "8", layer_1=LAYER_1))


LAYER_1 = dump(bytes([1]) + bytes(31), 32)


def p95_groups(profile):
    def raw(key):
        return raw_of(profile, "IxaGetModuleFactoryValue", key, 16)
    return {
        "System Unit": fpga("KV-FPGA SU4", "V1.21", "Low area", "Error", "7") +
        factory("V1.12", "0000B4B0", "0001", "C0", "E9C95190042", "KV-P95.6110-00", raw("9/0/0")) +
        counters(("power", "512", "2h 30min"), ("backlight", "498", "0h 59min"), ("power", "12", "10h 15min"),
                 ("battery", "3", "0h 30min")) +
        [cat("Fans", None)] + fan(1, "1980", "512", "2h 30min", "0h 0min", "0h 15min", "Alarm") +
        [cat("Temperatures", None)] +
        sensor(1, "41.50", ("61.00 \u00b0C", "1h 30min", "0h 0min", "-25.00 \u00b0C", "0h 0min", "0h 0min")) +
        sensor(3, "38.25") + [cat("Ready relay"), t("State", "Open", "State of the ready relay.")],
        "Panel (local)": factory("V1.02", "0000E250", "0002", "B0", "E9P95190043", "KV-PNL.15W-P95", raw("9/1/0")) +
        counters(("backlight", "501", "16384h 45min")),
        "Module 14": factory(na(), "0000C910", "0001", "A0", "E9X95190310", "KV-EXT.IO8-00", na()),
        "Panel 1": panel_1(profile),
        "Panel Link 1": [t("Type", "DVI (VLK3)"), t("FPGA version", "V1.03")],
        "Panel 2": status(linked=False) + fpga("KV-FPGA PNL3", "V1.09", counter="2") +
        factory("V1.05", "0000E260", "0001", "A1", "E9P90192281", "KV-PNL.19T-02",
                raw_of(profile, "IxaGetPanelModuleFactoryValue", "9/2/0/0", 16)) +
        counters(("power", "140", "2201h 30min"), ("power", "12", "96h 15min")) +
        [cat("Temperatures", None)] + sensor(1, "35.50") +
        operation("1920x1080", "75%", "5 (Manual)", "9", layer_1=LAYER_1),
        "Panel Link 2": [t("Type", "HDBaseT (VLK4)"), t("FPGA version", "V2.00")],
        "HDBaseT 2": fpga("KV-FPGA HDB2", "V1.01", counter="1") + [cat("VLK4 Statisitcs", "Receiver")] +
        vlk4("V4.20", ("-12.50", "-13.00", "-12.75", "-12.25"), ("0.01",)) + [sub("Receiver")] +
        vlk4("V4.20", ("-11.50", "-11.75", "-12.00", "-11.25"), ("0.50", "0.75", "0.25", "1.00")),
        "Panel 15": status() + operation("1280x800", "75%", None, layer_1=LAYER_1),
    }


def segments(trace, panel):
    """The calls after each selection of the panel, up to the next selection or module group."""
    found = []
    for i, line in enumerate(trace):
        if line == "IxaSelectPanel(%d) = 1 [0]" % panel:
            end = next((j for j in range(i + 1, len(trace)) if trace[j].startswith("IxaSelectPanel(")), len(trace))
            found.append(trace[i + 1:end])
    return found


def panel_module_panels(scan):
    """The panel index of every panel module call."""
    return {int(re.match(r"IxaGetPanelModule\w+\(\d+, (\d+),", line).group(1)) for line in scan.trace
            if line.startswith("IxaGetPanelModule")}


class ModelTest(ScanTestCase):

    def assertGroups(self, scan, groups):
        for name, rows in groups.items():
            with self.subTest(group=name):
                self.assertLines(module_group(scan, name, rows), scan.group(name))

    def test_c94_modules_panel_0_on_the_module_and_firmware_ways_and_legacy_panel_1(self):
        scan = self.scan(profile="corvabox-c94.json")
        groups = c94_groups(load_profile("corvabox-c94.json"))
        self.assertEqual(list(groups), scan.groups()[-len(groups):])
        self.assertGroups(scan, groups)
        # One selection per panel module object, panel in the outer loop; these groups come last.
        self.assertEqual(["IxaSelectPanel(%d) = 1 [0]" % p for p in range(16) for _ in range(5)],
                         scan.calls("IxaSelectPanel")[-80:])
        self.assertEqual({0, 1}, panel_module_panels(scan))
        # The raw block is read with the size the module states (72 bytes for the fan kit).
        self.assertEqual(["IxaGetModuleFactoryValue(10, 8, 0, 2) = 1 [0]",
                          "IxaGetModuleFactoryValue(9, 8, 0, 72) = 1 [0]"],
                         [c for c in selected(scan, "IxaGetModuleFactoryValue", 9, 10) if ", 8, 0," in c])

    def test_p95_local_panel_15_legacy_panels_and_hdbaset_with_both_vlk4_blocks(self):
        scan = self.scan(profile="panevox-p95.json")
        groups = p95_groups(load_profile("panevox-p95.json"))
        self.assertEqual(list(groups), scan.groups()[-len(groups):])
        self.assertGroups(scan, groups)
        # Absent panels get no panel module reads.
        self.assertEqual({1, 2, 15}, panel_module_panels(scan))
        # Panel 15 has module 0 only: the other four objects select it and read its presence, nothing more.
        self.assertEqual([["IxaGetHardwareValue(12, 4) = 1 [0]"]] * 4, segments(scan.trace, 15)[-4:])
        # Legacy counters are read once, as 32 bits.
        self.assertEqual(["IxaGetStatisticsValue(3, 4) = 1 [0]", "IxaGetStatisticsValue(4, 4) = 1 [0]"],
                         selected(scan, "IxaGetStatisticsValue", 3, 4))


class FaultTest(ScanTestCase):

    def test_module_faults_and_hours_that_are_no_number(self):
        nan, infinite, too_large = ({"hex": h} for h in ("00 00 C0 7F", "00 00 80 7F", "00 00 80 4F"))
        scan = self.scan(profile=changed(
            "corvabox-c94.json",
            IxaGetModuleFactoryValue={"8/0/0": {"error": 23}, "10/0/0": {"error": 87}, "8/2/0": {"error": 31},
                                      "9/2/0": {"error": 31}, "8/6/0": {"error": 50}, "10/6/0": {"u16": 0}},
            IxaGetModuleFirmwareValue={"1002/0/0": {"error": 87}, "1000/0/0": {"error": 1}},
            IxaGetModuleStatisticsValue={"1/0/0": nan, "1/2/0": infinite, "0/6/0": {"u32": 5}, "1/6/0": too_large},
            IxaGetModuleHardwareValue={"0/0/0": {"error": 87}}))
        groups = c94_groups(load_profile("corvabox-c94.json"))
        system_unit = groups["System Unit"]
        raw = system_unit[system_unit.index(t("Version", "V1.10")) + 9]
        expected = {
            "System Unit": replace(
                system_unit[:-2], (t("FPGA booted from", "High area"), t("FPGA booted from", failed(87))),
                (t("FPGA update counter", ok("3", "Dec")), t("FPGA update counter", failed(1))),
                (t("Version", "V1.10"), t("Version", na())), (raw, t("Raw data", na(), raw[3])),
                # The counter set's hours, which come before the fans' hours of the same text.
                (t("Power-on hours", "18342h 45min", "Operating hours"), None)),
            "Bus unit": replace(groups["Bus unit"], (t("Version", "V1.02"), t("Version", failed(31))),
                                (groups["Bus unit"][-4], t("Raw data", failed(31), "Complete factory settings")),
                                (groups["Bus unit"][-1], None)),
            # A stated size of 0 is no size: the error text of the size read, which succeeded.
            "Memory Module 1": replace(groups["Memory Module 1"], (t("Version", "V1.01"), t("Version", na())),
                                       (groups["Memory Module 1"][-1],
                                        t("Raw data", failed(0), "Complete factory settings"))) +
            counters(("power", "5", None))}
        for name, rows in expected.items():
            with self.subTest(group=name):
                self.assertLines(module_group(scan, name, rows), scan.group(name))
        self.assertEqual(["IxaGetModuleFactoryValue(10, 2, 0, 2) = 1 [0]",
                          "IxaGetModuleFactoryValue(9, 2, 0, 128) = 0 [31]"],
                         [c for c in selected(scan, "IxaGetModuleFactoryValue", 9, 10) if ", 2, 0," in c])

    def test_temperatures_and_link_statistics_that_are_no_number_are_left_out(self):
        nan, minus_infinite = {"hex": "00 00 C0 7F"}, {"hex": "00 00 80 FF"}
        scan = self.scan(profile=changed("corvabox-c94.json",
                                         IxaGetModuleTemperatureValue={"0/0/1": nan, "0/11/0": minus_infinite},
                                         IxaGetStatisticsValue={"31@panel0": nan}))
        groups = c94_groups(load_profile("corvabox-c94.json"))
        unit, board, link = groups["System Unit"], groups["CPU Board"], groups["HDBaseT 0"]
        second = unit.index(sub("Sensor 2"))
        expected = {"System Unit": unit[:second] + unit[unit.index(cat("Ready relay")):],
                    "CPU Board": replace(board, (sub("Sensor 1"), None), (t("Current", ok("49.00", "DegreeCentigrade"),
                                                                                "Current temperature"), None)),
                    "HDBaseT 0": replace(link, (t("Mean square error (Channel B)", "-22.25 dB"), None))}
        for name, rows in expected.items():
            with self.subTest(group=name):
                self.assertLines(module_group(scan, name, rows), scan.group(name))

    def test_panel_module_faults_leave_tests_out_where_the_panel_module_group_says_so(self):
        scan = self.scan(profile=changed(
            "corvabox-c94.json",
            IxaGetPanelModuleFactoryValue={"8/0/0/0": {"error": 87}, "10/0/0/0": {"error": 87}},
            IxaGetPanelModuleFirmwareValue={"1002/0/0/0": {"error": 5}, "1000/0/0/0": {"error": 5},
                                            "1003/0/0/0": {"error": 31}},
            IxaGetHardwareValue={"13@panel0": {"u32": 0}}))
        rows = c94_groups(load_profile("corvabox-c94.json"))["Panel 0"]
        rows = status(linked=False) + fpga("KV-FPGA PNL2", "V1.08", None, failed(31), None) + [
            row if row[1] != "Raw data" else t("Raw data", failed(87), row[3])
            for row in rows[rows.index(cat("Factory Settings")):] if row[1] != "Version"]
        self.assertLines(module_group(scan, "Panel 0", rows), scan.group("Panel 0"))

    def test_legacy_counters_are_not_read_again_as_16_bits(self):
        scan = self.scan(profile=changed("panevox-p95.json", IxaGetStatisticsValue={"3@panel1": {"u16": 2204},
                                                                                   "4@panel1": {"error": 1168}}))
        rows = panel_1(load_profile("panevox-p95.json"))
        rows = [t(row[1], failed(87 if row[1] == "Backlight-on cycles" else 1168), row[3])
                if row[1] in ("Backlight-on cycles", "Backlight-on hours") else row for row in rows]
        self.assertLines(module_group(scan, "Panel 1", rows), scan.group("Panel 1"))
        self.assertEqual(["IxaGetStatisticsValue(3, 4) = 0 [87]", "IxaGetStatisticsValue(4, 4) = 0 [1168]"],
                         selected(scan, "IxaGetStatisticsValue", 3, 4))


if __name__ == "__main__":
    unittest.main()
