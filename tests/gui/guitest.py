"""Runs the real KvInspectra.exe interactively on the test display and drives its
windows through kv_dialog_probe.exe, which reads a dialog or message box and answers
it with the messages its controls send (no keys from the X server, which can stick in
Wine's keyboard state). The prefix's documents folder points at a scratch folder of
the test class while it runs.
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import uuid
from xml.etree import ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from kvtest import (BIN_DIR, DRIVE_C, PROFILES_DIR, WINEPREFIX, read_report_lines, reg, to_windows,  # noqa: E402
                    wine_env)

SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
WINE_DOCUMENTS = r"%USERPROFILE%\Documents"
SCRATCH = os.path.join(DRIVE_C, "kvgui")
SCREENSHOTS = os.path.join(os.environ.get("KV_BUILD_DIR", os.path.join(BIN_DIR, "..")), "screenshots")

IDOK, IDCANCEL, IDYES, IDNO, IDHELP = 1, 2, 6, 7, 9
EDIT, BROWSE = 1005, 1007
PROGRESS, ANIMATION = 1000, 1004


def reg_query(key, name=None):
    """The data of a registry value (None: the key's default value) as `wine reg query`
    shows it, or None when there is none."""
    which = ["/v", name] if name else ["/ve"]
    out = subprocess.run(["timeout", "60", "wine", "reg", "query", key] + which, capture_output=True,
                         text=True, errors="replace", env=wine_env()).stdout
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0] == (name or "(Default)"):
            return parts[2]
    return None


def controls(window):
    """The controls of a dumped window by id (the last one of an id wins)."""
    return {c["id"]: c for c in window["controls"]}


def buttons(window):
    return sorted(c["id"] for c in window["controls"] if c["class"].lower() == "button" and c["visible"])


def message(box):
    """Caption, text, buttons (ids) and icon of a dumped message box."""
    texts = [c for c in box["controls"] if c["class"].lower() == "static" and c["text"] and not c.get("icon")]
    icons = [c["sysicon"] for c in box["controls"] if c.get("icon")]
    return {"caption": box["caption"], "text": texts[0]["text"] if texts else None, "buttons": buttons(box),
            "icon": icons[0] if icons else None}


class Run:
    """One run of the exe; its output goes to files (a pipe could be held by Wine's desktop process)."""

    def __init__(self, exe, args, env, cwd):
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen(["timeout", "60", "wine", exe] + list(args), env=env, cwd=cwd,
                                        stdin=subprocess.DEVNULL, stdout=self.out, stderr=subprocess.STDOUT)

    def wait(self, timeout=60):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()  # timeout hands the signal on to the program
            self.wait(10)
        self.out.close()


class GuiTestCase(unittest.TestCase):
    """Base of the GUI tests: a scratch documents folder and a scratch copy of the exe per test."""

    maxDiff = None

    @classmethod
    def setUpClass(cls):
        assert BIN_DIR and WINEPREFIX, "KV_BIN_DIR and WINEPREFIX must be set (run through scripts/test)"
        cls.documents = os.path.join(SCRATCH, "documents")
        os.makedirs(cls.documents, exist_ok=True)
        saved = reg_query(SHELL_FOLDERS, "Personal")
        cls.saved_documents = saved if saved and "kvgui" not in saved.lower() else WINE_DOCUMENTS
        reg("add", SHELL_FOLDERS, "/v", "Personal", "/t", "REG_EXPAND_SZ", "/d", to_windows(cls.documents), "/f")
        cls.computer = None

    @classmethod
    def tearDownClass(cls):
        reg("add", SHELL_FOLDERS, "/v", "Personal", "/t", "REG_EXPAND_SZ", "/d", cls.saved_documents, "/f")
        shutil.rmtree(SCRATCH, ignore_errors=True)

    def setUp(self):
        for name in os.listdir(self.documents):
            os.remove(os.path.join(self.documents, name))
        self.folder = os.path.join(SCRATCH, uuid.uuid4().hex[:12])
        os.makedirs(self.folder)
        shutil.copy(os.path.join(BIN_DIR, "KvInspectra.exe"), self.folder)
        shutil.copy(os.path.join(BIN_DIR, "KvIxa.dll"), self.folder)
        self.exe = os.path.join(self.folder, "KvInspectra.exe")
        self.runs = []
        if self.computer is None:
            type(self).computer = self.probe("computer", program=False)[0]["computer"]

    def tearDown(self):
        for run in self.runs:
            run.stop()
        shutil.rmtree(self.folder, ignore_errors=True)

    def document(self, name):
        return os.path.join(self.documents, name)

    def default_name(self, suffix=""):
        return "KvInspectra%s%s.xml" % (self.computer, suffix)

    def start(self, args=(), profile=None):
        """Starts the exe; profile: None for the built-in one, a file name in profiles/, or a dict."""
        extra = {}
        if isinstance(profile, str):
            extra["KVIXA_PROFILE"] = to_windows(os.path.join(PROFILES_DIR, profile))
        elif profile is not None:
            path = os.path.join(self.folder, "profile.json")
            with open(path, "w", encoding="utf-8") as f:
                json.dump(profile, f)
            extra["KVIXA_PROFILE"] = to_windows(path)
        run = Run(self.exe, args, wine_env(extra), self.folder)
        self.runs.append(run)
        return run

    def probe_command(self, steps, program):
        command = ["timeout", "90", "wine", os.path.join(BIN_DIR, "kv_dialog_probe.exe")]
        if program:
            command.append("program:" + to_windows(self.exe))
        return command + list(steps)

    def probe(self, *steps, program=True):
        """Carries out the steps (see tests/tools/dialog_probe.cpp); returns what they read."""
        with tempfile.TemporaryFile() as out:
            subprocess.run(self.probe_command(steps, program), env=wine_env(), stdin=subprocess.DEVNULL,
                           stdout=out, stderr=subprocess.DEVNULL)
            out.seek(0)
            results = [json.loads(line) for line in out.read().decode("utf-8").splitlines() if line.strip()]
        errors = [r["error"] for r in results if "error" in r]
        if errors:
            self.fail("probe: %s" % errors[0])
        return results

    def probe_in_background(self, *steps):
        """Starts the probe and returns (process, output path) without waiting."""
        path = os.path.join(self.folder, "probe-%d.txt" % len(self.runs))
        out = open(path, "wb")
        process = subprocess.Popen(self.probe_command(steps, True), env=wine_env(), stdin=subprocess.DEVNULL,
                                   stdout=out, stderr=subprocess.DEVNULL)
        out.close()
        return process, path

    def wait_for_output(self, path, key, timeout=30):
        """The first JSON line with key that the background probe printed."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with open(path, encoding="utf-8") as f:
                for line in f:
                    if line.strip() and key in json.loads(line):
                        return json.loads(line)
            time.sleep(0.1)
        self.fail("the probe printed no %s" % key)

    def finish(self, run):
        """Waits for the run to end by itself."""
        code = run.wait()
        self.assertIsNotNone(code, "the program did not end")
        self.assertNotEqual(124, code, "the program did not end in time")

    def screenshot(self, name):
        """The whole test display, for people to look at."""
        os.makedirs(SCREENSHOTS, exist_ok=True)
        subprocess.run(["timeout", "30", "import", "-window", "root", os.path.join(SCREENSHOTS, name + ".png")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def assertCompleteReport(self, path):
        """A whole, well-formed report (UTF-16 with byte-order mark, CR LF lines) with its
        stylesheet; returns its lines."""
        lines = read_report_lines(path)
        self.assertEqual("KvInspectraReport", ElementTree.parse(path).getroot().tag)
        self.assertEqual("</KvInspectraReport>", lines[-1])
        self.assertTrue(os.path.exists(path[:-len(".xml")] + ".xsl"))
        return lines


def group_names(lines):
    return [line.strip()[len("<GroupName>"):-len("</GroupName>")] for line in lines
            if line.startswith("\t\t<GroupName>")]
