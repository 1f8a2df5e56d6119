"""KvReport.exe over reports of real scans and over reports written by hand.

Three scans serve every test: the default device, the same device with a few known
answers changed (so the expected diff is exactly those changes, however many groups
the program writes), and another device model. Python's own XML parser is the oracle
for summary and json; redaction and stopped scans are tested in test_redaction.py."""

import csv
import html
import json
import os
import re
import shutil
import tempfile
import unittest

from kvreport_tool import (digest, folder_listing, header, kvreport, one_line, read_report_lines, replace_group,
                           summary_row, tests_of, write_report)
from kvtest import (ScanTestCase, category, check_written_reports, group_end, group_start, load_profile, system_text,
                    test_block, to_windows)

SCANS = {}
_scanner = None

# The changed device: these answers differ from the default one, and nothing else
# (every selector here belongs to one group only).
RESULTS = [("BIOS > Version", "V1.21", "V1.30"),
           ("CPU Board > Factory Settings > Serial number", "E9D20177341", "E9D20177999")]
USER_SERIAL_ID_ERROR = 31


def changed_profile():
    profile = load_profile("corvabox-c90.json")
    profile["IxaGetFirmwareStringW"]["21"] = {"wstr": "V1.30"}
    profile["IxaGetFactoryStringW"]["49"] = {"wstr": "E9D20177999"}
    profile["IxaGetTemperature"]["15"] = {"i8": 60}  # sensor 1: 47 -> 60, beyond 5 %
    profile["IxaGetTemperature"]["16"] = {"i8": 44}  # sensor 2: 43 -> 44, within, but in alarm:
    profile["IxaGetAlarm"]["28"] = {"u32": 1}
    profile["IxaGetTemperature"]["18"] = {"error": 87}  # sensor 4 cannot be read: its test goes
    profile["IxaGetUserSerialId"] = {"error": USER_SERIAL_ID_ERROR}
    return profile


def setUpModule():
    global _scanner
    _scanner = ScanTestCase()
    _scanner.setUp()
    base = _scanner.scan("corvabox-c90.json")
    changed = _scanner.scan(changed_profile())
    other = _scanner.scan("panevox-p50.json")
    assert base.lines and changed.lines and other.lines, "a scan wrote no report"
    # The host's memory figures move between two scans; the changed scan takes the first's.
    write_report(changed.report, replace_group(changed.lines, base.lines, "Memory"))
    SCANS.update(base=base.report, changed=changed.report, other=other.report)


def tearDownModule():
    _scanner.tearDown()
    check_written_reports()


def win(path):
    return to_windows(path)


def describe(path):
    h = header(path)
    return "%s: %s, %s, %s %s, %s" % (win(path), h["KvDeviceType"], h["ComputerName"], h["Date"], h["Time"],
                                      h["Version"])


def expected_diff(old, new, forward):
    pick = (lambda a, b: (a, b)) if forward else (lambda a, b: (b, a))
    user_serial_id = pick("Passed", "Failed") + pick("00C90017h", one_line(system_text(USER_SERIAL_ID_ERROR)))
    lines = ["Old: " + describe(old), "New: " + describe(new), "", "Status changed (2):",
             "  General > User Settings > User Serial ID > Value: %s -> %s (%s -> %s)" % user_serial_id,
             "  CPU Board > Temperatures > Sensor 2: %s -> %s (%s \u00b0C -> %s \u00b0C)"
             % (pick("Passed", "Alarm") + pick("43", "44")), "", "Results changed (2):"]
    lines += ["  %s: %s -> %s" % ((name,) + pick(before, after)) for name, before, after in RESULTS]
    lines += ["", "Measured values beyond 5% (1):",
              "  CPU Board > Temperatures > Sensor 1: %s \u00b0C -> %s \u00b0C (%s \u00b0C)"
              % (pick("47", "60") + ("+13" if forward else "-13",)),
              "", "Tests removed (1):" if forward else "Tests added (1):",
              "  CPU Board > Temperatures > Sensor 4: 36 \u00b0C"]
    return lines + ["", "6 differences."]


def table_rows(page):
    """The td texts of every table row of an HTML page."""
    rows = []
    for row in re.findall(r"<tr[^>]*>(.*?)</tr>", page, re.S):
        cells = re.findall(r"<td[^>]*>(.*?)</td>", row, re.S)
        if cells:
            rows.append([html.unescape(cell) for cell in cells])
    return rows


def read_text(path, encoding="utf-8"):
    with open(path, encoding=encoding, newline="") as f:
        return f.read()


class Diff(unittest.TestCase):
    maxDiff = None

    def test_two_scans_differ_in_exactly_the_changed_answers(self):
        base, changed = SCANS["base"], SCANS["changed"]
        before = digest(base, changed)
        with tempfile.TemporaryDirectory() as folder:
            page = os.path.join(folder, "diff.html")
            forward = kvreport("diff", win(base), win(changed), "--html", win(page))
            backward = kvreport("diff", win(changed), win(base))
            self.assertEqual((1, ""), (forward.returncode, forward.err))
            self.assertEqual(expected_diff(base, changed, True), forward.lines)
            self.assertEqual((1, expected_diff(changed, base, False)), (backward.returncode, backward.lines))
            rows = [row for row in table_rows(read_text(page)) if len(row) == 4]
        labels = [line[2:line.index(": ", 2)] for line in forward.lines if line.startswith("  ")]
        self.assertEqual(labels, [row[0] for row in rows])
        self.assertEqual(["Passed", "Failed"], rows[0][1:3])
        self.assertEqual(before, digest(base, changed))

    def test_a_report_does_not_differ_from_itself(self):
        run = kvreport("diff", win(SCANS["base"]), win(SCANS["base"]))
        self.assertEqual((0, "No differences."), (run.returncode, run.lines[-1]))

    def test_two_device_models(self):
        base, other = SCANS["base"], SCANS["other"]
        run = kvreport("diff", win(base), win(other))
        self.assertEqual(1, run.returncode)
        self.assertIn("  Device type: %s -> %s" % (header(base)["KvDeviceType"], header(other)["KvDeviceType"]),
                      run.lines)
        items = [line for line in run.lines if line.startswith("  ")]
        self.assertEqual("%d differences." % len(items), run.lines[-1])


def header_lines(computer="HMI-7"):
    return ['<?xml version="1.0" encoding="utf-16"?>', '<?xml-stylesheet type="text/xsl" href="r.xsl"?>',
            "<KvInspectraReport>", "\t<Header>", "\t\t<Version>Kavrol Inspectra V2.0</Version>",
            "\t\t<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>", "\t\t<Time>10:00:00</Time>",
            "\t\t<Date>1 Dec 2026</Date>", "\t\t<Author>tech</Author>",
            "\t\t<ComputerName>%s</ComputerName>" % computer, "\t</Header>"]


def odd_report(new):
    """Equal names in two categories and twice in one, escapes, a replaced forbidden
    character, a renamed test, a group in one report only."""
    number = iter(range(1, 100))
    lines = header_lines() + group_start(1, "Panel", None, "Factory A")
    lines += test_block("Serial number", next(number), "A-1") + category("Factory B")
    lines += test_block("Serial number", next(number), "B-2" if new else "B-1") + category("Texts <&>")
    lines += test_block('Quote "x" & <y>', next(number), 'a < b & "d"' if new else 'a < b & "c"')
    lines += test_block("Replaced", next(number), "bad \ufffd char" if new else "bad char")
    lines += test_block("Sensor", next(number), "41", "DegreeCentigrade")
    lines += test_block("Sensor", next(number), "80" if new else "42", "DegreeCentigrade", "Alarm" if new else "Passed")
    lines += test_block("Loudness" if new else "Volume", next(number), "5", "Dec") + group_end()
    lines += group_start(2, "New group" if new else "Old group") + test_block("Only", next(number), "x")
    return lines + group_end() + ["</KvInspectraReport>"]


class HandWritten(unittest.TestCase):
    maxDiff = None

    def test_odd_reports_compare_by_name_and_export_their_texts(self):
        with tempfile.TemporaryDirectory() as folder:
            old, new = os.path.join(folder, "old.xml"), os.path.join(folder, "new.xml")
            write_report(old, odd_report(False))
            write_report(new, odd_report(True))
            run = kvreport("diff", win(old), win(new))
            exported = kvreport("json", win(new))
        expected = ["Status changed (1):", "  Panel > Texts <&> > Sensor #2: Passed -> Alarm (42 \u00b0C -> 80 \u00b0C)",
                    "", "Results changed (3):", "  Panel > Factory B > Serial number: B-1 -> B-2",
                    '  Panel > Texts <&> > Quote "x" & <y>: a < b & "c" -> a < b & "d"',
                    "  Panel > Texts <&> > Replaced: bad char -> bad \ufffd char",
                    "", "Tests added (1):", "  Panel > Texts <&> > Loudness: 5",
                    "", "Tests removed (1):", "  Panel > Texts <&> > Volume: 5",
                    "", "Groups added (1):", "  New group: 1 test", "", "Groups removed (1):", "  Old group: 1 test",
                    "", "8 differences."]
        self.assertEqual((1, expected), (run.returncode, run.lines[3:]))
        texts = json.loads(exported.out)["groups"][0]["categories"][2]
        self.assertEqual("Texts <&>", texts["name"])
        self.assertEqual([('Quote "x" & <y>', 'a < b & "d"'), ("Replaced", "bad \ufffd char")],
                         [(t["name"], t["result"]) for t in texts["subcategories"][0]["tests"][:2]])


class Summary(unittest.TestCase):
    maxDiff = None

    def test_a_folder_of_reports_in_the_order_of_attention(self):
        with tempfile.TemporaryDirectory() as folder:
            fleet = os.path.join(folder, "fleet")
            os.mkdir(fleet)
            for name in ("base", "changed", "other"):
                shutil.copy(SCANS[name], os.path.join(fleet, name + ".xml"))
            shutil.copy(SCANS["base"][:-4] + ".xsl", fleet)
            write_report(os.path.join(fleet, "odd.xml"), odd_report(True))
            inputs = [os.path.join(fleet, name) for name in sorted(os.listdir(fleet))]
            before = digest(*inputs)
            table, page = os.path.join(folder, "s.csv"), os.path.join(folder, "s.html")
            run = kvreport("summary", win(fleet), "--csv", win(table), "--html", win(page))
            expected = sorted(summary_row(os.path.join(fleet, name + ".xml"), win(fleet) + "\\" + name + ".xml")
                              for name in ("base", "changed", "other", "odd"))
            with open(table, encoding="utf-8-sig", newline="") as f:
                rows = list(csv.reader(f))
            html_rows = table_rows(read_text(page))
            self.assertEqual(before, digest(*inputs))
        self.assertEqual((0, []), (run.returncode, run.err_lines))
        self.assertEqual(["Computer", "Device type", "Date", "Time", "Program version", "BIOS version", "Tests",
                          "Failed", "Alarms", "Hottest sensor", "\u00b0C", "Note", "File"], rows[0])
        self.assertEqual([row for _, row in expected], rows[1:])
        self.assertEqual(rows[1:], html_rows)
        self.assertEqual([row[-1] for _, row in expected], [re.split(r"\s{2,}", line)[-1] for line in run.lines[1:5]])
        attention = sum(1 for key, _ in expected if key[0] or key[1])
        self.assertEqual("4 reports, %d with failed tests or alarms." % attention, run.lines[-1])


class Json(unittest.TestCase):
    maxDiff = None

    def test_the_report_as_json_matches_the_report(self):
        base = SCANS["base"]
        with tempfile.TemporaryDirectory() as folder:
            target = os.path.join(folder, "report.json")
            shown = kvreport("json", win(base))
            written = kvreport("json", win(base), win(target))
            with open(target, "rb") as f:
                self.assertEqual(shown.out.encode("utf-8"), f.read())
        self.assertEqual((0, 0, ""), (shown.returncode, written.returncode, written.out))
        data = json.loads(shown.out)
        h = header(base)
        self.assertEqual([h[k] for k in ("Version", "KvDeviceType", "Time", "Date", "Author", "ComputerName")],
                         [data["header"][k] for k in ("version", "deviceType", "time", "date", "author",
                                                      "computerName")])
        exported = [(t["name"], t["number"], t["result"], t["format"], t["status"]) for g in data["groups"]
                    for c in g["categories"] for s in c["subcategories"] for t in s["tests"]]
        oracle = [(t.findtext("TestName"), int(t.findtext("TestNumber")), t.findtext("TestResult") or "",
                   t.find("TestResult").get("Format"), t.findtext("TestStatus")) for _, _, _, t in tests_of(base)]
        self.assertEqual(oracle, exported)
        self.assertEqual(len(oracle), data["counts"]["tests"])


class DamagedInputs(unittest.TestCase):
    maxDiff = None

    def test_damaged_inputs_are_refused_by_name_and_line_and_left_alone(self):
        good = SCANS["base"]
        lines = read_report_lines(good)
        with tempfile.TemporaryDirectory() as folder:
            path = lambda name: os.path.join(folder, name)  # noqa: E731
            whole = "\r\n".join(lines) + "\r\n"
            damaged = whole.replace("</GroupName>", "</GroupNam>", 1)
            files = {"damaged.xml": b"\xff\xfe" + damaged.encode("utf-16-le"),
                     "utf8.xml": whole.encode("utf-8"),
                     "page.xml": b"\xff\xfe" + '<?xml version="1.0" encoding="utf-16"?>\r\n<html>\r\n</html>\r\n'
                     .encode("utf-16-le"),
                     "empty.xml": b""}
            for name, data in files.items():
                with open(path(name), "wb") as f:
                    f.write(data)
            group_name = next(i for i, line in enumerate(lines) if line.startswith("\t\t<GroupName>")) + 1
            cases = [("damaged.xml", re.compile(r", line %d, column \d+: the XML is damaged: .+" % group_name)),
                     ("utf8.xml", ", line 1: the file is 8-bit or UTF-8 text without a byte-order mark; reports of "
                                  "Kavrol Inspectra are UTF-16 with a byte-order mark"),
                     ("page.xml", ", line 2: not a report of Kavrol Inspectra: its root element is <html>, not "
                                  "<KvInspectraReport>"),
                     ("empty.xml", ": the file is empty, not a report of Kavrol Inspectra"),
                     ("missing.xml", ": cannot be read: " + system_text(2))]
            before = digest(good, *[path(name) for name in files])
            listing = folder_listing(folder)
            for name, message in cases:
                with self.subTest(name):
                    run = kvreport("diff", win(path(name)), win(good))
                    self.assertEqual((2, []), (run.returncode, run.lines))
                    if isinstance(message, str):
                        self.assertEqual([win(path(name)) + message], run.err_lines)
                    else:
                        self.assertRegex(run.err_lines[0][len(win(path(name))):], message)
            damaged = win(path("damaged.xml"))
            others = [(["summary", damaged, "--csv", win(path("s.csv"))], ["KvReport: no report to summarise"]),
                      (["redact", damaged, win(path("r.xml"))], []),
                      (["json", damaged, win(path("j.json"))], []),
                      (["check", damaged], ["1 report, 0 findings."])]
            for args, more in others:
                with self.subTest(args[0]):
                    run = kvreport(*args)
                    self.assertEqual(2, run.returncode)
                    self.assertEqual(more, run.err_lines[1:] if args[0] != "check" else run.lines)
                    self.assertRegex(run.err_lines[0], re.escape(damaged) + r", line \d+, column \d+: the XML is damaged")
            self.assertEqual(listing, folder_listing(folder))
            self.assertEqual(before, digest(good, *[path(name) for name in files]))


if __name__ == "__main__":
    unittest.main()
