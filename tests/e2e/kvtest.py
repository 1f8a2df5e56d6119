"""Runs the real KvInspectra.exe under Wine and reads what it wrote.

Every scan runs in a scratch folder on the prefix's C: drive that holds a copy of
the exe and, as the case needs, the simulated KvIxa.dll, its legacy variant or no
library at all. The simulated library answers from a JSON profile and traces
every call, so a test can check the report lines and the calls that made them.
"""

import json
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import uuid

BIN_DIR = os.environ.get("KV_BIN_DIR", "")
SOURCE_DIR = os.environ.get("KV_SOURCE_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
PROFILES_DIR = os.path.join(SOURCE_DIR, "profiles")
SCHEMA = os.path.join(SOURCE_DIR, "resources", "KvInspectraReport.xsd")
WINEPREFIX = os.environ.get("WINEPREFIX", "")
DRIVE_C = os.path.join(WINEPREFIX, "drive_c")

TAB = "\t"


def wine_env(extra=None):
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all,err+winediag")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=")
    for key in ("KVIXA_PROFILE", "KVIXA_TRACE", "KVIXA_RECORD", "KVIXA_REAL"):
        env.pop(key, None)
    if extra:
        env.update(extra)
    return env


def to_windows(path):
    """A Linux path below drive_c as C:\\..., anything else through Z:."""
    path = os.path.abspath(path)
    if path.startswith(DRIVE_C + os.sep):
        return "C:\\" + os.path.relpath(path, DRIVE_C).replace("/", "\\")
    return "Z:" + path.replace("/", "\\")


ROOT_END_TAG = "</KvInspectraReport>"
TRACE_TAIL = 15  # trace lines a failed scan shows


def report_problem(path):
    """Why the file at path is no complete report (None when it is one): missing, without
    its byte-order mark, or not ending with the root end tag."""
    if not os.path.exists(path):
        return "the scan left no report"
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xfe":
        return "the report has no UTF-16 LE byte-order mark (%d bytes: %r)" % (len(data), data[:16])
    end = (ROOT_END_TAG + "\r\n").encode("utf-16-le")
    if not data.endswith(end):
        last = data[2:].decode("utf-16-le", "replace").rstrip("\r\n").rsplit("\r\n", 1)[-1]
        return "the report does not end with the root end tag (%d bytes, last line %r)" % (len(data), last)
    return None


def read_report_lines(path):
    """The report as lines without their CR LF; asserts the encoding and line ends."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:2] == b"\xff\xfe", "report has no UTF-16 LE byte-order mark"
    text = data[2:].decode("utf-16-le")
    assert text.endswith("\r\n"), "report does not end with CR LF"
    lines = text[:-2].split("\r\n")
    return lines


_system_texts = {}


def system_text(code):
    """The program's text for a Win32 error code (Wine's texts differ from Windows')."""
    if code not in _system_texts:
        out = subprocess.run(["timeout", "60", "wine", os.path.join(BIN_DIR, "kv_error_text.exe"), str(code)],
                             env=wine_env(), capture_output=True, check=True).stdout
        _system_texts[code] = out.decode("utf-8").rstrip("\n")
    return _system_texts[code]


def reg(*args):
    """wine reg ... in the test prefix; returns the exit code."""
    return subprocess.run(["timeout", "60", "wine", "reg"] + list(args), env=wine_env(),
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode


KEY_BUTTONS = {"Return": 1, "y": 6, "n": 7}  # IDOK, IDYES, IDNO


def answer_message_box(key, timeout_ms=20000):
    """Waits for the next message box, reads it and answers it with a key press.

    Without a window manager the focus sometimes misses the box under load; if the
    box is still there after the key press, its button is clicked instead."""
    probe = os.path.join(BIN_DIR, "kv_msgbox_probe.exe")
    out = subprocess.run(["timeout", "60", "wine", probe, str(timeout_ms)], env=wine_env(), capture_output=True,
                         stdin=subprocess.DEVNULL).stdout
    if not out.strip():
        return None
    box = json.loads(out.decode("utf-8"))
    pattern = "^%s$" % re_escape(box["caption"])
    windows = subprocess.run(["timeout", "20", "xdotool", "search", "--onlyvisible", "--name", pattern],
                             capture_output=True, text=True).stdout.split()
    for window in windows[:1]:
        subprocess.run(["timeout", "10", "xdotool", "windowfocus", window], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["timeout", "10", "xdotool", "key", "--delay", "50", key], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    for _ in range(20):
        still = subprocess.run(["timeout", "20", "xdotool", "search", "--onlyvisible", "--name", pattern],
                               capture_output=True, text=True).stdout.split()
        if not still:
            return box
        time.sleep(0.1)
    subprocess.run(["timeout", "60", "wine", probe, "1000", "click:%d" % KEY_BUTTONS[key]], env=wine_env(),
                   capture_output=True, stdin=subprocess.DEVNULL)
    return box


def kvreport_check(paths):
    """KvReport check over reports: (exit code, its output). One Wine start for any number."""
    with tempfile.TemporaryFile() as out:
        code = subprocess.run(["timeout", "120", "wine", os.path.join(BIN_DIR, "KvReport.exe"), "check"]
                              + [to_windows(path) for path in paths], env=wine_env(), stdin=subprocess.DEVNULL,
                              stdout=out, stderr=out).returncode
        out.seek(0)
        return code, out.read().decode("utf-8", "replace")


# Reports the scans of this process wrote, copied aside for one KvReport check at the end
# of each test class (a Wine start per scan would double the suite's time).
_written_reports = []
_written_folder = None


def keep_for_check(path, name):
    global _written_folder
    if _written_folder is None:
        _written_folder = os.path.join(DRIVE_C, "kvtest", "written-" + uuid.uuid4().hex[:8])
        os.makedirs(_written_folder)
    copy = os.path.join(_written_folder, "%04d-%s.xml" % (len(_written_reports), name))
    shutil.copy(path, copy)
    _written_reports.append(copy)


def check_written_reports():
    """Every report kept so far keeps the rules of the format that the schema cannot state."""
    if not _written_reports:
        return
    code, output = kvreport_check([_written_folder])
    if code and os.environ.get("KV_KEEP_CHECKED"):
        shutil.copytree(_written_folder, os.environ["KV_KEEP_CHECKED"], dirs_exist_ok=True)
    for path in _written_reports:
        os.remove(path)
    del _written_reports[:]
    assert code == 0, "KvReport check (exit code %d) found reports the program wrote that break the format:\n%s" % (
        code, output)


def re_escape(text):
    return "".join("\\" + c if c in ".^$*+?()[]{}|\\" else c for c in text)


class Scan:
    """One run of the exe: its folder, report lines and the library trace."""

    def __init__(self, folder, report, completed):
        self.folder = folder
        self.report = report
        self.returncode = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr
        trace = os.path.join(folder, "trace.txt")
        self.trace = []
        if os.path.exists(trace):
            with open(trace, encoding="utf-8", errors="replace") as f:
                self.trace = [line.rstrip("\n") for line in f]
        self.lines = None
        if os.path.exists(report):
            with open(report, "rb") as f:
                if f.read(2) == b"\xff\xfe":
                    self.lines = read_report_lines(report)

    def group(self, name):
        """The lines of the TestGroup named name, start tag to end tag."""
        return group_lines(self.lines, name)

    def groups(self):
        return [line[len("\t\t<GroupName>"):-len("</GroupName>")] for line in self.lines
                if line.startswith("\t\t<GroupName>")]

    def calls(self, entry_point):
        return [line for line in self.trace if line.startswith(entry_point + "(")]


def group_lines(lines, name):
    for i, line in enumerate(lines):
        if line == "\t\t<GroupName>%s</GroupName>" % escape(name):
            start = i - 2
            end = lines.index("\t</TestGroup>", i)
            return lines[start:end + 1]
    return None


def escape(text):
    return text.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")


def test_block(name, number, result, fmt="String", status="Passed", description="DescrUndef"):
    """The lines of one test as the writer puts them."""
    t6, t7 = TAB * 6, TAB * 7
    return [
        t6 + "<Test>",
        t7 + "<TestName>%s</TestName>" % escape(name),
        t7 + "<TestDescription>%s</TestDescription>" % escape(description),
        t7 + "<TestNumber>%d</TestNumber>" % number,
        t7 + '<TestResult Format="%s">%s</TestResult>' % (fmt, escape(result)),
        t7 + "<TestStatus>%s</TestStatus>" % status,
        t6 + "</Test>",
    ]


def group_start(number, name, description=None, category=None, subcategory="CatUndef"):
    """TestGroup start lines as BeginGroup writes them; subcategory None for MANUALSUBCATS."""
    lines = [TAB + "<TestGroup>", TAB * 2 + "<GroupNumber>%d</GroupNumber>" % number,
             TAB * 2 + "<GroupName>%s</GroupName>" % escape(name)]
    if description:
        lines.append(TAB * 2 + "<GroupDescription>%s</GroupDescription>" % escape(description))
    else:
        lines.append(TAB * 7 + "<GroupDescription>DescrUndef</GroupDescription>")
    lines += [TAB * 2 + "<Category>", TAB * 3 + "<CategoryName>%s</CategoryName>" % escape(category or "CatUndef")]
    if subcategory is not None:
        lines += [TAB * 4 + "<SubCategory>", TAB * 5 + "<SubCategoryName>%s</SubCategoryName>" % escape(subcategory)]
    return lines


def category(name, subcategory="CatUndef", subcategory_open=True):
    """BeginCategory lines; subcategory None for MANUALSUBCATS."""
    lines = [TAB * 3 + "</SubCategory>"] if subcategory_open else []
    lines += [TAB * 2 + "</Category>", TAB * 2 + "<Category>", TAB * 3 + "<CategoryName>%s</CategoryName>" % escape(name)]
    if subcategory is not None:
        lines += [TAB * 4 + "<SubCategory>", TAB * 5 + "<SubCategoryName>%s</SubCategoryName>" % escape(subcategory)]
    return lines


def subcategory(name, subcategory_open=True):
    """BeginSubCategory lines."""
    lines = [TAB * 3 + "</SubCategory>"] if subcategory_open else []
    return lines + [TAB * 3 + "<SubCategory>", TAB * 4 + "<SubCategoryName>%s</SubCategoryName>" % escape(name)]


def group_end(subcategory_open=True):
    lines = [TAB * 3 + "</SubCategory>"] if subcategory_open else []
    return lines + [TAB * 2 + "</Category>", TAB + "</TestGroup>"]


# Entry points whose member is the answer itself: a profile that builds on another replaces them whole.
DIRECT_ANSWERS = {
    "IxaGetDeviceType", "IxaGetKeyCfgState", "IxaGetKeyLayer", "IxaGetKeyLayerMode", "IxaGetUserSerialId",
    "IxaGetLedCount", "IxaGetKeyCount", "IxaAreKeysEnabled", "IxaGetPanelLockTime", "IxaGetDisplayBrightness",
    "IxaGetDisplayDefaultBrightness", "IxaGetDisplayEqualizer", "IxaGetKeyMatrix", "IxaGetKeySwitches",
    "IxaIsWmiEnabled", "IxaGetUserLed", "IxaGetUserlogoValue", "IxaGetUserlogoStringW", "IxaGetDisplayType",
    "IxaGetDisplayFactoryBrightness", "IxaGetDisplayContrast", "IxaGetDisplayDefaultContrast",
    "IxaGetDisplayFactoryContrast"}


def load_profile(name):
    """A shipped profile with its "base" applied as the simulated library applies it."""
    with open(os.path.join(PROFILES_DIR, name), encoding="utf-8") as f:
        profile = json.load(f)
    base = profile.pop("base", None)
    if base is None:
        return profile
    return overlay(load_profile("corvabox-c90.json" if base == "builtin" else base), profile)


def overlay(merged, profile):
    """merged with profile's answers on top, as the simulated library applies a profile to its base."""
    for entry, answers in profile.items():
        if answers is None:
            merged.pop(entry, None)
        elif entry.startswith("_") or entry in DIRECT_ANSWERS or entry not in merged:
            merged[entry] = answers
        else:
            merged[entry].update(answers)
            merged[entry] = {key: answer for key, answer in merged[entry].items() if answer is not None}
    return merged


class ScanTestCase(unittest.TestCase):
    """Base of the end-to-end tests: scratch folders in the prefix, removed afterwards."""

    maxDiff = None

    def setUp(self):
        self.assertTrue(BIN_DIR and WINEPREFIX, "KV_BIN_DIR and WINEPREFIX must be set (run through scripts/test)")
        self._folders = []

    def tearDown(self):
        for folder in self._folders:
            shutil.rmtree(folder, ignore_errors=True)

    def make_folder(self):
        folder = os.path.join(DRIVE_C, "kvtest", uuid.uuid4().hex[:12])
        os.makedirs(folder)
        self._folders.append(folder)
        return folder

    def install(self, folder, library="default"):
        """Copies the exe, and the library variant asked for, into folder."""
        shutil.copy(os.path.join(BIN_DIR, "KvInspectra.exe"), folder)
        if library == "default":
            shutil.copy(os.path.join(BIN_DIR, "KvIxa.dll"), folder)
        elif library == "legacy":
            shutil.copy(os.path.join(BIN_DIR, "legacy", "KvIxa.dll"), folder)
        elif library is not None:
            raise ValueError(library)
        return os.path.join(folder, "KvInspectra.exe")

    def scan(self, profile=None, args=None, library="default", report_name="report.xml", folder=None,
             timeout=60, env=None, cwd=None, prepare=None, answers=(), expect_report=None):
        """Runs one scan. profile: a file name in profiles/, a dict, or None for the built-in one.

        args default to -o -f=<folder>\\report.xml; report_name is where the report is
        looked for. The run has the test display, so a message box nobody expects makes
        it hang until the timeout. answers: for each message box expected in turn, the
        key that answers it ("Return", "y", "n"); what the boxes said is in Scan.boxes.
        expect_report: the scan must leave a complete report at report_name, else the
        test fails at once and says why; by default for a scan with the default
        arguments that shows no message box."""
        folder = folder or self.make_folder()
        exe = self.install(folder, library)
        extra = {"KVIXA_TRACE": to_windows(os.path.join(folder, "trace.txt"))}
        if isinstance(profile, dict):
            path = os.path.join(folder, "profile.json")
            with open(path, "w", encoding="utf-8") as f:
                json.dump(profile, f)
            extra["KVIXA_PROFILE"] = to_windows(path)
        elif profile:
            extra["KVIXA_PROFILE"] = to_windows(os.path.join(PROFILES_DIR, profile))
        if env:
            extra.update(env)
        report = os.path.join(folder, report_name)
        if expect_report is None:
            expect_report = args is None and not answers
        if args is None:
            args = ["-o", "-f=" + to_windows(report)]
        if prepare:
            prepare(folder)
        # Output goes to files, not pipes: Wine's desktop process, restarted by a launch
        # after an idle pause, inherits the launch's handles and would hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen(["timeout", str(timeout), "wine", exe] + list(args), env=wine_env(extra),
                                       cwd=cwd or folder, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            boxes = [answer_message_box(key) for key in answers]
            process.wait()
            out.seek(0)
            err.seek(0)
            completed = subprocess.CompletedProcess(process.args, process.returncode,
                                                    out.read().decode("utf-8", "replace"),
                                                    err.read().decode("utf-8", "replace"))
        self.assertNotEqual(124, completed.returncode, "the scan did not end in time (a message box nobody answered?)")
        if expect_report:
            self.assertCompleteReport(report, completed, os.path.join(folder, "trace.txt"))
        scan = Scan(folder, report, completed)
        scan.boxes = boxes
        if scan.lines is not None:
            self.assertValidReport(report)
        return scan

    @classmethod
    def tearDownClass(cls):
        check_written_reports()
        super().tearDownClass()

    def assertCompleteReport(self, report, completed, trace):
        """Fails with the exe's exit code, its standard error and the end of the trace
        when the scan left no complete report."""
        problem = report_problem(report)
        if problem is None:
            return
        tail = []
        if os.path.exists(trace):
            with open(trace, encoding="utf-8", errors="replace") as f:
                tail = [line.rstrip("\n") for line in f][-TRACE_TAIL:]
        self.fail("%s\nexit code: %d\nstandard error:\n%s\nlast %d lines of the trace:\n%s" % (
            problem, completed.returncode, completed.stderr.rstrip("\n") or "(empty)", len(tail),
            "\n".join(tail) or "(no trace)"))

    def assertValidReport(self, path):
        """Every report a scan writes keeps to the published schema and to the rules that
        KvReport check adds (checked for the whole class at its end)."""
        checked = subprocess.run(["xmllint", "--noout", "--schema", SCHEMA, path], capture_output=True, text=True)
        self.assertEqual(0, checked.returncode, checked.stderr)
        keep_for_check(path, self.id().split(".", 1)[-1])

    def assertLines(self, expected, actual):
        """Whole lines, in order."""
        self.assertIsNotNone(actual)
        self.assertEqual(list(expected), list(actual))
