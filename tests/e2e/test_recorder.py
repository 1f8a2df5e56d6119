"""The recording KvIxa.dll: in front of a device's library it hands every call
through unchanged and writes the answers as a profile, which the simulated
library replays into the same report."""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

from kvtest import BIN_DIR, PROFILES_DIR, SOURCE_DIR, ScanTestCase, load_profile, system_text, to_windows, wine_env

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from guitest import IDOK, message  # noqa: E402

RECORDER = os.path.join(BIN_DIR, "recorder", "KvIxa.dll")
SIMULATOR = os.path.join(BIN_DIR, "KvIxa.dll")
FICKLE = os.path.join(BIN_DIR, "kv_fickle_ixa.dll")  # changing temperatures, a crash on the voltage read
PROBE = os.path.join(os.environ.get("KV_BUILD_DIR", ""), "tools", "kvixa_probe.exe")
DIALOG_PROBE = os.path.join(BIN_DIR, "kv_dialog_probe.exe")
CONTRACT = os.path.join(SOURCE_DIR, "kvixa", "entry_points.h")

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

# The width of the value each one-value entry point writes: what its callers hold.
ONE_VALUE_BITS = {
    "IxaGetDeviceType": 32, "IxaGetKeyCfgState": 32, "IxaGetKeyLayer": 8, "IxaGetKeyLayerMode": 8,
    "IxaGetUserSerialId": 32, "IxaGetLedCount": 8, "IxaGetKeyCount": 8, "IxaAreKeysEnabled": 32,
    "IxaGetPanelLockTime": 32, "IxaGetDisplayBrightness": 8, "IxaGetDisplayDefaultBrightness": 8,
    "IxaIsWmiEnabled": 32, "IxaGetUserLed": 32, "IxaGetUserlogoValue": 32, "IxaGetUserlogoStringW": 32,
    "IxaGetDisplayType": 32, "IxaGetDisplayFactoryBrightness": 8, "IxaGetDisplayContrast": 32,
    "IxaGetDisplayDefaultContrast": 32, "IxaGetDisplayFactoryContrast": 32,
}

# What the recorder cannot record through: the real library it is given (a file to copy beside it as
# KvIxa.real.dll, or None), its environment ({folder} is the scan's folder) and the text of its
# message box. The report stays that of a scan without a device, or of a plain scan with a record
# that cannot be written.
NOT_LOADABLE = "; it must be the maker's KvIxa.dll for 64-bit programs, with the files it needs beside it"
UNTIL_THEN = ". Until then every call fails with error 126."
FAILURES = [
    ("no real library beside the recorder", None, {},
     "KvIxa.real.dll not found beside the recording KvIxa.dll in {folder}; rename the maker's KvIxa.dll to "
     "KvIxa.real.dll and put it there" + UNTIL_THEN),
    ("KVIXA_REAL names a missing file", None, {"KVIXA_REAL": "{folder}\\maker\\KvIxa.dll"},
     "KVIXA_REAL names {folder}\\maker\\KvIxa.dll, which is not found; set KVIXA_REAL to the path of the "
     "maker's KvIxa.dll" + UNTIL_THEN),
    ("KVIXA_REAL names the recorder", None, {"KVIXA_REAL": "{folder}\\KvIxa.dll"},
     "{folder}\\KvIxa.dll is the recording KvIxa.dll itself; set KVIXA_REAL to the path of the maker's "
     "KvIxa.dll" + UNTIL_THEN),
    ("KvIxa.real.dll is no library", CONTRACT, {},
     "{folder}\\KvIxa.real.dll cannot be loaded, error 193 ({193})" + NOT_LOADABLE + UNTIL_THEN),
    ("the record's folder does not exist", SIMULATOR, {"KVIXA_RECORD": "{folder}\\missing\\recorded.json"},
     "record {folder}\\missing\\recorded.json cannot be written, error 3 ({3}); set KVIXA_RECORD to a file "
     "in a folder that exists and can be written, and record again"),
]


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
        self.assertEqual(["device type 18", "kvixa_probe.exe without version", "KvIxa.real.dll"],
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
        # The first answer is written at once; the ones after it within the interval may be lost.
        recorded = read_json(record)
        self.assertEqual(({"u32": 18}, "device type 18", None),
                         (recorded["IxaGetDeviceType"], recorded["_device"], recorded.get("IxaGetVoltage")))
        self.assertEqual([], [f for f in os.listdir(folder) if f.endswith(".part")])
        lines, errors = self.probe(SIMULATOR, [["IxaGetDeviceType"]], {"KVIXA_PROFILE": to_windows(record)})
        self.assertEqual((["IxaGetDeviceType() = 1 [0] bytes: 12 00 00 00 CD CD CD CD"], ""), (lines, errors))

    def test_each_failure_shows_one_message_box_and_the_scan_goes_on(self):
        plain = self.scan()
        for name, real, env, text in FAILURES:
            with self.subTest(failure=name):
                folder = self.make_folder()
                record = os.path.join(folder, "recorded.json")
                env = {k: v.replace("{folder}", to_windows(folder)) for k, v in env.items()}
                env.setdefault("KVIXA_RECORD", to_windows(record))
                text = re.sub(r"\{(\d+)\}", lambda m: system_text(int(m.group(1))),
                              text.replace("{folder}", to_windows(folder)))
                box = self.answer_box(os.path.join(folder, "KvInspectra.exe"))
                scan = self.scan(folder=folder, library=None, prepare=self.behind_recorder(real), env=env)
                line = "KvIxa recorder: " + text
                self.assertEqual({"caption": "KvIxa recorder", "text": text, "buttons": [IDOK], "icon": "error"},
                                 box())
                self.assertEqual(([line + "\n"], [line]), (scan.stderr.splitlines(True),
                                                           [t for t in scan.trace if t.startswith("KvIxa")]))
                if real == SIMULATOR:
                    self.assertEqual(unclocked(plain.lines), unclocked(scan.lines))
                    self.assertEqual([UPLOAD.sub("", t) for t in plain.trace],
                                     [UPLOAD.sub("", t) for t in scan.trace if t != line])
                    continue
                self.assertEqual(["\t\t<KvDeviceType>Unknown</KvDeviceType>", "</KvInspectraReport>"],
                                 [scan.lines[5], scan.lines[-1]])
                recorded = read_json(record)
                library = os.path.basename(env.get("KVIXA_REAL", "KvIxa.real.dll").replace("\\", "/"))
                self.assertEqual(({"error": 126}, {"0/0/0": {"error": 126}}, library + " (not loaded)"),
                                 (recorded["IxaGetDeviceType"], recorded["IxaGetModuleTemperatureValue"],
                                  recorded["_library"]))

    def answer_box(self, program):
        """Starts the dialog probe, which waits for a message box of the process running program, reads
        it and clicks its OK button; returns a function that waits for the probe and gives the box's
        caption, text, buttons and icon."""
        out = tempfile.TemporaryFile()
        process = subprocess.Popen(["timeout", "90", "wine", DIALOG_PROBE, "program:" + to_windows(program),
                                    "wait:box", "dump", "click:%d" % IDOK, "gone"],
                                   env=wine_env(), stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL)

        def box():
            process.wait()
            out.seek(0)
            results = [json.loads(line) for line in out.read().decode("utf-8").splitlines() if line.strip()]
            out.close()
            self.assertEqual([], [r["error"] for r in results if "error" in r])
            return message(results[0])
        return box

    def test_a_scan_killed_while_a_call_hangs_leaves_every_answer_before_it(self):
        # The DVI group's display read, late in the scan: after the upload, the panels and their keys.
        hanging, key = "IxaGetFactoryValue", "19"
        calls = self.scan().trace
        before = calls[:next(i for i, c in enumerate(calls) if c.startswith("%s(%s, " % (hanging, key)))]
        profile = load_profile("corvabox-c90.json")
        profile[hanging][key]["delayMs"] = 60000
        folder = self.make_folder()
        record = os.path.join(folder, "recorded.json")
        with open(os.path.join(folder, "profile.json"), "w", encoding="utf-8") as f:
            json.dump(profile, f)
        exe = self.install(folder, None)
        self.behind_recorder(SIMULATOR)(folder)
        env = {"KVIXA_PROFILE": to_windows(os.path.join(folder, "profile.json")),
               "KVIXA_RECORD": to_windows(record), "KVIXA_TRACE": to_windows(os.path.join(folder, "trace.txt"))}
        with tempfile.TemporaryFile() as out:
            scan = subprocess.Popen(["wine", exe, "-o", "-f=" + to_windows(os.path.join(folder, "report.xml"))],
                                    env=wine_env(env), cwd=folder, stdin=subprocess.DEVNULL, stdout=out, stderr=out)
            try:
                self.assertTrue(self.wait_for_lines(os.path.join(folder, "trace.txt"), len(before)),
                                "the scan did not reach the hanging call")
                time.sleep(1.5)  # the record file is at most a second behind
                self.assertIsNone(scan.poll())
            finally:
                scan.kill()  # as a power cut: nothing of the process runs any more
                scan.wait()
        self.assertEqual([], [f for f in os.listdir(folder) if f.endswith(".part")])
        recorded = read_json(record)
        self.assertNotIn(key, recorded.get(hanging, {}))
        # The calls before the hang, replayed from the recording, answer as the device did.
        upload = to_windows(os.path.join(folder, "upload.bin"))
        replay = [self.call_of(line, upload) for line in before]
        self.assertEqual(self.probe(SIMULATOR, replay, {}),
                         self.probe(SIMULATOR, replay, {"KVIXA_PROFILE": to_windows(record)}))

    @staticmethod
    def wait_for_lines(path, count, timeout=60):
        """Waits until the file holds count lines; False when it did not in time."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if os.path.exists(path):
                with open(path, encoding="utf-8", errors="replace") as f:
                    if len(f.readlines()) >= count:
                        return True
            time.sleep(0.1)
        return False

    @staticmethod
    def call_of(line, upload):
        """The probe's arguments for a trace line; an upload goes to the file upload."""
        name, arguments = re.fullmatch(r"(\w+)\((.*)\) = -?\d+ \[\d+\]", line).groups()
        return [name] + [a for a in re.sub(r'^".*?"', lambda _: upload, arguments).split(", ") if a]

    def test_every_one_value_entry_point_is_recorded_with_its_width(self):
        with open(CONTRACT, encoding="utf-8") as f:
            self.assertEqual(sorted(re.findall(r"X\(ValueRead, (\w+)\)", f.read())), sorted(ONE_VALUE_BITS))
        # A byte read as 32 bits takes the three bytes behind it with it, a 32-bit value read as a byte loses three.
        profile = {name: {"u8": 6 + i} if bits == 8 else {"u32": 0x12345600 + i}
                   for i, (name, bits) in enumerate(sorted(ONE_VALUE_BITS.items()))}
        folder = self.make_folder()
        self.behind_recorder(SIMULATOR)(folder)
        path, record = os.path.join(folder, "profile.json"), os.path.join(folder, "recorded.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(profile, f)
        calls = [[name] for name in sorted(profile)]
        alone = self.probe(SIMULATOR, calls, {"KVIXA_PROFILE": to_windows(path)})
        through = self.probe(os.path.join(folder, "KvIxa.dll"), calls,
                             {"KVIXA_PROFILE": to_windows(path), "KVIXA_RECORD": to_windows(record)})
        self.assertEqual(alone, through)
        self.assertEqual(profile, entries(read_json(record)))
