"""System unit and panels groups (sequence B): every model's groups line by line, faults, panel selections."""

import unittest

from kvtest import ScanTestCase, load_profile
from unit_tables import (cat, changed, dump, failed, group_calls, na, ok, profile_bytes, render, selected,
                         selection_run, shown, sub, t)

SYSTEM_UNIT = "System Unit"
SU_DESCRIPTION = "Contains tests of system unit specific items like temperatures, factory settings or fan speeds."
PANELS = "Panels"
PANELS_DESCRIPTION = "Contains tests of panel related items like brightness or resolution."

KMON = [sub("KMON"), t("KMON version", "V2.08"), t("Boot mode", "High area")]
NO_KMON = [sub("KMON"), t("FPGA version", "V1.10"), t("QZ16 version", "V2.03")]
VD_LINK = [sub("VD Link"), t("Type", "VD Link DVI-2"), t("FPGA version", "V1.02")]
NO_VD_LINK = [sub("VD Link"), t("Type", "Not available")]

COMPATIBILITY = ("The compatibility ID is used to recognize hardware changes that are important for device specific "
                 "software.")
PARENT_DEVICE = ("The parent device ID indicates the device, from which the actual device was derived (e.g. at a "
                 "customer specific variant of a standard device). FFFFFFFFh means no parent.")
PARENT_COMPATIBILITY = ("The compatibility ID indicates the device, from which the actual device was derived (e.g. at "
                        "a customer specific variant of a standard device). FFFFh means no parent.")

# Board temperatures of the models' profiles, and the descriptions of three of them.
TEMPERATURES = {"Power supply": "43", "Board power supply": "47", "Board Ethernet Controller 2": "49",
                "Board I/O": "39", "Board out": "44", "Board center": "48", "Board in": "31",
                "Ethernet Controller 2": "51", "Slide-In drive 1": "36", "Slide-In drive 2": "35", "IF slot": "41"}
BOARD_DESCRIPTIONS = {
    "Board out": "Temperature of the baseboard at the air outlet (at the top of the device).",
    "Board center": "Temperature in the baseboard center of (between baseboard and CPU board).",
    "Board in": "Temperature of the baseboard at the air inlet (at the bottom of the device)."}
SENSORS = ["41", "38", "44", "35"]
FANS = ["2350", "2410", "2380", "2395"]
C6 = ["Power supply", "Board I/O", "Slide-In drive 1", "Slide-In drive 2"]

# Per device type: firmware, optimized ID, raw data bytes, board temperatures (None: sensors 1 to 4), case fans,
# switch tests (None: no category), battery (True: state and Vbat, False: state, None: no category).
LAYOUT = {
    6: (NO_KMON + VD_LINK, "00000101", 256, C6, 3, None, True),
    7: (NO_KMON, "10000110", 256, C6, 3, None, True),
    12: (KMON + NO_VD_LINK, None, 256, ["Power supply", "Board power supply", "Board Ethernet Controller 2",
                                        "Board I/O", "Ethernet Controller 2", "Slide-In drive 1", "Slide-In drive 2"],
         4, ["CMOS profile"], False),
    13: (KMON, None, 256, ["Power supply", "Board power supply", "Board Ethernet Controller 2", "Board I/O",
                           "Slide-In drive 1", "IF slot"], 4, ["CMOS profile"], False),
    14: (KMON, None, 256, ["Power supply", "Board out", "Board center", "Board in", "IF slot"], 3, ["CMOS profile"],
         False),
    15: (KMON, None, 2048, None, 0, ["Mode/Node"], True),
    16: (KMON, None, 2048, None, 0, None, True),
    17: (KMON, None, 2048, None, 0, ["Mode/Node"], True),
    18: (KMON, None, 2048, None, 0, None, True),
    19: (KMON, None, 2048, None, 0, None, True),
    20: (KMON, None, 2048, None, 0, None, None),
    21: (KMON, None, 2048, None, 0, None, None),
}
#           profile              type  version  device ID   compat revision serial         model number      counters
MODELS = [("corvabox-c20.json", 6, "V1.02", "0000B061", "0002", "B2", "E9C20160114", "KV-C20.1010-02",
           ("3120", "40210", "38800")),
          ("panevox-p30.json", 7, "V1.02", "0000B071", "0001", "A1", "E9P30161207", "KV-P30.1210-01",
           ("2211", "35102", "30977")),
          ("corvabox-c40.json", 12, "V1.02", "0000B121", "0003", "C0", "E9C40170356", "KV-C40.3010-03",
           ("1830", "29980", "27615")),
          ("panevox-p50.json", 13, "V1.02", "0000B131", "0002", "B1", "E9P50171123", "KV-P50.3210-01",
           ("1544", "26011", "24190")),
          ("corvabox-c60.json", 14, "V1.02", "0000B141", "0001", "A3", "E9C60172290", "KV-C60.3510-00",
           ("1402", "21473", "20002")),
          ("voltadeck-v70.json", 15, "V1.04", "0000B151", "0002", "B0", "E9V70179015", "KV-V70.4010-01",
           ("1423", "20871", None)),
          ("corvabox-c80.json", 16, "V1.04", "0000B161", "0001", "A2", "E9C80180227", "KV-C80.4110-00",
           ("988", "15002", None)),
          ("corvabox-c81.json", 17, "V1.04", "0000B171", "0001", "A1", "E9C81180390", "KV-C81.4110-01",
           ("312", "4410", None)),
          ("corvabox-c90.json", 18, "V1.04", "0000B2F1", "0003", "C1", "E9C50172913", "KV-C90.2110-01",
           ("1287", "23541", "19876")),
          ("panevox-p91.json", 19, "V1.04", "0000B191", "0003", "C2", "E9P91177504", "KV-P91.2210-02",
           ("1105", "18922", "17190")),
          ("corvabox-c92.json", 20, "V1.04", "0000B201", "0001", "A0", "E9C92184410", "KV-C92.5010-00",
           ("420", "6120", "9800")),
          ("panevox-p93.json", 21, "V1.04", "0000B211", "0001", "A0", "E9P93185572", "KV-P93.5210-00",
           ("377", "5530", "3090"))]

# The panels of each model: index, parts, changed results. Parts: L link, F factory settings, P the panel's own
# power-on counters, S statistics, T temperature, N fan, D display type, E equalizer in manual mode with its
# auto value, A equalizer in automatic mode, k no keys, 4 LED layers 2 to 4, U not linked.
MODEL_PANELS = {
    "corvabox-c20.json": [(0, "LFSTN E4", {})],
    "panevox-p30.json": [(0, "LFSTN E4", {"Lock time": na()})],
    "corvabox-c40.json": [(0, "LFSTN E4", {"Resolution": "1024x768", "Brightness": "100%"})],
    "panevox-p50.json": [(0, "LFSTN A4", {})],
    "corvabox-c60.json": [(0, "LFSTN Ek", {})],
    "voltadeck-v70.json": [(0, "S D4", {})],
    "corvabox-c80.json": [(0, "S4", {})],
    "corvabox-c81.json": [(0, "S4", {})],
    "corvabox-c90.json": [(0, "LFSTN E4", {})],
    "panevox-p91.json": [(15, "FPST4", {})],
    "corvabox-c92.json": [(3, "LFSTN E4", {}), (7, "U", {})],
    "panevox-p93.json": [(2, "LFSTN E4", {}), (15, "FPST4", {})],
}

PANEL_RAW = dump(profile_bytes(load_profile("corvabox-c90.json")["IxaGetFactoryValue"]["18@panel0"]), 256)
LAYER_1 = dump(bytes([3]) + bytes(31), 32)
ZEROS_16 = dump(bytes(16), 16)
ZEROS_32 = dump(bytes(32), 32)
KEY_SWITCHES = ("The state of the key switches on the device. Each state is represented by one bit: 0 = contact "
                "open, 1 = contact closed.")
KEY_COUNT = "The maximum number of keys supported by the Kavrol device."
LED_COUNT = "The maximum number of LEDs supported by the Kavrol device."
AUTO_VALUE = ("Predetermined equalizer value of the Viewdeck: 0 (strong; for long cables) to 15 (weak; for short "
              "cables).")


def system_unit_rows(profile, model_type, version, device_id, compat, revision, serial, model, counters,
                     firmware=None, changes=None):
    """The system unit of a model's profile; changes replace results by label, None leaves a test out."""
    layout_firmware, optimized, raw_size, temperatures, fans, switches, battery = LAYOUT[model_type]
    older = model_type < 15  # the older models' libraries know no parent IDs
    rows = list(firmware or layout_firmware) + [
        cat("Factory Settings"), t("Version", version), t("Vendor ID", ok("00000000", "Hex"), "Kavrol = 0."),
        t("Device ID", ok(device_id, "Hex")), t("Compatibility ID", ok(compat, "Hex"), COMPATIBILITY),
        t("Parent Device ID", na() if older else ok("FFFFFFFF", "Hex"), PARENT_DEVICE),
        t("Parent Compatibility ID", na() if older else ok("FFFF", "Hex"), PARENT_COMPATIBILITY),
        t("Hardware revision", revision), t("Serial number", serial), t("Model number", model)]
    if optimized:
        rows.append(t("Optimized ID", ok(optimized, "Dec")))
    raw = dump(profile_bytes(profile["IxaGetFactoryValue"]["17"]), raw_size)
    rows += [t("Raw data", ok(raw, "Raw"), "Complete factory settings of the Kavrol device."), cat("Statistics")]
    rows += [t(label, ok(value, "Dec")) for label, value in zip(("Power-on cycles", "Power-on hours", "Fan-on hours"),
                                                                  counters) if value is not None]
    rows.append(cat("Temperatures"))
    if temperatures is None:
        rows += [t("Sensor %d" % n, ok(value, "DegreeCentigrade")) for n, value in enumerate(SENSORS, 1)]
    else:
        rows += [t(label, ok(TEMPERATURES[label], "DegreeCentigrade"), BOARD_DESCRIPTIONS.get(label, "DescrUndef"))
                 for label in temperatures]
    if fans:
        rows += [cat("Fans")] + [t("Case fan %d" % n, ok(rpm, "Rpm")) for n, rpm in enumerate(FANS[:fans], 1)]
    if switches is not None:
        rows.append(cat("Switches"))
    for label in switches or []:
        rows.append(t("CMOS profile", ok("3", "Hex")) if label == "CMOS profile" else
                    t("Mode/Node", ok("0A", "Hex"), "The setting of the Mode/Node switches."))
    if battery is not None:
        rows += [cat("CMOS Battery"),
                 t("CMOS battery state", ok("1", "Dec"), "0 = Unknown, 1 = Good, 2 = Bad (missing, defect or empty).")]
    if battery:
        rows.append(t("Vbat", ok("3.012", "Volt"), "Battery voltage (Vbat)"))
    return apply(rows, changes or {})


def apply(rows, changes):
    """Rows with results replaced by label; None leaves the test out."""
    out = []
    for row in rows:
        if row[0] == "test" and row[1] in changes:
            change = changes[row[1]]
            if change is None:
                continue
            row = t(row[1], change, row[3])
        out.append(row)
    return out


def panel_rows(index, parts, changes, first):
    """One panel's category: its subcategories and tests as the models' profiles answer."""
    rows = [] if first else [cat("Panel %d" % index, None)]
    rows += [sub("Status"), t("Linked", ok("No" if "U" in parts else "Yes", "YesNo"))]
    if "U" in parts:
        return rows
    rows += [t("Locked", ok("No", "YesNo")), t("Lock time", ok("3000", "MilliSeconds"))]
    if "L" in parts:
        rows += [sub("Link"), t("Type", "DVI (VLK3)"), t("FPGA version", "V1.03")]
    if "F" in parts:
        rows += [sub("Factory Settings"), t("Vendor ID", "00000000h", "Kavrol = 0."), t("Device ID", "0000E215h"),
                 t("Compatibility ID", "0002h", COMPATIBILITY), t("Hardware revision", "C0"),
                 t("Serial number", "E9P21104587"), t("Model number", "KV-PNL.21W-K34"),
                 t("Raw data", ok(PANEL_RAW, "Raw"), "Complete factory settings of the Viewdeck.")]
    if "S" in parts:
        rows.append(sub("Statistics"))
        if "P" in parts:
            rows += [t("Power-on cycles", ok("2210", "Dec")), t("Power-on hours", ok("30120", "Dec"))]
        rows += [t("Backlight-on cycles", ok("1302", "Dec")), t("Backlight-on hours", ok("17965", "Dec"))]
    if "T" in parts:
        rows += [sub("Temperature"), t("Panel %d" % index, ok("38", "DegreeCentigrade"))]
    if "N" in parts:
        rows += [sub("Fans"), t("Panel %d fan" % index, ok("3120", "Rpm"))]
    rows.append(sub("Display Settings"))
    if "D" in parts:
        rows.append(t("Display type", ok("02", "Hex")))
    rows += [t("Resolution", "1920x1080"), t("Brightness", "80%"), t("Default brightness", ok("100", "Percent"))]
    if "E" in parts:
        rows += [t("Equalizer", "7 (Manual)"), t("Equalizer auto value", "9", AUTO_VALUE)]
    if "A" in parts:
        rows.append(t("Equalizer", "7 (Auto)"))
    rows += [sub("Keys"), t("Count", "0" if "k" in parts else "34", KEY_COUNT)]
    if "k" not in parts:
        rows += [t("Enabled", ok("Yes", "YesNo"), "Determines whether the keys are enabled."),
                 t("Switches", ok("01", "Hex"), KEY_SWITCHES),
                 t("Matrix", ok(ZEROS_16, "Raw"), "State of all keys on the Viewdeck.")]
    rows += [sub("LEDs"), t("Count", "34", LED_COUNT),
             t("Matrix, layer 1", ok(LAYER_1, "Raw"), "State of all LEDs on the Viewdeck.")]
    if "4" in parts:
        rows += [t("Matrix, layer %d" % n, ok(ZEROS_32, "Raw"), "State of all LEDs on the Viewdeck.")
                 for n in (2, 3, 4)]
    return apply(rows, changes)


def panels_group(scan, panels):
    rows = []
    for position, (index, parts, changes) in enumerate(panels):
        rows += panel_rows(index, parts, changes, position == 0)
    return render(scan, PANELS, PANELS_DESCRIPTION, rows, "Panel %d" % panels[0][0])


def system_unit_group(scan, name, firmware=None, changes=None, profile=None):
    model = next(m for m in MODELS if m[0] == name)
    rows = system_unit_rows(profile or load_profile(name), *model[1:], firmware=firmware, changes=changes)
    return render(scan, SYSTEM_UNIT, SU_DESCRIPTION, rows, "Firmware")


def between(trace, start, stop):
    """The trace lines after the line start up to the line stop."""
    first = trace.index(start) + 1
    return trace[first:trace.index(stop, first)]


class ModelTest(ScanTestCase):
    """Each model's profile: both groups whole, as its device type and its panels decide."""

    def test_every_model_shows_its_system_unit_and_panels(self):
        for name, *_ in MODELS:
            with self.subTest(profile=name):
                scan = self.scan(profile=name)
                self.assertLines(system_unit_group(scan, name), scan.group(SYSTEM_UNIT))
                self.assertLines(panels_group(scan, MODEL_PANELS[name]), scan.group(PANELS))
                groups = scan.groups()
                at = groups.index(SYSTEM_UNIT)
                self.assertEqual(["General", SYSTEM_UNIT, "CPU Board"], groups[at - 1:at + 2])
                self.assertLess(groups.index("Operating controls"), groups.index(PANELS))

    def test_panels_are_searched_then_selected_again_from_the_first_present_one(self):
        # Panel 3 without a key configuration: none of its rules needs the device type.
        scan = self.scan(profile=changed("corvabox-c92.json",
                                         IxaGetKeyCfgState={"u32": 1, "@panel3": {"u32": 0}}))
        run = selection_run(scan.trace, ["IxaSelectPanel(%d) = 1 [0]" % p for p in list(range(4)) + list(range(3, 16))])
        self.assertIsNotNone(run)
        # An unlinked panel: its presence and link state, nothing more.
        self.assertEqual(["IxaGetHardwareValue(12, 4) = 1 [0]", "IxaGetHardwareValue(13, 4) = 1 [0]"],
                         between(run, "IxaSelectPanel(7) = 1 [0]", "IxaSelectPanel(8) = 1 [0]"))
        # No rule of panel 3 asks for the device type: its key configuration state is 0.
        self.assertEqual([], [call for call in between(run, "IxaSelectPanel(3) = 1 [0]", "IxaSelectPanel(4) = 1 [0]")
                              if call.startswith("IxaGetDeviceType(")])

    def test_each_device_type_rule_reads_an_unreadable_device_type_again_where_it_decides(self):
        scan = self.scan(profile=changed("corvabox-c90.json", IxaGetDeviceType={"error": 87}))
        self.assertLines(panels_group(scan, [(0, "LFSTN E4", {})]), scan.group(PANELS))
        run = selection_run(scan.trace, ["IxaSelectPanel(%d) = 1 [0]" % p for p in [0] + list(range(16))])
        marks = ("IxaGetDeviceType(", "IxaGetHardwareStringW(", "IxaGetDisplayDefaultBrightness(",
                 "IxaGetDisplayEqualizer(", "IxaGetLedCount(", "IxaGetKeyCfgState(", "IxaGetLedMatrix(")
        calls = [c for c in between(run[1:], "IxaSelectPanel(0) = 1 [0]", "IxaSelectPanel(1) = 1 [0]")
                 if c.startswith(marks)]
        unread = "IxaGetDeviceType() = 0 [87]"
        # One read per device type named: link (15, 16, 17, 22), factory settings (the same), statistics (22),
        # temperature, fan, display type (15) before and equalizer (15, 16, 17, 22) after the brightness; layers 2
        # to 4 (22) after their key configuration state.
        expected = [unread] * 4 + ["IxaGetHardwareStringW(17, 512) = 1 [0]"] + [unread] * 14 + [
            "IxaGetDisplayDefaultBrightness() = 1 [0]"] + [unread] * 4 + [
            "IxaGetDisplayEqualizer() = 1 [0]", "IxaGetLedCount() = 1 [0]"]
        for layer in range(4):
            expected += ["IxaGetKeyCfgState() = 1 [0]"] + [unread] * (layer > 0) + [
                "IxaGetLedMatrix(%d, 32) = 1 [0]" % layer]
        self.assertEqual(expected, calls)


class SystemUnitFaultTest(ScanTestCase):

    def test_sensor_model_with_failing_reads(self):
        scan = self.scan(profile=changed(
            "corvabox-c90.json",
            IxaGetFirmwareStringW={"27": {"error": 87}, "19": {"error": 31}},
            IxaGetFactoryValue={"2": {"u16": 1}, "31": {"error": 87}, "32": {"error": 1}},
            IxaGetFactoryStringW={"13": {"error": 5}},
            IxaGetStatisticsValue={"0": {"u8": 3}, "1": {"error": 1168}, "2": {"error": 87}},
            IxaGetTemperature={"19": {"u8": "0xF6"}, "20": {"error": 87}},
            IxaGetAlarm={"31": {"u32": 1}, "33": {"error": 5}},
            IxaGetHardwareValue={"37": {"i32": 2}}, IxaGetVoltage={"3": {"error": 87}}))
        # Without KMON version: the FPGA and QZ16 versions, error 87 giving N/A.
        firmware = [sub("KMON"), t("FPGA version", na()), t("QZ16 version", failed(31))]
        self.assertLines(system_unit_group(scan, "corvabox-c90.json", firmware, {
            "Device ID": failed(87), "Parent Device ID": na(), "Parent Compatibility ID": failed(1),
            "Serial number": failed(5), "Power-on cycles": na("Dec"), "Power-on hours": failed(1168),
            "Fan-on hours": None, "Sensor 1": ("-10", "DegreeCentigrade", "Alarm"), "Sensor 2": None,
            "CMOS battery state": ok("2", "Dec"), "Vbat": failed(87)}), scan.group(SYSTEM_UNIT))
        # The 16-bit retry follows error 87 only; a sensor that cannot be read has no alarm read.
        calls = group_calls(scan, "IxaGetFirmwareStringW(27,")
        self.assertEqual(["IxaGetStatisticsValue(0, 4) = 0 [87]", "IxaGetStatisticsValue(0, 2) = 0 [87]",
                          "IxaGetStatisticsValue(1, 4) = 0 [1168]", "IxaGetStatisticsValue(2, 4) = 0 [87]",
                          "IxaGetStatisticsValue(2, 2) = 0 [87]"], selected(calls, "IxaGetStatisticsValue", 0, 1, 2))
        self.assertEqual([], selected(calls, "IxaGetAlarm", 32))
        self.assertEqual([], selected(calls, "IxaGetFirmwareValue", 29))


    def test_table_model_with_failing_reads(self):
        scan = self.scan(profile=changed(
            "corvabox-c20.json", IxaGetHardwareStringW={"19": {"error": 87}},
            IxaGetHardwareValue={"15": {"error": 1}, "7": {"error": 87}},
            IxaGetTemperature={"2": {"error": 1168}, "1": {"u8": "0xF6"}}, IxaGetAlarm={"0": {"u32": 1}}))
        firmware = NO_KMON + [sub("VD Link"), t("Type", failed(87))]
        self.assertLines(system_unit_group(scan, "corvabox-c20.json", firmware, {
            "Optimized ID": failed(1), "Power supply": failed(1168), "Board I/O": ("-10", "DegreeCentigrade", "Alarm"),
            "Case fan 2": None}), scan.group(SYSTEM_UNIT))
        calls = group_calls(scan, "IxaGetFirmwareStringW(27,")
        self.assertEqual([], selected(calls, "IxaGetFirmwareStringW", 24))
        self.assertEqual([], selected(calls, "IxaGetAlarm", 1))

    def test_boot_area_other_than_1_vd_link_firmware_and_cmos_profile_failures(self):
        scan = self.scan(profile=changed(
            "corvabox-c40.json", IxaGetFirmwareValue={"29": {"u32": 1, "return": 2}},
            IxaGetHardwareValue={"18": {"u32": 3}, "51": {"error": 87}},
            IxaGetHardwareStringW={"19": {"wstr": "VD Link HDMI"}}, IxaGetFirmwareStringW={"24": {"error": 31}}))
        firmware = [sub("KMON"), t("KMON version", "V2.08"), t("Boot mode", failed(0)), sub("VD Link"),
                    t("Type", "VD Link HDMI"), t("FPGA version", failed(31))]
        self.assertLines(system_unit_group(scan, "corvabox-c40.json", firmware, {"CMOS profile": failed(87)}),
                         scan.group(SYSTEM_UNIT))

    def test_no_readable_sensor_writes_no_temperatures_category(self):
        scan = self.scan(profile=changed("corvabox-c80.json", IxaGetTemperature={
            "19": {"error": 87}, "20": {"error": 1}, "21": {"error": 87}, "22": {"error": 5}}))
        rows = [row for row in system_unit_rows(load_profile("corvabox-c80.json"), *MODELS[6][1:])
                if row[1] not in ("Temperatures", "Sensor 1", "Sensor 2", "Sensor 3", "Sensor 4")]
        self.assertLines(render(scan, SYSTEM_UNIT, SU_DESCRIPTION, rows, "Firmware"), scan.group(SYSTEM_UNIT))

    def test_unreadable_device_type_writes_no_system_unit_but_the_panels(self):
        profile = {"IxaGetDeviceType": {"error": 87}, "IxaGetHardwareValue": {"12@panel4": {"u32": 1},
                                                                             "13@panel4": {"u32": 1}}}
        scan = self.scan(profile=profile, library="legacy")
        self.assertNotIn(SYSTEM_UNIT, scan.groups())
        self.assertEqual([], selected(scan, "IxaGetFactoryValue", 1, 2, 17))
        # Every read fails with 87; the device-type rules count as no device type.
        rows = [sub("Status"), t("Linked", ok("Yes", "YesNo")), t("Locked", shown(87)), t("Lock time", failed(87)),
                sub("Link"), t("Type", failed(87)), t("FPGA version", failed(87)), sub("Factory Settings")]
        rows += [t(label, failed(87), description) for label, description in (
            ("Vendor ID", "Kavrol = 0."), ("Device ID", "DescrUndef"), ("Compatibility ID", COMPATIBILITY),
            ("Hardware revision", "DescrUndef"), ("Serial number", "DescrUndef"), ("Model number", "DescrUndef"),
            ("Raw data", "Complete factory settings of the Viewdeck."))]
        rows += [sub("Statistics"), t("Backlight-on cycles", failed(87)), t("Backlight-on hours", failed(87)),
                 sub("Temperature"), t("Panel 4", failed(87)), sub("Fans"), t("Panel 4 fan", shown(87)),
                 sub("Display Settings"), t("Resolution", failed(87)), t("Brightness", failed(87)),
                 t("Equalizer", failed(87)), sub("Keys"),
                 t("Count", failed(87), "The maximum number of keys supported by the Kavrol device."), sub("LEDs"),
                 t("Count", failed(87), "The maximum number of LEDs supported by the Kavrol device.")]
        self.assertLines(render(scan, PANELS, PANELS_DESCRIPTION, rows, "Panel 4"), scan.group(PANELS))
        # Panels 1 to 14 have no device-type rule but the LED layers', which a failed LED count never reaches.
        self.assertEqual([], [call for call in between(scan.trace, "IxaGetHardwareValue(13, 4) = 1 [0]",
                                                       "IxaSelectPanel(5) = 1 [0]") if call.startswith("IxaGetDeviceType(")])


class PanelFaultTest(ScanTestCase):

    def test_failing_panel_reads_and_panels_15_and_5(self):
        scan = self.scan(profile=changed(
            "corvabox-c90.json",
            IxaGetHardwareValue={"12@panel5": {"u32": 1}, "13@panel5": {"error": 5}, "12@panel15": {"u32": 1},
                                 "13@panel15": {"u32": 1}, "14@panel0": {"error": 5}, "11@panel0": {"error": 50}},
            IxaGetPanelLockTime={"error": 31}, IxaGetFactoryValue={"27@panel0": {"u16": 0}, "16@panel0": {"error": 1}},
            IxaGetStatisticsValue={"3@panel0": {"u16": 1302}, "4@panel0": {"error": 87}},
            IxaGetAlarm={"9@panel0": {"u32": 1}}, IxaGetDisplayBrightness={"@panel0": {"error": 31}, "u8": 80},
            IxaGetDisplayEqualizer={"error": 50}, IxaGetKeySwitches={"error": 87}, IxaGetKeyMatrix={"error": 1},
            IxaGetLedMatrix={"2": {"error": 87}}))
        changes = {"Locked": shown(5), "Lock time": failed(31), "Vendor ID": failed(87),
                   "Backlight-on hours": failed(87), "Panel 0": ("38", "DegreeCentigrade", "Alarm"),
                   "Panel 0 fan": shown(50), "Resolution": failed(1), "Brightness": failed(31),
                   "Default brightness": None, "Equalizer": na(), "Equalizer auto value": None,
                   "Switches": ok("Undefined", "String"), "Matrix": failed(1), "Matrix, layer 3": failed(87)}
        rows = panel_rows(0, "LFSTN E4", changes, True) + [cat("Panel 5", None), sub("Status"),
                                                          t("Linked", shown(5))]
        # Panel 15 of a C90: none of the optional subcategories, no equalizer; its lock state and resolution
        # are not in the profile.
        rows += panel_rows(15, "4", {"Locked": shown(87), "Lock time": failed(31), "Resolution": failed(87),
                                     "Switches": ok("Undefined", "String"), "Matrix": failed(1),
                                     "Matrix, layer 3": failed(87)}, False)
        self.assertLines(render(scan, PANELS, PANELS_DESCRIPTION, rows, "Panel 0"), scan.group(PANELS))
        self.assertEqual(["IxaGetStatisticsValue(3, 4) = 0 [87]", "IxaGetStatisticsValue(3, 2) = 1 [0]",
                          "IxaGetStatisticsValue(4, 4) = 0 [87]", "IxaGetStatisticsValue(4, 2) = 0 [87]"],
                         selected(scan, "IxaGetStatisticsValue", 3, 4))
        self.assertEqual([], selected(scan, "IxaGetHardwareValue", 21))

    def test_equalizer_auto_value_follows_only_a_reported_manual_mode(self):
        cases = (({"IxaGetDisplayEqualizer": {"error": 87}}, {"Equalizer": failed(87), "Equalizer auto value": None}),
                 ({"IxaGetHardwareValue": {"21@panel0": {"error": 50}}}, {"Equalizer auto value": na()}),
                 ({"IxaGetHardwareValue": {"21@panel0": {"error": 5}}}, {"Equalizer auto value": failed(5)}))
        for answers, changes in cases:
            with self.subTest(answers=answers):
                scan = self.scan(profile=changed("corvabox-c90.json", **answers))
                self.assertLines(panels_group(scan, [(0, "LFSTN E4", changes)]), scan.group(PANELS))
                self.assertEqual(0 if "IxaGetDisplayEqualizer" in answers else 1,
                                 len(selected(scan, "IxaGetHardwareValue", 21)))

    def test_equalizer_value_written_wider_than_8_bits_shows_its_low_byte(self):
        # A library that writes 32 bits into the 8-bit value: its low byte is the value, and nothing beside it
        # is overwritten (with a one-byte room the upper bytes land in the mode flag read by the same call).
        for mode, shown_mode in ((0, "E"), (1, "A")):
            with self.subTest(mode=mode):
                scan = self.scan(profile=changed("corvabox-c90.json", IxaGetDisplayEqualizer={
                    "mode": mode, "value": {"u32": "0xFFFFFF07"}}))
                self.assertLines(panels_group(scan, [(0, "LFSTN %s4" % shown_mode, {})]), scan.group(PANELS))

    def test_failed_count_call_that_wrote_a_count_ends_the_key_or_led_tests(self):
        # The call returns 0 with last error 0 but writes a count: the count is not trusted.
        full = panel_rows(0, "LFSTN E4", {}, True)
        keys, leds = full.index(sub("Keys")), full.index(sub("LEDs"))
        cases = (("IxaGetKeyCount", full[:keys + 1] + [t("Count", failed(0), KEY_COUNT)] + full[leds:]),
                 ("IxaGetLedCount", full[:leds + 1] + [t("Count", failed(0), LED_COUNT)]))
        for entry_point, rows in cases:
            with self.subTest(entry_point=entry_point):
                scan = self.scan(profile=changed("corvabox-c90.json", **{entry_point: {"u8": 6, "return": 0}}))
                self.assertLines(render(scan, PANELS, PANELS_DESCRIPTION, rows, "Panel 0"), scan.group(PANELS))


if __name__ == "__main__":
    unittest.main()
