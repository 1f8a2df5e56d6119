"""Odd but legal report names and library texts: no report is lost, no text is cut."""

import os
import subprocess
import time
import unittest

from kvtest import BIN_DIR, DRIVE_C, TAB, ScanTestCase, system_text, test_block, to_windows, wine_env
from test_cpu import with_answers
from test_scan import RegistryValues, WerRuntimeIni, os_group

NAME = "r" * 221  # with ".xml" a file name of 225 characters, far beyond the stylesheet line's old limit
STYLESHEET_LINE = '<?xml-stylesheet type="text/xsl" href="%s"?>'

# Report names and the files each scan must leave in its folder: report (an XML
# report), stylesheet (the program's stylesheet), page (the rendered page), "old" (a
# file of the test left untouched). Folders are created as the names need them.
# (name given to -f=, files there before with their content, files afterwards)
NAMES = [
    ("today.html", {}, {"today.html": "report", "today.xsl": "stylesheet"}),
    ("today.html", {"today.html": "old"}, {"today.html": "report", "today.xsl": "stylesheet"}),
    ("run.1/report", {"run.xsl": "old", "run.html": "old"},
     {"run.1/report": "report", "run.1/report.xsl": "stylesheet", "run.1/report.html": "page",
      "run.xsl": "old", "run.html": "old"}),
    (NAME + ".xml", {NAME + ".xml": "old"},
     {NAME + ".xml": "report", NAME + ".xsl": "stylesheet", NAME + ".html": "page"}),
]

# Names refused before anything is written: (name, files there before, error text code).
REFUSED = [
    ("today.xsl", {"today.xsl": "old"}, 123),
    ("Today.XSL", {"today.xsl": "old"}, 123),
    ("sub/today.xsl", {}, 123),
]

OLD = b"a file of the user"


def windows_name(folder, name):
    """The -f= text: the folder as Windows names it, the name's own separators kept."""
    return to_windows(folder) + "\\" + name


class ReportNameTest(ScanTestCase):

    def place(self, folder, files):
        for name, _ in files.items():
            path = os.path.join(folder, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(OLD)

    def check_files(self, folder, expected):
        found = {os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs}
        found -= {"KvInspectra.exe", "KvIxa.dll", "trace.txt"}
        self.assertEqual(set(expected), found)
        with open(os.path.join(os.environ["KV_SOURCE_DIR"], "resources", "KvInspectra.xsl"), "rb") as f:
            stylesheet = f.read()
        for name, kind in expected.items():
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            if kind == "old":
                self.assertEqual(OLD, data, name)
            elif kind == "stylesheet":
                self.assertEqual(stylesheet, data, name)
            elif kind == "page":
                self.assertTrue(data.startswith(b"<") and b"Operating System" in data, name)
            else:
                text = data.decode("utf-16")
                self.assertTrue(text.endswith("</KvInspectraReport>\r\n"), name)
                stylesheet_name = os.path.basename(name.rsplit(".", 1)[0] if "." in os.path.basename(name)
                                                   else name) + ".xsl"
                self.assertEqual(STYLESHEET_LINE % stylesheet_name, text.split("\r\n")[1], name)
                subprocess.run(["xmllint", "--noout", os.path.join(folder, name)], check=True)

    def test_report_names_leave_report_stylesheet_and_page(self):
        for name, before, after in NAMES:
            with self.subTest(name=name[:40], before=sorted(before)):
                folder = self.make_folder()
                self.place(folder, before)
                os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
                self.scan(folder=folder, args=["-o", "-f=" + windows_name(folder, name.replace("/", "/"))],
                          report_name=name, expect_report=True)
                self.check_files(folder, after)

    def test_a_report_named_like_its_stylesheet_is_refused_before_anything_is_written(self):
        for name, before, code in REFUSED:
            for overwrite in ([], ["-o"]):
                with self.subTest(name=name, overwrite=overwrite):
                    folder = self.make_folder()
                    self.place(folder, before)
                    scan = self.scan(folder=folder, args=overwrite + ["-f=" + windows_name(folder, name)],
                                     answers=["Return"])
                    self.assertEqual({"caption": "Kavrol Inspectra", "text": system_text(code), "buttons": ["OK"]},
                                     {k: v for k, v in scan.boxes[0].items() if k != "hwnd"})
                    self.check_files(folder, {n: "old" for n in before})

    def test_an_existing_report_that_cannot_be_written_leaves_its_stylesheet(self):
        folder = self.make_folder()
        self.place(folder, {"report.xml": "old", "report.xsl": "old"})
        with HeldFile(self, os.path.join(folder, "report.xml"), "r", "r"):
            scan = self.scan(folder=folder, answers=["Return"])
        self.assertEqual(system_text(110), scan.boxes[0]["text"])
        self.check_files(folder, {"report.xml": "old", "report.xsl": "old"})


class HeldFile:
    """Another program holding a file open while the test scans."""

    def __init__(self, test, path, access, sharing):
        self.test, self.path, self.access, self.sharing = test, path, access, sharing
        self.marker = os.path.join(test.make_folder(), "held")

    def __enter__(self):
        self.process = subprocess.Popen(["timeout", "90", "wine", os.path.join(BIN_DIR, "kv_hold_file.exe"),
                                         to_windows(self.path), self.access, self.sharing, to_windows(self.marker)],
                                        env=wine_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        for _ in range(400):
            if os.path.exists(self.marker) or self.process.poll() is not None:
                break
            time.sleep(0.05)
        self.test.assertTrue(os.path.exists(self.marker), "the file could not be held open")
        return self

    def __exit__(self, *exc):
        if os.path.exists(self.marker):
            os.remove(self.marker)
        self.process.wait()


# Library texts and the result line each must give: (test name in its group, group,
# answers replaced in the default profile, result, format).
UNTERMINATED_256 = "".join(chr(0x41 + i % 26) for i in range(256))
UNTERMINATED_260 = "X" + UNTERMINATED_256 + "END"


def utf16_hex(text):
    return " ".join("%02X" % b for b in text.encode("utf-16-le"))


TEXTS = [
    ("Version", "BIOS", {"IxaGetFirmwareStringW": {"21": {"wstr": "V1.21\n\n"}}}, "V1.21", "String"),
    ("Version", "BIOS", {"IxaGetFirmwareStringW": {"21": {"wstr": "V1.21\r\n"}}}, "V1.21\r", "String"),
    ("Board type", "CPU", {"IxaGetHardwareStringW": {"16": {"hex": utf16_hex(UNTERMINATED_256)}}},
     UNTERMINATED_256, "String"),
    ("Type", "CPU Board", {"IxaGetHardwareStringW": {"16": {"hex": utf16_hex(UNTERMINATED_260)}}},
     UNTERMINATED_260, "String"),
]


def test_lines(lines, group, name):
    """The lines of the first test of that name inside the group, and its number."""
    start = lines.index(TAB * 7 + "<TestName>%s</TestName>" % name, lines.index(TAB * 2 + "<GroupName>%s</GroupName>"
                                                                                   % group)) - 1
    number = int(lines[start + 3].strip()[len("<TestNumber>"):-len("</TestNumber>")])
    return lines[start:start + 7], number


class LibraryTextTest(ScanTestCase):

    def test_library_texts_are_written_whole_without_trailing_line_feeds(self):
        for name, group, answers, result, fmt in TEXTS:
            with self.subTest(name=name, group=group, result=result[:20]):
                scan = self.scan(with_answers("corvabox-c90.json", **answers))
                lines, number = test_lines(scan.lines, group, name)
                self.assertEqual(test_block(name, number, result, fmt), lines)


class WerRuntimeTest(ScanTestCase):

    def test_nul_bytes_are_characters_and_a_file_held_open_for_writing_is_read(self):
        content = b"Ke\x00y=Val\x00ue\r\n" + b"Long=" + b"x" * 20000 + b"\r\n" * 3 + b"last=line"
        with RegistryValues(ProductName="Windows 10 Pro", RegisteredOrganization="Org", RegisteredOwner="Owner"), \
                WerRuntimeIni(content) as ini, HeldFile(self, ini.path, "w", "rw"):
            scan = self.scan(library=None)
        expected = os_group(1, 1, product="Windows 10 Pro", wer_tests=[
            ("Ke\ufffdy", "Val\ufffdue"), ("Long", "x" * 20000), ("last", "line")])
        self.assertLines(expected, scan.group("Operating System"))


if __name__ == "__main__":
    unittest.main()
