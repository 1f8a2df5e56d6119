"""Helpers for the tests of KvReport.exe: running it, writing reports, and reading
reports with Python's own XML parser as an oracle independent of the tool's."""

import hashlib
import os
import subprocess
import tempfile
import xml.etree.ElementTree as ET

from kvtest import BIN_DIR, read_report_lines, wine_env

KVREPORT = os.path.join(BIN_DIR, "KvReport.exe")


class Run:
    def __init__(self, returncode, out, err):
        self.returncode = returncode
        self.out = out
        self.err = err
        self.lines = out.split("\r\n")[:-1] if out else []
        self.err_lines = err.split("\r\n")[:-1] if err else []


def kvreport(*args):
    """Runs KvReport.exe with redirected output (UTF-8); files, not pipes, as for the scans."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(["timeout", "60", "wine", KVREPORT] + list(args), env=wine_env(),
                              stdin=subprocess.DEVNULL, stdout=out, stderr=err).returncode
        out.seek(0)
        err.seek(0)
        return Run(code, out.read().decode("utf-8"), err.read().decode("utf-8"))


def write_report(path, lines):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "".join(line + "\r\n" for line in lines).encode("utf-16-le"))


def replace_group(lines, source, name):
    """lines with the TestGroup name taken from source: host figures that move between scans."""
    start = lines.index("\t\t<GroupName>%s</GroupName>" % name) - 2
    end = lines.index("\t</TestGroup>", start)
    first = source.index("\t\t<GroupName>%s</GroupName>" % name) - 2
    last = source.index("\t</TestGroup>", first)
    return lines[:start] + source[first:last + 1] + lines[end + 1:]


def replace_result(lines, test_name, value, occurrence=0):
    """lines with the result of the occurrence-th test of that name set to value."""
    hits = [i for i, line in enumerate(lines) if line == "\t" * 7 + "<TestName>%s</TestName>" % test_name]
    at = hits[occurrence] + 3
    head = lines[at][:lines[at].index(">") + 1]
    return lines[:at] + [head + value + "</TestResult>"] + lines[at + 1:]


def digest(*paths):
    result = []
    for path in paths:
        with open(path, "rb") as f:
            result.append(hashlib.sha256(f.read()).hexdigest())
    return result


def folder_listing(folder):
    return sorted(os.listdir(folder))


def one_line(text):
    return " ".join(text.split())


def tests_of(path):
    """(group, category, subcategory or None, test element) for every test, by ElementTree."""
    root = ET.parse(path).getroot()
    for group in root.findall("TestGroup"):
        for category in group.findall("Category"):
            for test in category.findall("Test"):
                yield group, category, None, test
            for sub in category.findall("SubCategory"):
                for test in sub.findall("Test"):
                    yield group, category, sub, test


def label(group, category, sub, test):
    parts = [group.findtext("GroupName"), category.findtext("CategoryName"),
             sub.findtext("SubCategoryName") if sub is not None else "CatUndef", test.findtext("TestName")]
    return " > ".join(part for part in parts if part != "CatUndef")


def header(path):
    return {child.tag: child.text or "" for child in ET.parse(path).getroot().find("Header")}


def summary_row(path, shown_path):
    """The summary's CSV row of a report, worked out independently."""
    head = header(path)
    tests = list(tests_of(path))
    statuses = [t.findtext("TestStatus") for _, _, _, t in tests]
    bios = next((t.findtext("TestResult") for g, _, _, t in tests
                 if g.findtext("GroupName") == "BIOS" and t.findtext("TestName") == "Version"), "")
    hottest = None
    for g, c, s, t in tests:
        if t.find("TestResult").get("Format") != "DegreeCentigrade":
            continue
        try:
            value = float(t.findtext("TestResult"))
        except ValueError:
            continue
        if hottest is None or value > hottest[0]:
            hottest = (value, label(g, c, s, t), one_line(t.findtext("TestResult")))
    failed, alarms = statuses.count("Failed"), statuses.count("Alarm")
    row = [head["ComputerName"], head["KvDeviceType"], head["Date"], head["Time"], head["Version"], one_line(bios),
           str(len(tests)), str(failed), str(alarms), hottest[1] if hottest else "", hottest[2] if hottest else "",
           "", shown_path]
    key = (-alarms, -failed, hottest is None, -(hottest[0] if hottest else 0), shown_path)
    return key, row


__all__ = ["KVREPORT", "Run", "kvreport", "write_report", "replace_group", "replace_result", "digest",
           "folder_listing", "one_line", "tests_of", "label", "header", "summary_row", "read_report_lines"]
