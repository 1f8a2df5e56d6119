"""KvReport redact over real scans, and every command over reports of stopped scans.

The private device holds private values in their own fields, in other texts, in a path,
in the names the program gives its reports and in raw dumps (factory blocks, the UPS
battery settings with the battery's serial, the display data with the monitor's serial),
and its report files are named as the program names them. Redacted as a file and as a
folder, no output holds any of them in any encoding: searched here in each file's bytes
as 8-bit and UTF-16 text at either byte position, in the hexadecimal digits of dumps,
as binary numbers, and in the file names. The common device has values that identify
nothing or are common words: redacted, every text but its own fields stays as it was."""

import csv
import json
import os
import re
import shutil
import tempfile
import unittest

from kvreport_tool import digest, header, kvreport, read_report_lines, replace_result, tests_of, write_report
from kvtest import ScanTestCase, check_written_reports, load_profile, to_windows

SCANS = {}
_scanner = None

COMPUTER, AUTHOR, OWNER, ORGANIZATION = "HMI-LINE4-07", "j.doe", "Jane Doe", "Acme Plant 4"
USER_INFORMATION = "Station %s of %s, C:\\Users\\%s\\KvInspectra%s_2.xml" % (COMPUTER, OWNER, AUTHOR, COMPUTER)
USER_INFORMATION_REDACTED = "Station Computer-1 of Owner-1, C:\\Users\\User-1\\KvInspectraComputer-1_2.xml"
# Held only inside raw dumps, beside no serial number test.
BATTERY_SERIAL, MONITOR_SERIAL = "E9B20180911", "Z19K20417"
USER_SERIAL_ID = "00C90017h"


def private_profile(system_serial="E9C50172913"):
    profile = load_profile("corvabox-c90.json")
    profile["IxaGetKeyCfgStringW"]["2"] = {"wstr": USER_INFORMATION}
    profile["IxaGetFactoryStringW"]["13"] = {"wstr": system_serial}
    return profile


def common_profile():
    profile = load_profile("corvabox-c90.json")
    profile["IxaGetUserSerialId"] = {"u32": 0}
    return profile


def with_header(lines, author, computer, owner=None, organization=None):
    """A scan's lines as a site's device would have written them (the prefix has its own names)."""
    lines = ["\t\t<Author>%s</Author>" % author if line.startswith("\t\t<Author>") else
             "\t\t<ComputerName>%s</ComputerName>" % computer if line.startswith("\t\t<ComputerName>") else line
             for line in lines]
    for name, value in (("Registered owner", owner), ("Registered organization", organization)):
        if value:
            lines = replace_result(lines, name, value)
    return lines


def setUpModule():
    global _scanner
    _scanner = ScanTestCase()
    _scanner.setUp()
    private = _scanner.scan(private_profile())
    second = _scanner.scan(private_profile("E9C50172999"))
    common = _scanner.scan(common_profile())
    assert private.lines and second.lines and common.lines, "a scan wrote no report"
    SCANS.update(private=with_header(private.lines, AUTHOR, COMPUTER, OWNER, ORGANIZATION),
                 second=with_header(second.lines, AUTHOR, COMPUTER, OWNER, ORGANIZATION),
                 common=with_header(common.lines, "operator", "PANEL"))


def tearDownModule():
    _scanner.tearDown()
    check_written_reports()


def win(path):
    return to_windows(path)


def private_values(lines):
    """What redact must take out of the private device's report: its own fields, the serial
    numbers it shows and those only its raw dumps hold."""
    return {COMPUTER, AUTHOR, OWNER, ORGANIZATION, USER_SERIAL_ID, BATTERY_SERIAL, MONITOR_SERIAL} | serials(lines)


def serials(lines):
    """The serial numbers a report shows in its serial number tests."""
    found = set()
    for i, line in enumerate(lines):
        if line == "\t" * 7 + "<TestName>Serial number</TestName>" and lines[i + 4].endswith(">Passed</TestStatus>"):
            value = lines[i + 3][lines[i + 3].index(">") + 1:lines[i + 3].rindex("<")]
            found |= {value} if value not in ("", "N/A") else set()
    return found


def hex_forms(value):
    """A value as the hexadecimal digits of a dump would show it: its ASCII and UTF-16
    bytes, and a number's bytes in either order."""
    forms = [value.encode("ascii").hex().upper(), value.encode("utf-16-le").hex().upper()]
    digits = value[:-1] if value.endswith("h") else value
    if re.fullmatch(r"[0-9A-F]{8}", digits):
        forms += [digits, bytes.fromhex(digits)[::-1].hex().upper()]
    return forms


def leaks(folder, values):
    """Every (value, file) where a value stands in a file of folder or its name, in any encoding."""
    found = []
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        views = [data.decode("latin-1"), data.decode("utf-8", "replace"), data.decode("utf-16-le", "replace"),
                 data[1:].decode("utf-16-le", "replace")]
        digits = re.sub(r"[^0-9A-F]", "", "".join(views[1:3]).upper())
        for value in values:
            in_text = any(value.lower() in view.lower() for view in views + [name])
            if in_text or any(form in digits for form in hex_forms(value)):
                found.append((value, name))
    return found


def outputs_of(run):
    """input -> output of each report redact wrote, from its lines."""
    return dict(re.match(r"(.*) -> (.*): \d+ values? replaced", line).groups() for line in run.lines)


class Redaction(unittest.TestCase):
    maxDiff = None

    def test_a_report_and_a_folder_keep_no_private_value_in_any_output(self):
        with tempfile.TemporaryDirectory() as folder:
            source, single, fleet = (os.path.join(folder, name) for name in ("in", "single", "fleet"))
            os.mkdir(source)
            os.mkdir(single)
            names = ["KvInspectra%s.xml" % COMPUTER, "KvInspectra%s_1.xml" % COMPUTER]
            for name, lines in zip(names, (SCANS["private"], SCANS["second"])):
                write_report(os.path.join(source, name), lines)
            before = digest(*(os.path.join(source, name) for name in names))
            one = kvreport("redact", win(os.path.join(source, names[0])), win(os.path.join(single, "case.xml")))
            many = kvreport("redact", win(source), win(fleet))
            self.assertEqual((0, ""), (one.returncode, one.err))
            self.assertEqual((0, ""), (many.returncode, many.err))
            self.assertEqual(["case.html", "case.xml", "case.xsl"], sorted(os.listdir(single)))
            self.assertEqual({win(os.path.join(source, names[0])): win(os.path.join(fleet, "Computer-1.xml")),
                              win(os.path.join(source, names[1])): win(os.path.join(fleet, "Computer-1_1.xml"))},
                             outputs_of(many))
            self.assertEqual(["Computer-1%s.%s" % (n, e) for n in ("", "_1") for e in ("html", "xml", "xsl")],
                             sorted(os.listdir(fleet)))
            values = private_values(SCANS["private"]) | private_values(SCANS["second"])
            self.assertEqual([], leaks(single, values) + leaks(fleet, values))
            self.assertEqual(before, digest(*(os.path.join(source, name) for name in names)))
            redacted = os.path.join(fleet, "Computer-1.xml")
            self.assertEqual('<?xml-stylesheet type="text/xsl" href="Computer-1.xsl"?>', read_report_lines(redacted)[1])
            self.assertEqual(("User-1", "Computer-1"), (header(redacted)["Author"], header(redacted)["ComputerName"]))
            with open(os.path.join(fleet, "Computer-1.html"), encoding="utf-8") as f:
                page = f.read()
            self.assertIn("Computer-1", page)
            self.assertIn(USER_INFORMATION_REDACTED, page.replace("&amp;", "&"))
            compared = kvreport("diff", win(redacted), win(os.path.join(fleet, "Computer-1_1.xml")))
            self.assertRegex("\n".join(compared.lines),
                             "\n  System Unit > Factory Settings > Serial number: Serial-1 -> Serial-\\d+\n")
            self.check_results(source, names[0], redacted)

    def check_results(self, source, name, redacted):
        """Test by test: placeholders in the private fields and for every dump, the user
        information with its values replaced, every other result as it was."""
        placeholders = {"Serial number": r"Serial-\d+", "Registered owner": "Owner-1",
                        "Registered organization": "Organization-1"}
        for (g, c, s, t), (_, _, _, t2) in zip(tests_of(os.path.join(source, name)), tests_of(redacted)):
            original, result = t.findtext("TestResult") or "", t2.findtext("TestResult") or ""
            test, fmt = t.findtext("TestName"), t.find("TestResult").get("Format")
            with self.subTest(test=test, number=t.findtext("TestNumber")):
                if fmt == "Raw" and original:
                    self.assertEqual(("String", True), (t2.find("TestResult").get("Format"),
                                                        bool(re.fullmatch(r"RawData-\d+", result))))
                elif test in placeholders and original not in ("", "N/A") and t.findtext("TestStatus") != "Failed":
                    self.assertRegex(result, "^%s$" % placeholders[test])
                elif original == USER_SERIAL_ID:
                    self.assertEqual("UserSerialID-1", result)
                elif original == USER_INFORMATION:
                    self.assertEqual(USER_INFORMATION_REDACTED, result)
                else:
                    self.assertEqual(original, result)

    def test_values_that_identify_nothing_and_common_words_stay(self):
        with tempfile.TemporaryDirectory() as folder:
            source, target = os.path.join(folder, "KvInspectraPANEL.xml"), os.path.join(folder, "out")
            write_report(source, SCANS["common"])
            os.mkdir(target)
            run = kvreport("redact", win(source), win(target))
            self.assertEqual((0, ""), (run.returncode, run.err))
            redacted = os.path.join(target, "Computer-1.xml")
            original = list(tests_of(source))
            shown = serials(SCANS["common"])
            for (_, _, _, t), (_, _, _, t2) in zip(original, tests_of(redacted)):
                before, after = t.findtext("TestResult") or "", t2.findtext("TestResult") or ""
                raw = t.find("TestResult").get("Format") == "Raw" and before
                serial = t.findtext("TestName") == "Serial number" and before in shown
                with self.subTest(test=t.findtext("TestName"), number=t.findtext("TestNumber")):
                    self.assertEqual("RawData" if raw else "Serial" if serial else before,
                                     re.sub(r"-\d+$", "", after) if raw or serial else after)
            results = [t.findtext("TestResult") for _, _, _, t in original]
            for kept in ("Monitor/Panel", "Line 4 operator station", "00000000h"):
                self.assertIn(kept, results)
            self.assertEqual(("User-1", "Computer-1"), (header(redacted)["Author"], header(redacted)["ComputerName"]))

    def test_with_keep_raw_only_dumps_holding_a_private_value_go(self):
        with tempfile.TemporaryDirectory() as folder:
            source, target = os.path.join(folder, "in.xml"), os.path.join(folder, "out.xml")
            write_report(source, SCANS["private"])
            run = kvreport("redact", win(source), win(target), "--keep", "raw")
            self.assertEqual((0, ""), (run.returncode, run.err))
            known = private_values(SCANS["private"]) - {BATTERY_SERIAL, MONITOR_SERIAL}
            kept = []
            for (g, c, s, t), (_, _, _, t2) in zip(tests_of(source), tests_of(target)):
                dump = t.findtext("TestResult") or ""
                if t.find("TestResult").get("Format") != "Raw" or not dump:
                    continue
                data = bytes.fromhex("".join(line for line in dump.split("\n") if not line.startswith("(")))
                holds = [v for v in known if v.lower().encode() in data.lower() or
                         v.lower().encode("utf-16-le") in data.lower() or
                         any(bytes.fromhex(form) in data for form in hex_forms(v)[2:])]
                with self.subTest(group=g.findtext("GroupName"), test=t.findtext("TestName")):
                    self.assertEqual(bool(holds), t2.findtext("TestResult") != dump, holds)
                if not holds:
                    kept.append(dump)
            # The battery's and the monitor's serials are shown nowhere else: only a dump shows them.
            self.assertTrue(any(BATTERY_SERIAL.encode().hex().upper() in "".join(d.split()) for d in kept))
            self.assertTrue(any(MONITOR_SERIAL.encode().hex().upper() in "".join(d.split()) for d in kept))

    def test_a_redaction_that_cannot_prove_itself_clean_writes_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            source, target = os.path.join(folder, "in.xml"), os.path.join(folder, "out")
            write_report(source, SCANS["private"])
            os.mkdir(target)
            named = os.path.join(target, "%s.xml" % COMPUTER)
            refused = kvreport("redact", win(source), win(named))
            self.assertEqual(2, refused.returncode)
            self.assertEqual(["%s: the redaction is not clean, so nothing is written; still there:" % win(named),
                              '  "%s" (computer name) in the file name %s.xml' % (COMPUTER, COMPUTER),
                              '  "%s" (computer name) in the file name %s.xsl' % (COMPUTER, COMPUTER),
                              '  "%s" (computer name) in the file name %s.html' % (COMPUTER, COMPUTER)],
                             refused.err_lines)
            self.assertEqual([], os.listdir(target))
            unchecked = kvreport("redact", win(source), win(named), "--no-verify")
            self.assertEqual(0, unchecked.returncode)
            self.assertEqual(["%s.%s" % (COMPUTER, e) for e in ("html", "xml", "xsl")], sorted(os.listdir(target)))


def cuts(lines):
    """A report cut where a scan may stop: (name, bytes, the group it stopped in or None)."""
    whole = "".join(line + "\r\n" for line in lines).encode("utf-16-le")
    starts = [i for i, line in enumerate(lines) if line == "\t<TestGroup>"]

    def at_line(count):
        return b"\xff\xfe" + "".join(line + "\r\n" for line in lines[:count]).encode("utf-16-le")

    def stopped(count):
        group = max([i for i in starts if i < count], default=None)
        if group is None:
            return "incomplete: stopped before the first group"
        number = lines[group + 1][len("\t\t<GroupNumber>"):-len("</GroupNumber>")]
        name = lines[group + 2][len("\t\t<GroupName>"):-len("</GroupName>")]
        return "incomplete: stopped in group %s, %s" % (number, name)

    result = [("group-%02d.xml" % n, at_line(end + 1), stopped(end + 1))
              for n, end in enumerate(i for i, line in enumerate(lines) if line == "\t</TestGroup>")]
    middle = starts[len(starts) // 2] + 12
    raw = next(i for i, line in enumerate(lines) if line.endswith('<TestResult Format="Raw">'))
    half = len(at_line(middle)) + 2 * (len(lines[middle]) // 2)
    result += [("mid-element.xml", at_line(middle) + lines[middle][:len(lines[middle]) // 2].encode("utf-16-le"),
                stopped(middle)),
               ("mid-character.xml", (b"\xff\xfe" + whole)[:half + 1], stopped(middle)),
               ("in-raw-dump.xml", at_line(raw + 3), stopped(raw)),
               ("in-header.xml", at_line(8), stopped(8)),
               ("declaration.xml", at_line(1), stopped(1)),
               ("root.xml", at_line(3), stopped(3))]
    return result


def skeleton(lines):
    """Each element line as its indentation and first tag, a dump's lines as one: what redact
    keeps of a report's structure."""
    return [re.match(r"\t*<[^ >]*", line).group() for line in lines if line[:1] in ("\t", "<")]


class StoppedScans(unittest.TestCase):
    maxDiff = None

    def test_every_command_reads_a_report_cut_after_any_line_and_says_where_it_stopped(self):
        lines = SCANS["private"]
        with tempfile.TemporaryDirectory() as folder:
            stopped, out = os.path.join(folder, "stopped"), os.path.join(folder, "out")
            os.mkdir(stopped)
            expected = {}
            for name, data, where in cuts(lines):
                with open(os.path.join(stopped, name), "wb") as f:
                    f.write(data)
                expected[win(os.path.join(stopped, name))] = where
            checked = kvreport("check", win(stopped))
            summary = kvreport("summary", win(stopped), "--csv", win(os.path.join(folder, "s.csv")))
            redacted = kvreport("redact", win(stopped), win(out))
            for run in (checked, summary, redacted):
                self.assertEqual((0, ""), (run.returncode, run.err))
            self.assertEqual(sorted("%s: %s" % item for item in expected.items()),
                             sorted(line for line in checked.lines if ": incomplete: " in line))
            with open(os.path.join(folder, "s.csv"), encoding="utf-8-sig", newline="") as f:
                rows = list(csv.reader(f))
            note, path = rows[0].index("Note"), rows[0].index("File")
            self.assertEqual(expected, {row[path]: row[note] for row in rows[1:]})
            written = outputs_of(redacted)
            self.assertEqual(sorted(expected), sorted(written))
            for name, data, where in cuts(lines):
                with self.subTest(cut=name):
                    text = data[2:len(data) - len(data) % 2].decode("utf-16-le")
                    kept = text[:text.rfind("\r\n") + 2].split("\r\n")[:-1]
                    if name == "in-raw-dump.xml":
                        kept = kept[:-3]  # the dump's result goes with its part lines
                    output = os.path.join(out, os.path.basename(written[win(os.path.join(stopped, name))]
                                                                .replace("\\", "/")))
                    result = read_report_lines(output)
                    self.assertEqual(skeleton(kept if len(kept) > 1 else kept + [lines[1]]), skeleton(result))
                    self.assertTrue(os.path.getsize(output[:-4] + ".html") > 0)
            for name in ("group-03.xml", "mid-character.xml"):
                path = win(os.path.join(stopped, name))
                exported = kvreport("json", path)
                compared = kvreport("diff", path, path)
                self.assertEqual((0, expected[path]), (exported.returncode,
                                                       json.loads(exported.out)["incomplete"]["text"]))
                self.assertEqual((0, "Old: %s" % path), (compared.returncode, compared.lines[0][:len(path) + 5]))
                self.assertTrue(compared.lines[0].endswith(" (%s)" % expected[path]), compared.lines[0])

    def test_a_file_with_nothing_of_a_report_is_told_in_words(self):
        with tempfile.TemporaryDirectory() as folder:
            files = {"bom.xml": (b"\xff\xfe", ": the file holds only the byte-order mark: the scan stopped before "
                                              "it wrote its first line"),
                     "part.xml": (b"\xff\xfe" + "<?xml vers".encode("utf-16-le"),
                                  ": the file ends inside its first line: the scan stopped before it wrote a whole "
                                  "line, or it is no report"),
                     "empty.xml": (b"", ": the file is empty, not a report of Kavrol Inspectra")}
            for name, (data, _) in files.items():
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(data)
            for name, (_, message) in files.items():
                path = win(os.path.join(folder, name))
                for args in (["check", path], ["json", path], ["diff", path, path],
                             ["redact", path, win(os.path.join(folder, "out.xml"))]):
                    with self.subTest(file=name, command=args[0]):
                        run = kvreport(*args)
                        self.assertEqual((2, [path + message]), (run.returncode, run.err_lines))
            self.assertEqual(sorted(files), sorted(os.listdir(folder)))


if __name__ == "__main__":
    unittest.main()
