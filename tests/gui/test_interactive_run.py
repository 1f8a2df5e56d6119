"""The interactive run as a user sees it: the report file dialog, the scan progress
dialog and the completion prompt, driven on the test display."""

import json
import os
import unittest

from guitest import (ANIMATION, BROWSE, EDIT, IDCANCEL, IDHELP, IDNO, IDOK, IDYES, PROGRESS, GuiTestCase, controls,
                     group_names, message, reg_query)
from kvtest import BIN_DIR, load_profile, reg, system_text, to_windows

TITLE = "Kavrol Inspectra V2.0"
CAPTION = "Kavrol Inspectra"
SAVE_TITLE = "Define a report file name"
WS_SYSMENU = 0x00080000
WS_EX_APPWINDOW = 0x00040000
FILE_NAME_BOX, FILE_TYPE_BOX = 1148, 1136  # of the system's save-file dialog

REPORT_DIALOG_TEXT = ("Kavrol Inspectra writes the results of the diagnosis to a report file. "
                      "You need to specify the location of this file.")
SCANNING_TEXT = "Kavrol Inspectra is scanning your device. This can take some time."
STATUS_TEXT = "Scanning the device..."
PROMPT = "Kavrol Inspectra has completed the scanning operation. Open the report file?"
EMPTY_NAME = "You need to specify a report file name."
OVERWRITE = "The report file %s already exists. Overwrite this file?"
USAGE = ("This program analyzes your device and creates a report file. This report file can be used for error "
         "diagnosis.\n\r\n\r"
         "Run \"KvInspectra [-o] -f=<report file>\" to start the diagnostic process automatically.\n\r\n\r"
         "Required parameters:\n\r\n\r"
         "-f=<report file>\n\r"
         "Defines the name of the report file (e.g. -f=C:\\temp\\test.xml). If the report file name contains "
         "spaces wrap the file name with quotation marks (e.g. -f=\"C:\\Report 1\\My Report.xml\").\n\r\n\r"
         "Optional parameters:\n\r\n\r"
         "[-o] If this option is set, an existing report file will be overwritten.\n\r\n\r"
         "Note:\n\r"
         "The report consists of two files. A XML file which contains the report data and a corresponding XSL "
         "stylesheet file for viewing the data in a webbrowser.\r\n")


def write(path, data=b"keep"):
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class InteractiveRunTest(GuiTestCase):

    def assertCentred(self, dialog):
        x, y, width, height = dialog["rect"]
        screen_width, screen_height = dialog["screen"]
        self.assertEqual(((screen_width - width) // 2, (screen_height - height) // 2), (x, y))

    def assertReportDialog(self, dialog, name):
        c = controls(dialog)
        self.assertEqual(TITLE, dialog["caption"])
        self.assertCentred(dialog)
        self.assertEqual(0, dialog["style"] & WS_SYSMENU)
        self.assertEqual(name, c[EDIT]["text"])
        self.assertEqual({IDOK: "OK", IDCANCEL: "Cancel", BROWSE: "...", IDHELP: "Help"},
                         {i: c[i]["text"] for i in (IDOK, IDCANCEL, BROWSE, IDHELP)})
        self.assertEqual([REPORT_DIALOG_TEXT], [x["text"] for x in dialog["controls"]
                                                if x["id"] == -1 and not x.get("icon")])

    def assertProgressDialog(self, dialog, groups=18):
        c = controls(dialog)
        self.assertEqual(TITLE, dialog["caption"])
        self.assertCentred(dialog)
        self.assertEqual(WS_SYSMENU, dialog["style"] & WS_SYSMENU)
        self.assertEqual(WS_EX_APPWINDOW, dialog["exstyle"] & WS_EX_APPWINDOW)
        self.assertEqual([SCANNING_TEXT, STATUS_TEXT], [c[1002]["text"], c[1003]["text"]])
        self.assertEqual((1, groups), (c[PROGRESS]["low"], c[PROGRESS]["high"]))
        self.assertTrue(c[1001]["icon"])
        self.assertTrue(c[ANIMATION]["visible"])
        return c[PROGRESS]["pos"]

    def assertPrompt(self, box):
        self.assertEqual({"caption": CAPTION, "text": PROMPT, "buttons": [IDYES, IDNO], "icon": "question"},
                         message(box))

    def test_default_name_skips_taken_names_and_the_report_lands_there(self):
        for taken in (self.default_name(), self.default_name("_1")):
            write(self.document(taken))
        run = self.start()
        dialog, = self.probe("wait:report", "dump")
        self.screenshot("report-file-dialog")
        self.assertReportDialog(dialog, to_windows(self.document(self.default_name("_2"))))
        self.assertEqual(IDOK, dialog["focus"])

        prompt, progress = self.probe("wait:report", "click:%d" % IDOK, "wait:box", "dump", "wait:progress", "dump")
        self.screenshot("completion-prompt")
        self.assertPrompt(prompt)
        self.assertEqual(18, self.assertProgressDialog(progress))
        self.assertFalse(progress["enabled"], "the prompt is modal to the progress dialog")
        self.probe("wait:box", "click:%d" % IDNO, "gone")
        self.finish(run)

        lines = self.assertCompleteReport(self.document(self.default_name("_2")))
        self.assertEqual('<?xml-stylesheet type="text/xsl" href="%s.xsl"?>' % self.default_name("_2")[:-4],
                         lines[1])
        for taken in (self.default_name(), self.default_name("_1")):
            self.assertEqual(b"keep", read(self.document(taken)))

    def test_cancel_or_escape_ends_the_program_without_writing_anything(self):
        # -f= with nothing after it is an interactive run; -o alone too.
        for args, answer in ((["-f="], "click:%d" % IDCANCEL), (["-o"], "key:27")):
            with self.subTest(args=args):
                run = self.start(args)
                self.probe("wait:report", answer, "gone")
                self.finish(run)
                self.assertEqual([], os.listdir(self.documents))
                self.assertEqual([], [f for f in os.listdir(self.folder) if f.endswith((".xml", ".xsl"))])

    def test_help_and_an_empty_name_keep_the_dialog_open(self):
        run = self.start()
        help_box, empty, dialog = self.probe(
            "wait:report", "click:%d" % IDHELP, "wait:box", "dump", "click:%d" % IDOK, "gone",
            "wait:report", "set:%d=" % EDIT, "click:%d" % IDOK, "wait:box", "dump", "click:%d" % IDOK, "gone",
            "wait:report", "dump", "click:%d" % IDCANCEL, "gone")
        self.finish(run)
        self.assertEqual({"caption": CAPTION, "text": USAGE, "buttons": [IDOK], "icon": "information"},
                         message(help_box))
        self.assertEqual({"caption": CAPTION, "text": EMPTY_NAME, "buttons": [IDOK], "icon": "error"}, message(empty))
        self.assertReportDialog(dialog, "")
        self.assertEqual([], os.listdir(self.documents))

    def test_existing_file_is_replaced_only_after_yes(self):
        existing = self.document("existing.xml")
        write(existing)
        name = to_windows(existing)
        run = self.start()
        question, dialog = self.probe("wait:report", "set:%d=%s" % (EDIT, name), "click:%d" % IDOK,
                                      "wait:box", "dump", "click:%d" % IDNO, "gone", "wait:report", "dump")
        self.assertEqual({"caption": CAPTION, "text": OVERWRITE % name, "buttons": [IDYES, IDNO],
                          "icon": "question"}, message(question))
        self.assertReportDialog(dialog, name)
        self.assertEqual(b"keep", read(existing))

        # Yes is the only question: start-up opens the report with overwriting allowed.
        again, prompt = self.probe("wait:report", "click:%d" % IDOK, "wait:box", "dump", "click:%d" % IDYES,
                                   "gone", "wait:box", "dump", "click:%d" % IDNO, "gone")
        self.finish(run)
        self.assertEqual(OVERWRITE % name, message(again)["text"])
        self.assertPrompt(prompt)
        self.assertCompleteReport(existing)

    def test_browse_cancelled_keeps_the_name_and_a_typed_name_is_taken(self):
        proposed = to_windows(self.document(self.default_name()))
        chosen = self.document("Chosen.xml")
        run = self.start()
        save, cancelled, typed = self.probe(
            "wait:report", "click:%d" % BROWSE, "wait:title=" + SAVE_TITLE, "dump", "click:%d" % IDCANCEL, "gone",
            "wait:report", "dump", "click:%d" % BROWSE, "wait:title=" + SAVE_TITLE,
            "set:%d=Chosen" % FILE_NAME_BOX, "click:%d" % IDOK, "gone", "wait:report", "dump",
            "click:%d" % IDOK, "wait:box", "click:%d" % IDNO, "gone")
        self.finish(run)
        c = controls(save)
        self.assertEqual((self.default_name(), "Report Files (*.xml)"),
                         (c[FILE_NAME_BOX]["text"], c[FILE_TYPE_BOX]["text"]))
        self.assertReportDialog(cancelled, proposed)
        self.assertReportDialog(typed, to_windows(chosen))
        self.assertCompleteReport(chosen)
        self.assertFalse(os.path.exists(self.document(self.default_name())))

    def test_progress_dialog_refuses_to_close_while_the_scan_runs(self):
        # The BIOS version read takes 6 s: long enough to try every way of closing.
        bios_version = load_profile("corvabox-c90.json")["IxaGetFirmwareStringW"]["21"]
        run = self.start(profile={"base": "builtin",
                                  "IxaGetFirmwareStringW": {"21": dict(bios_version, delayMs=6000)}})
        before, after, frames, minimised, restored = self.probe(
            "wait:report", "click:%d" % IDOK, "wait:progress", "dump", "key:27", "sysclose", "close", "dump",
            "frames:%d" % ANIMATION, "minimize", "dump", "restore", "dump")
        self.screenshot("scan-progress-dialog")
        self.assertLess(self.assertProgressDialog(before), 18)
        self.assertTrue(after["visible"], "the dialog closed while the scan ran")
        self.assertLess(self.assertProgressDialog(after), 18, "the scan ended before the close attempts")
        self.assertGreaterEqual(frames["frames"], 3, "the animation does not move")
        self.assertGreaterEqual(frames["late"], 2, "the animation does not loop")
        self.assertEqual((True, False), (minimised["iconic"], restored["iconic"]))
        self.assertGreaterEqual(self.assertProgressDialog(restored), self.assertProgressDialog(after))

        prompt, progress = self.probe("wait:box", "dump", "wait:progress", "dump")
        self.assertPrompt(prompt)
        self.assertEqual(18, self.assertProgressDialog(progress))
        self.probe("wait:box", "click:%d" % IDNO, "gone")
        self.finish(run)
        lines = self.assertCompleteReport(self.document(self.default_name()))

        automatic = os.path.join(self.folder, "automatic.xml")
        self.finish(self.start(["-f=" + to_windows(automatic)]))
        self.assertIn("BIOS", group_names(lines))
        self.assertEqual(group_names(self.assertCompleteReport(automatic)), group_names(lines))

    def test_bar_of_the_module_family_ends_at_107(self):
        run = self.start(profile="corvabox-c94.json")
        prompt, progress = self.probe("wait:report", "click:%d" % IDOK, "wait:box", "dump", "wait:progress", "dump",
                                      "wait:box", "click:%d" % IDNO, "gone")
        self.finish(run)
        self.assertPrompt(prompt)
        self.assertEqual(107, self.assertProgressDialog(progress, groups=107))
        self.assertCompleteReport(self.document(self.default_name()))

    def test_yes_opens_the_report_in_its_registered_program(self):
        opened = os.path.join(self.folder, "opened.txt")
        probe = to_windows(os.path.join(BIN_DIR, "kv_dialog_probe.exe"))
        command = '"%s" opened:%s "%%1"' % (probe, to_windows(opened))
        with Association(".xml", command), Association(".html", command, "KvTest.Page"):
            run = self.start()
            self.probe("wait:report", "click:%d" % IDOK, "wait:box", "click:%d" % IDYES, "gone")
            self.finish(run)
        self.assertCompleteReport(self.document(self.default_name()))
        self.assertTrue(os.path.exists(self.document(self.default_name()[:-4] + ".html")))
        self.assertEqual(to_windows(self.document(self.default_name())) + "\n", read(opened).decode("utf-8"))

    def test_locked_file_counts_as_free_and_the_failed_open_is_shown(self):
        locked = self.document(self.default_name())
        write(locked)
        probe, out = self.probe_in_background("lock:" + to_windows(locked), "wait:report", "dump", "click:%d" % IDOK,
                                              "wait:box", "dump", "click:%d" % IDOK, "gone")
        self.assertTrue(self.wait_for_output(out, "locked")["locked"])
        run = self.start()
        self.assertEqual(0, probe.wait(90))
        self.finish(run)
        with open(out, encoding="utf-8") as f:
            dialog, box = [json.loads(line) for line in f][1:]
        self.assertReportDialog(dialog, to_windows(locked))
        self.assertEqual({"caption": CAPTION, "text": system_text(110), "buttons": [IDOK], "icon": "error"},
                         message(box))
        self.assertEqual(b"keep", read(locked))


class Association:
    """Opens files of one extension with a given command for the time of a test."""

    def __init__(self, extension, command, kind="KvTest.Report"):
        self.extension = "HKCR\\" + extension
        self.command = command
        self.kind = kind

    def __enter__(self):
        self.saved = reg_query(self.extension)
        reg("add", self.extension, "/ve", "/d", self.kind, "/f")
        reg("add", "HKCR\\" + self.kind + r"\shell\open\command", "/ve", "/d", self.command, "/f")
        return self

    def __exit__(self, *exc):
        reg("delete", "HKCR\\" + self.kind, "/f")
        if self.saved is None:
            reg("delete", self.extension, "/f")
        else:
            reg("add", self.extension, "/ve", "/d", self.saved, "/f")


if __name__ == "__main__":
    unittest.main()
