"""The recording KvIxa.dll: in front of a device's library it hands every call
through unchanged and writes the answers as a profile, which the simulated
library replays into the same report."""

import json
import os
import re
import shutil
import subprocess
import tempfile

from kvtest import BIN_DIR, PROFILES_DIR, ScanTestCase, load_profile, system_text, to_windows, wine_env

RECORDER = os.path.join(BIN_DIR, "recorder", "KvIxa.dll")
SIMULATOR = os.path.join(BIN_DIR, "KvIxa.dll")
FICKLE = os.path.join(BIN_DIR, "kv_fickle_ixa.dll")  # changing temperatures, a crash on the voltage read
PROBE = os.path.join(os.environ.get("KV_BUILD_DIR", ""), "tools", "kvixa_probe.exe")

CLOCK = re.compile(r"\t\t<(Time|Date)>.*</\1>")
TEST_NAME = re.compile(r"\t{7}<TestName>(.*)</TestName>")
HOST_FIGURES = {"Free", "Usage"}  # the host's memory, which changes from run to run
UPLOAD = re.compile(r'^IxaUploadFileW\(".*?"')
HEADER = ["_comment", "_device", "_date", "_program", "_library"]

# Calls through the probe, and the profile the recorder makes of them.
PROFILE = {
    "IxaGetDeviceType": {"u32": 18},
    "IxaGetStatisticsValue": {"2": {"u16": 513}},
    "IxaGetFactoryStringW": {"49": {"wstr": "E9D20177341"}},
    "IxaGetFactoryValue": {"17": {"hex": "01 02 03", "fill": 255}, "19": {"u32": 7, "return": 2}},
    "IxaGetHardwareValue": {"48": {"error": 1168}, "12": {"u32": 0}, "12@panel2": {"u32": 1}},
    "IxaGetKeyCount": {"u8": 4, "@panel2": {"u8": 8}},
    "IxaGetDisplayEqualizer": {"mode": 1, "value": 11},
    "IxaSelectPanel": {"9": {"error": 87}},
    "IxaUploadFileW": {"17": {"hex": "5A 45 4C 4F"}},
    "IxaGetPanelModuleTemperatureValue": {"1001/2/4/0": {"i8": -5}},
}
CALLS = [
    ["IxaGetDeviceType"], ["IxaGetStatisticsValue", 2, 4], ["IxaGetStatisticsValue", 2, 2],
    ["IxaGetFactoryStringW", 49, 8], ["IxaGetFactoryStringW", 49, 512], ["IxaGetFactoryValue", 17, 64],
    ["IxaGetFactoryValue", 19, 4], ["IxaGetHardwareValue", 48, 1],
    ["IxaGetHardwareValue", 12, 4], ["IxaGetKeyCount"], ["IxaSelectPanel", 9], ["IxaSelectPanel", 2],
    ["IxaGetHardwareValue", 12, 4], ["IxaGetKeyCount"], ["IxaGetDeviceType"], ["IxaGetDisplayEqualizer"],
    ["IxaUploadFileW", "UPLOAD", 17, 0, 0], ["IxaGetPanelModuleTemperatureValue", 1001, 2, 4, 0, 1],
    ["IxaGetModuleFactoryValue", 3, 0, 0, 4], ["IxaGetLedMatrix", 0, 32],
]
RECORDED = {
    "IxaGetDeviceType": {"u32": 18},
    "IxaGetStatisticsValue": {"2": {"u16": 513}},
    "IxaGetFactoryStringW": {"49": {"wstr": "E9D20177341"}},
    "IxaGetFactoryValue": {"17": {"hex": "01 02 03 FF", "fill": 255}, "19": {"u32": 7, "return": 2}},
    "IxaGetHardwareValue": {"48": {"error": 1168}, "12": {"u32": 0}, "12@panel2": {"u32": 1}},
    "IxaGetKeyCount": {"u8": 4, "@panel2": {"u8": 8}},
    "IxaSelectPanel": {"9": {"error": 87}, "2": {"return": 1}},
    "IxaGetDisplayEqualizer": {"@panel2": {"mode": 1, "value": 11}},
    "IxaUploadFileW": {"17@panel2": {"hex": "5A 45 4C 4F"}},
    "IxaGetPanelModuleTemperatureValue": {"1001/2/4/0@panel2": {"u8": 251}},
    "IxaGetModuleFactoryValue": {"3/0/0@panel2": {"error": 87}},
    "IxaGetLedMatrix": {"0@panel2": {"error": 87}},
}


def unclocked(lines):
    """The lines without what differs between two runs on one PC: the clock and the host's memory figures."""
    if lines is None:
        return None
    kept, name = [], None
    for line in lines:
        name = TEST_NAME.fullmatch(line).group(1) if TEST_NAME.fullmatch(line) else name
        host_figure = name in HOST_FIGURES and line.startswith("\t" * 7 + "<TestResult ")
        kept.append("(changes)" if host_figure or CLOCK.fullmatch(line) else line)
    return kept


def read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def entries(profile):
    return {k: v for k, v in profile.items() if not k.startswith("_")}


class RecorderTest(ScanTestCase):

    def behind_recorder(self, real):
        """A folder with the recorder as KvIxa.dll and the real library (or none) beside it."""
        def prepare(folder):
            shutil.copy(RECORDER, os.path.join(folder, "KvIxa.dll"))
            if real:
                shutil.copy(real, os.path.join(folder, "KvIxa.real.dll"))
        return prepare

    def probe(self, library, calls, env):
        """kvixa_probe's lines for the calls in one process, and its standard error."""
        args = [to_windows(library)]
        for call in calls:
            args += ["+"] + [str(a) for a in call]
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            subprocess.run(["timeout", "60", "wine", PROBE] + args[:1] + args[2:], env=wine_env(env),
                           stdin=subprocess.DEVNULL, stdout=out, stderr=err, check=True)
            out.seek(0)
            err.seek(0)
            return out.read().decode("utf-8").splitlines(), err.read().decode("utf-8")

    def test_every_shipped_profile_replays_into_the_same_report(self):
        for name in sorted(f for f in os.listdir(PROFILES_DIR) if f.endswith(".json")):
            with self.subTest(profile=name):
                refused = load_profile(name).get("IxaGetDeviceType", {}).get("u32") == 22  # a message box, no report
                answers = ["Return"] if refused else []
                folder = self.make_folder()
                record = os.path.join(folder, "recorded.json")
                recorded = self.scan(profile=name, folder=folder, library=None, answers=answers,
                                     prepare=self.behind_recorder(SIMULATOR), env={"KVIXA_RECORD": to_windows(record)})
                replayed = self.scan(env={"KVIXA_PROFILE": to_windows(record)}, answers=answers)
                self.assertEqual(refused, recorded.lines is None)
                self.assertEqual(unclocked(recorded.lines), unclocked(replayed.lines))
                self.assertEqual([UPLOAD.sub("", line) for line in recorded.trace],
                                 [UPLOAD.sub("", line) for line in replayed.trace])
                self.assertGreater(len(recorded.trace), 0)
                self.assertEqual([{k: v for k, v in box.items() if k != "hwnd"} for box in recorded.boxes],
                                 [{k: v for k, v in box.items() if k != "hwnd"} for box in replayed.boxes])
                self.assertEqual(("", ""), (recorded.stderr, replayed.stderr))

    def test_calls_pass_through_unchanged_and_each_answer_is_recorded_once(self):
        folder = self.make_folder()
        self.behind_recorder(SIMULATOR)(folder)
        profile, record = os.path.join(folder, "profile.json"), os.path.join(folder, "recorded.json")
        with open(profile, "w", encoding="utf-8") as f:
            json.dump(PROFILE, f)
        upload = to_windows(os.path.join(folder, "upload.bin"))
        calls = [[upload if a == "UPLOAD" else a for a in call] for call in CALLS]
        alone = self.probe(SIMULATOR, calls, {"KVIXA_PROFILE": to_windows(profile)})
        through = self.probe(os.path.join(folder, "KvIxa.dll"), calls,
                             {"KVIXA_PROFILE": to_windows(profile), "KVIXA_RECORD": to_windows(record)})
        replayed = self.probe(SIMULATOR, calls, {"KVIXA_PROFILE": to_windows(record)})
        self.assertEqual(len(CALLS), len(alone[0]))
        self.assertEqual(alone, through)
        self.assertEqual(alone, replayed)
        recorded = read_json(record)
        self.assertEqual(RECORDED, entries(recorded))
        self.assertEqual(HEADER, list(recorded)[:len(HEADER)])
        self.assertEqual(["device type 18", "kvixa_probe.exe without version", to_windows(folder) + "\\KvIxa.real.dll"],
                         [recorded["_device"], recorded["_program"], recorded["_library"]])
        self.assertRegex(recorded["_date"], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")

    def test_an_answer_that_changes_keeps_the_first_with_a_comment(self):
        folder = self.make_folder()
        self.behind_recorder(FICKLE)(folder)
        record = os.path.join(folder, "recorded.json")
        calls = [["IxaGetTemperature", 15, 1]] * 3 + [["IxaGetTemperature", 16, 1], ["IxaGetFanValue", 1, 4]]
        lines, _ = self.probe(os.path.join(folder, "KvIxa.dll"), calls, {"KVIXA_RECORD": to_windows(record)})
        self.assertEqual(["IxaGetTemperature(15, 1) = 1 [0] bytes: 29", "IxaGetTemperature(15, 1) = 1 [0] bytes: 2A",
                          "IxaGetTemperature(15, 1) = 1 [0] bytes: 2B", "IxaGetTemperature(16, 1) = 1 [0] bytes: 2C",
                          "IxaGetFanValue(1, 4) = 0 [1] bytes: CD CD CD CD"], lines)
        self.assertEqual({"IxaGetTemperature": {
            "15": {"u8": 41, "_": 'answered differently on later calls: {"u8":42}; {"u8":43}'}, "16": {"u8": 44}},
            "IxaGetFanValue": {"1": {"error": 1}}}, entries(read_json(record)))

    def test_a_crash_in_the_middle_of_a_scan_leaves_a_profile_that_loads(self):
        folder = self.make_folder()
        record, report = os.path.join(folder, "recorded.json"), os.path.join(folder, "crashed.xml")
        scan = self.scan(folder=folder, library=None, prepare=self.behind_recorder(None),
                         args=["-o", "-f=" + to_windows(report)],
                         env={"KVIXA_RECORD": to_windows(record), "KVIXA_REAL": to_windows(FICKLE)})
        self.assertEqual(3, scan.returncode)
        with open(report, "rb") as f:
            self.assertFalse(f.read().decode("utf-16").endswith("</KvInspectraReport>\r\n"))
        recorded = read_json(record)
        self.assertEqual(({"u32": 18}, {"0/0/0": {"error": 1}}, "device type 18", None),
                         (recorded["IxaGetDeviceType"], recorded["IxaGetModuleTemperatureValue"],
                          recorded["_device"], recorded.get("IxaGetVoltage")))
        self.assertEqual([], [f for f in os.listdir(folder) if f.endswith(".part")])
        lines, errors = self.probe(SIMULATOR, [["IxaGetDeviceType"]], {"KVIXA_PROFILE": to_windows(record)})
        self.assertEqual((["IxaGetDeviceType() = 1 [0] bytes: 12 00 00 00 CD CD CD CD"], ""), (lines, errors))

    def test_without_the_real_library_every_call_fails_with_126_and_the_scan_goes_on(self):
        folder = self.make_folder()
        record = os.path.join(folder, "recorded.json")
        scan = self.scan(folder=folder, library=None, prepare=self.behind_recorder(None),
                         env={"KVIXA_RECORD": to_windows(record)})
        line = ("KvIxa recorder: real library %s\\KvIxa.real.dll cannot be loaded, error 126 (%s); "
                "every call fails with 126" % (to_windows(folder), system_text(126)))
        self.assertEqual(([line + "\n"], [line]), (scan.stderr.splitlines(True), scan.trace))
        self.assertEqual(["\t\t<KvDeviceType>Unknown</KvDeviceType>", "</KvInspectraReport>"],
                         [scan.lines[5], scan.lines[-1]])
        recorded = read_json(record)
        self.assertEqual(({"error": 126}, {"0/0/0": {"error": 126}},
                          to_windows(folder) + "\\KvIxa.real.dll (not loaded)"),
                         (recorded["IxaGetDeviceType"], recorded["IxaGetModuleTemperatureValue"], recorded["_library"]))

    def test_a_record_that_cannot_be_written_is_reported_once_and_changes_no_call(self):
        folder = self.make_folder()
        self.behind_recorder(SIMULATOR)(folder)
        record = to_windows(os.path.join(folder, "missing", "recorded.json"))
        calls = [["IxaGetDeviceType"], ["IxaGetFirmwareStringW", 21, 512]]
        lines, errors = self.probe(os.path.join(folder, "KvIxa.dll"), calls, {"KVIXA_RECORD": record})
        line = "KvIxa recorder: record %s cannot be written, error 3 (%s)\n" % (record, system_text(3))
        self.assertEqual((self.probe(SIMULATOR, calls, {})[0], line), (lines, errors))
