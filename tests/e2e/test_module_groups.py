"""Slide-in drives, fan kits, IF boards, bus unit, I/O board, display link and DVI: one scan per device
and variant, every group compared line by line (or found absent), and the library calls that matter."""

import unittest

from kvtest import ScanTestCase, load_profile
from module_groups import (alarm, all_failed, answer_bytes, bus_unit, counters, display_link, dvi, dvi_settings,
                           factory, failed, fan_kits, firmware, group_calls, hex_answer, if_boards, io_board,
                           numbered, ok, selected, sensors, slide_in_drives)
from test_cpu import with_answers

GROUPS = ["Bus Unit", "Slide-In Drives", "Fan Kits", "IF Boards", "I/O Board", "Display Link", "DVI"]
C90, V70, C80, C81 = (load_profile(name) for name in ("corvabox-c90.json", "voltadeck-v70.json",
                                                        "corvabox-c80.json", "corvabox-c81.json"))
P91, C92, P93 = (load_profile(name) for name in ("panevox-p91.json", "corvabox-c92.json", "panevox-p93.json"))
C94 = load_profile("corvabox-c94.json")


def display(profile, key):
    return answer_bytes(profile["IxaGetFactoryValue"][key], 256)


def patched(data, **offsets):
    """Display data with bytes replaced: at_<offset>=bytes."""
    data = bytearray(data)
    for name, values in offsets.items():
        start = int(name[3:])
        data[start:start + len(values)] = values
    return bytes(data)


def rpm(label, *values):
    return numbered(label, values, "Rpm")


def fan_counters(cycles, hours):
    return counters(cycles, hours, ("Fan-on cycles", "Fan-on hours"))


KAVROL_BLOCK = "00000000h"


def c90_bus_kit(fans=(3100, 3080, 3125, 3090)):
    return ("Bus Fan Kit", factory(C90, "bus fan kit"), fan_counters(1266, 21877), rpm("Bus fan", *fans))


def c90_if1():
    return (1, factory(C90, "IF board 1"), None, counters(1270, 23120))


def c90_dvi2():
    return (2, ok("Yes", "YesNo"), dvi_settings(display(C90, "20@panel8"), "1280x1024", manufacturer="other"))


def c90(scan):
    return {
        "Bus Unit": bus_unit(scan, factory(C90, "bus unit"), counters(1280, 23498)),
        "Slide-In Drives": slide_in_drives(scan, (1, factory(C90, "slide-in drive 1"), ok(36, "DegreeCentigrade"))),
        "Fan Kits": fan_kits(scan, ("Case Fan Kit", factory(C90, "case fan kit"), fan_counters(1269, 19876),
                                    rpm("Case fan", 2350, 2410, 2380, 2395)), c90_bus_kit()),
        "IF Boards": if_boards(scan, c90_if1()),
        "Display Link": display_link(scan, firmware("V1.06", "High area"), factory(C90, "display link"),
                                     counters(1281, 23470), sensors(45, 42, 40, 37)),
        "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(display(C90, "19"), "1920x1080", (
            KAVROL_BLOCK, "0000E215h", "0002h", "C0", "E9P21104587", "KV-PNL.21W-K34"))), c90_dvi2()),
    }


def v70_if1(temperatures=sensors(38, 36, 40, 35)):
    return (1, factory(V70, "IF board 1"), temperatures, counters(1401, 20544))


def v70_io(fpga="V2.14", boot="High area", temperatures=sensors(41, 39, 44, 37), cycles=1415, hours=20790):
    return firmware(fpga, boot), factory(V70, "I/O board"), temperatures, counters(cycles, hours)


V70_BLOCK = (KAVROL_BLOCK, "0000E1C4h", "0001h", "B0", "E9P10175520", "KV-PNL.12T-V70")


def v70(scan):
    return {"I/O Board": io_board(scan, *v70_io()), "IF Boards": if_boards(scan, v70_if1()),
            "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(display(V70, "19@panel1"), "1280x800",
                                                                  V70_BLOCK)))}


def v70_without_io_board(scan):
    return {"IF Boards": if_boards(scan, v70_if1())}


def c80(scan):
    temperatures = sensors(39, 37, 41, 36)
    return {
        "I/O Board": io_board(scan, firmware("V2.20", "Low area"),
                              factory(C80, "I/O board"), sensors(43, 40, 46, 38), counters(990, 15010)),
        "IF Boards": if_boards(scan, (1, factory(C80, "IF board 1"), temperatures, counters(985, 14990)),
                               (2, factory(C80, "IF board 2"), temperatures, counters(982, 14950))),
        "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(display(C80, "19@panel1"), "1024x768", (
            KAVROL_BLOCK, "0000E1D0h", "0002h", "C1", "E9P10182231", "KV-PNL.15T-C80")))),
    }


def c81_if2(temperatures=sensors(40, 38, 42, 37)):
    return (2, factory(C81, "IF board 2"), temperatures, counters(310, 4405))


def c81(scan):
    return {
        "I/O Board": io_board(scan, firmware("V2.20", "High area"),
                              factory(C81, "I/O board"), sensors(45, 42, 47, 40), counters(315, 4420)),
        "IF Boards": if_boards(scan, c81_if2()),
        "DVI": dvi(scan, (1, ok("No", "YesNo"), None)),
    }


def p91(scan, temperature1=ok(38, "DegreeCentigrade")):
    return {
        "Bus Unit": bus_unit(scan, factory(P91, "bus unit"), counters(980, 17210)),
        "Slide-In Drives": slide_in_drives(scan, (1, factory(P91, "slide-in drive 1"), temperature1),
                                           (2, factory(P91, "slide-in drive 2"), ok(41, "DegreeCentigrade"))),
        "Fan Kits": fan_kits(scan, ("Case Fan Kit", factory(P91, "case fan kit"), fan_counters(975, 17190),
                                    rpm("Case fan", 2280, 2310, 2295, 2300))),
        "IF Boards": if_boards(scan, (1, factory(P91, "IF board 1"), None, counters(1101, 18904))),
        "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(display(P91, "19@panel0"), "1280x1024", (
            KAVROL_BLOCK, "0000E250h", "0001h", "A3", "E9P21190664", "KV-PNL.19T-P91")))),
    }


def c92(scan, variant=False):
    """The variant has neither case fan kit nor display link."""
    groups = {
        "Fan Kits": fan_kits(scan, *[("Case Fan Kit", factory(C92, "case fan kit"), fan_counters(630, 9800),
                                      rpm("Case fan", 2250, 2270, 2265))][variant:],
                             ("Bus Fan Kit", factory(C92, "bus fan kit"), fan_counters(628, 9790),
                              rpm("Bus fan", 3050, 3075, 3060, 3040))),
        "IF Boards": if_boards(scan, (2, factory(C92, "IF board 2"), None, counters(625, 9770))),
        "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(display(C92, "19@panel0"), "1920x1080", (
            KAVROL_BLOCK, "0000E1E0h", "0002h", "B1", "E9P21181308", "KV-PNL.21W-C92")))),
    }
    if not variant:
        groups["Display Link"] = display_link(scan, firmware("V1.10", "Low area"),
                                              factory(C92, "display link"), counters(640, 9875))
    return groups


def p93(scan):
    return {
        "Fan Kits": fan_kits(scan, ("Case Fan Kit", factory(P93, "case fan kit"), fan_counters(210, 3090),
                                    rpm("Case fan", 2240, 2255, 2260))),
        "IF Boards": if_boards(scan, (1, factory(P93, "IF board 1"), None, counters(212, 3105)),
                               (2, factory(P93, "IF board 2"), None, counters(212, 3104))),
    }


def c94(scan):
    return {"DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(display(C94, "19"), "1366x768")),
                       (2, ok("No", "YesNo"), None))}


# Faults and variants: answers replaced in the shipped profiles.
C90_FAULTS = with_answers(
    "corvabox-c90.json",
    IxaGetHardwareValue={"62": {"error": 87}, "63": {"u32": 5}, "61": {"u32": 0}, "69": {"error": 87},
                         "58": {"u32": 1}, "57": {"u32": 0}, "59": {"error": 87}, "13@panel8": {"error": 1}},
    IxaGetAlarm={"42": {"u32": 1}, "44": {"error": 31}, "37": {"u32": 1}, "38": {"error": 31}},
    IxaGetStatisticsValue={"11": {"error": 31}, "12": {"u16": 23498}},
    IxaGetFirmwareValue={"32": {"u32": 1, "return": 2}},
    IxaGetFactoryValue={"103": {"error": 1}, "19": {"error": 31}},
    IxaGetFactoryStringW={"99": {"wstr": "E9L30170016\n"}},
    IxaGetTemperature={"36": {"error": 87}, "37": {"u8": "0x41"}})


def c90_faults(scan):
    return {
        "Bus Unit": bus_unit(scan, factory(C90, "bus unit"), counters(failed(31), 23498)),
        "Slide-In Drives": slide_in_drives(scan, (2, all_failed("slide-in drive 2", 87), None)),
        "Fan Kits": fan_kits(scan, c90_bus_kit((3100, alarm(3080, "Rpm"), None, 3090))),
        "Display Link": display_link(scan, firmware("V1.06", failed(0)),
                                     factory(C90, "display link", Version=failed(1)), counters(1281, 23470),
                                     sensors(45, None, alarm(65, "DegreeCentigrade"), 37)),
        "DVI": dvi(scan, (1, ok("Yes", "YesNo"), [("Available", failed(31))]), (2, None, None)),
    }


V70_WRONG_HEADER = patched(display(V70, "19@panel1"), at_131=[0x00])
V70_FAULTS = with_answers(
    "voltadeck-v70.json", IxaGetFirmwareStringW={"30": {"error": 87}}, IxaGetFirmwareValue={"31": {"u32": 2}},
    IxaGetStatisticsValue={"9": {"u32": 1415}, "10": {"error": 1}},
    IxaGetTemperature={"27": {"error": 87}, "31": {"error": 87}, "32": {"error": 1}, "33": {"error": 87},
                       "34": {"error": 87}},
    IxaGetFactoryValue={"19@panel1": hex_answer(V70_WRONG_HEADER), "22@panel1": {"error": 87}})


def v70_faults(scan):
    return {"I/O Board": io_board(scan, *v70_io(failed(87), "Low area", [], failed(87), failed(1))),
            "IF Boards": if_boards(scan, v70_if1(sensors(None, 36, 40, 35))),
            "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(V70_WRONG_HEADER, failed(87))))}


C81_DISPLAY = patched(display(C80, "19@panel1"), at_138=[0x00, 0x00, 0xE1, 0xD1], at_142=[0x00, 0x01],
                      at_144=[0x00, 0x00, 0x01, 0x2C], at_148=b"REV01E9P10181777\0",
                      at_165=bytes(0x41 + i % 26 for i in range(91)))
C81_FAULTS = with_answers(
    "corvabox-c81.json",
    IxaGetHardwareValue={"58": {"u32": 0}, "13@panel1": {"u32": 1}, "62": {"u32": 1}, "63": {"u32": 1},
                         "61": {"u32": 1}, "66": {"u32": 1}, "65": {"u32": 1}, "18": {"u32": 1}},
    IxaGetTemperature={"27": {"error": 87}, "28": {"error": 87}, "29": {"error": 1}, "30": {"error": 87}},
    IxaGetFactoryValue={"19@panel1": hex_answer(C81_DISPLAY), "21@panel1": {"u16": 800},
                        "22@panel1": {"u16": 600}})


def c81_faults(scan):
    model = "".join(chr(0x41 + i % 26) for i in range(91))
    return {"IF Boards": if_boards(scan, c81_if2(None)),
            "DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(C81_DISPLAY, "800x600", (
                "0000012Ch", "0000E1D1h", "0001h", "REV01E9P10181777", "E9P10181777", model))))}


C90_ABSENT = with_answers("corvabox-c90.json", IxaGetHardwareValue={
    "65": {"u32": 0}, "62": {"u32": 0}, "63": {"u32": 0}, "61": {"error": 1}, "66": {"u32": 0}, "57": {"u32": 2},
    "13@panel0": {"u32": 0}}, IxaGetTemperature={"35": {"error": 87}, "36": {"error": 1}, "37": {"error": 87},
                                                  "38": {"error": 87}})


def c90_absent(scan):
    return {"IF Boards": if_boards(scan, c90_if1()),
            "Display Link": display_link(scan, firmware("V1.06", "High area"), factory(C90, "display link"),
                                         counters(1281, 23470), []),
            "DVI": dvi(scan, (1, ok("No", "YesNo"), None), c90_dvi2())}


P91_VARIANT = with_answers("panevox-p91.json", IxaGetHardwareValue={"18": {"u32": 1}},
                           IxaGetTemperature={"3": {"u8": "0x2D"}}, IxaGetAlarm={"2": {"u32": 1}})
C92_VARIANT = with_answers("corvabox-c92.json", IxaGetHardwareValue={"65": {"u32": 1}, "61": {"u32": 0},
                                                                     "18": {"u32": 0}})
C40_DISPLAY = display(C90, "20@panel8")
C40_DVI = with_answers("corvabox-c40.json", IxaGetHardwareValue={"13@panel0": {"u32": 1}},
                       IxaSelectPanel={"8": {"error": 87}},
                       IxaGetFactoryValue={"19": hex_answer(C40_DISPLAY), "21": {"u16": 1024}, "22": {"u16": 768}})

# Name, profile (None: the built-in one), expected groups of the scan.
SCENARIOS = [
    ("C90", None, c90),
    ("V70", "voltadeck-v70.json", v70),
    ("V70 without I/O board", with_answers("voltadeck-v70.json", IxaGetHardwareValue={"58": {"error": 31}}),
     v70_without_io_board),
    ("C80", "corvabox-c80.json", c80),
    ("C81", "corvabox-c81.json", c81),
    ("P91", "panevox-p91.json", p91),
    ("C92", "corvabox-c92.json", c92),
    ("P93", "panevox-p93.json", p93),
    ("C94", "corvabox-c94.json", c94),
    ("C90 faults", C90_FAULTS, c90_faults),
    ("V70 faults", V70_FAULTS, v70_faults),
    ("C81 faults", C81_FAULTS, c81_faults),
    ("C90 modules absent", C90_ABSENT, c90_absent),
    ("P91 variant", P91_VARIANT, lambda scan: p91(scan, alarm(45, "DegreeCentigrade"))),
    ("C92 variant", C92_VARIANT, lambda scan: c92(scan, variant=True)),
    ("C40", C40_DVI, lambda scan: {"DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(
        C40_DISPLAY, "1024x768", manufacturer="other")), (2, None, None))}),
    ("P30", "panevox-p30.json", lambda scan: {"DVI": dvi(scan, (1, ok("Yes", "YesNo"), dvi_settings(
        display(load_profile("panevox-p30.json"), "19"), "1280x800", manufacturer="other")))}),
]

# The models with IF boards but without IF temperatures, answering the IF sensors' selectors all the same.
IF_SENSOR_SELECTORS = range(27, 31)
IF_SENSOR_ANSWERS = {str(selector): {"i8": selector + 10} for selector in IF_SENSOR_SELECTORS}
WITHOUT_IF_TEMPERATURES = [("C90", "corvabox-c90.json", c90), ("P91", "panevox-p91.json", p91),
                           ("C92", "corvabox-c92.json", c92), ("P93", "panevox-p93.json", p93)]

DVI_PANEL_0 = ["IxaSelectPanel(0) = 1 [0]", "IxaGetHardwareValue(13, 4) = 1 [0]"] * 2
DVI_PANEL_1 = ["IxaSelectPanel(1) = 1 [0]", "IxaGetHardwareValue(13, 4) = 1 [0]"] * 2
DVI_PANEL_8 = ["IxaSelectPanel(8) = 1 [0]", "IxaGetHardwareValue(13, 4) = 1 [0]"] * 2


def reads(entry_point, *calls):
    return ["%s(%d, %d) = %s" % (entry_point, selector, size, result) for selector, size, result in calls]


DISPLAY_1 = reads("IxaGetFactoryValue", (19, 256, "1 [0]"), (21, 2, "1 [0]"), (22, 2, "1 [0]"))
DISPLAY_2 = reads("IxaGetFactoryValue", (20, 256, "1 [0]"), (23, 2, "1 [0]"), (24, 2, "1 [0]"))
IO_COUNTERS = ("IxaGetStatisticsValue(9,", "IxaGetStatisticsValue(10,")
FAN_READS = ("IxaGetHardwareValue(6,", "IxaGetHardwareValue(7,", "IxaGetHardwareValue(8,", "IxaGetHardwareValue(9,",
             "IxaGetAlarm(")

# Name: (group: first call after its device-type read, None for the last group; calls kept; expected calls).
CALLS = {
    "C90": [(None, (), DVI_PANEL_0 + DISPLAY_1 + DVI_PANEL_8 + DISPLAY_2),
            ("IxaGetHardwareValue(61,", ("IxaGetStatisticsValue",), reads(
                "IxaGetStatisticsValue", (17, 4, "1 [0]"), (2, 4, "0 [87]"), (2, 2, "1 [0]"), (20, 4, "1 [0]"),
                (21, 4, "1 [0]")))],
    "V70": [(None, (), ["IxaGetHardwareValue(58, 4) = 1 [0]"] + DVI_PANEL_1 + DISPLAY_1),
            ("IxaGetHardwareValue(58,", IO_COUNTERS,
             reads("IxaGetStatisticsValue", (9, 2, "1 [0]"), (10, 2, "1 [0]")))],
    "V70 without I/O board": [(None, (), ["IxaGetHardwareValue(58, 4) = 0 [31]"])],
    "C81": [(None, (), ["IxaSelectPanel(1) = 1 [0]", "IxaGetHardwareValue(13, 4) = 1 [0]"] * 2)],
    # Case fans 1 to 3 with their alarms, no case fan 4; the bus fans' speeds are not among the calls kept.
    "C92": [("IxaGetHardwareValue(61,", FAN_READS, [call for fan in range(3) for call in (
        "IxaGetHardwareValue(%d, 2) = 1 [0]" % (6 + fan), "IxaGetAlarm(%d, 4) = 1 [0]" % (4 + fan))] +
        reads("IxaGetAlarm", *((selector, 4, "1 [0]") for selector in range(41, 45))))],
    "P93": [("IxaGetHardwareValue(61,", ("IxaGetHardwareValue(9,", "IxaGetAlarm(7,"), []),
            (None, (), [])],
    "C90 faults": [(None, (), DVI_PANEL_0 + ["IxaGetFactoryValue(19, 256) = 0 [31]"] +
                    ["IxaSelectPanel(8) = 1 [0]", "IxaGetHardwareValue(13, 4) = 0 [1]"] * 2),
                   ("IxaGetHardwareValue(65,", ("IxaGetStatisticsValue",), reads(
                       "IxaGetStatisticsValue", (11, 4, "0 [31]"), (12, 4, "0 [87]"), (12, 2, "1 [0]")))],
    "V70 faults": [("IxaGetHardwareValue(58,", IO_COUNTERS,
                    reads("IxaGetStatisticsValue", (9, 2, "0 [87]"), (10, 2, "0 [1]"))),
                   (None, ("IxaGetFactoryValue",), reads("IxaGetFactoryValue", (19, 256, "1 [0]"), (21, 2, "1 [0]"),
                                                         (22, 2, "0 [87]")))],
    "C40": [(None, (), DVI_PANEL_0 + DISPLAY_1 + ["IxaSelectPanel(8) = 0 [87]"] * 2)],
}


class ModuleGroupsTest(ScanTestCase):

    def test_each_device_shows_its_module_groups_line_by_line_and_no_others(self):
        for name, profile, expected_groups in SCENARIOS:
            with self.subTest(device=name):
                scan = self.scan(profile=profile)
                expected = expected_groups(scan)
                for group in GROUPS:
                    if group in expected:
                        self.assertLines(expected[group], scan.group(group))
                    else:
                        self.assertNotIn(group, scan.groups())
                mine = [group for group in scan.groups() if group in GROUPS]
                self.assertEqual([group for group in GROUPS if group in expected], mine)
                for first_call, kept, calls in CALLS.get(name, []):
                    group = group_calls(scan, first_call)
                    self.assertEqual(calls, selected(group, *kept) if kept else group, first_call)

    def test_if_sensors_answered_on_a_model_without_if_temperatures_are_neither_read_nor_shown(self):
        reads = tuple("IxaGetTemperature(%d," % selector for selector in IF_SENSOR_SELECTORS)
        for name, profile, expected_groups in WITHOUT_IF_TEMPERATURES:
            with self.subTest(device=name):
                scan = self.scan(profile=with_answers(profile, IxaGetTemperature=IF_SENSOR_ANSWERS))
                self.assertLines(expected_groups(scan)["IF Boards"], scan.group("IF Boards"))
                self.assertEqual([], [call for call in scan.trace if call.startswith(reads)])

    def test_groups_take_their_places_in_the_sequences(self):
        scan = self.scan()
        groups = scan.groups()
        start = groups.index("Operating controls")
        self.assertEqual(["Operating controls", "Bus Unit", "Slide-In Drives", "Fan Kits", "IF Boards"],
                         groups[start:start + 5])
        self.assertEqual("DVI", groups[-1])
        groups = self.scan(profile="corvabox-c94.json").groups()
        self.assertEqual("Voltages", groups[groups.index("DVI") - 1])


if __name__ == "__main__":
    unittest.main()
