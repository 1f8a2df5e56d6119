"""The report schema constrains what it claims: a small valid report passes, each
variant that breaks one rule of the format is rejected."""
import os
import subprocess
import sys
import tempfile
import unittest

SOURCE_DIR = os.environ.get("KV_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
SCHEMA = os.path.join(SOURCE_DIR, "resources", "KvInspectraReport.xsd")

T = "\t"
TEST = [T * 6 + "<Test>", T * 7 + "<TestName>Version</TestName>", T * 7 + "<TestDescription>DescrUndef</TestDescription>",
        T * 7 + "<TestNumber>1</TestNumber>", T * 7 + '<TestResult Format="String">V1.21</TestResult>',
        T * 7 + "<TestStatus>Passed</TestStatus>", T * 6 + "</Test>"]
REPORT = "\r\n".join(
    ['<?xml version="1.0" encoding="utf-16"?>', '<?xml-stylesheet type="text/xsl" href="r.xsl"?>',
     "<KvInspectraReport>", T + "<Header>", T * 2 + "<Version>Kavrol Inspectra V2.0</Version>",
     T * 2 + "<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>", T * 2 + "<Time>09:05:00</Time>",
     T * 2 + "<Date>8 Dec 2026</Date>", T * 2 + "<Author>service</Author>",
     T * 2 + "<ComputerName>PC42</ComputerName>", T + "</Header>",
     T + "<TestGroup>", T * 2 + "<GroupNumber>1</GroupNumber>", T * 2 + "<GroupName>BIOS</GroupName>",
     T * 7 + "<GroupDescription>DescrUndef</GroupDescription>", T * 2 + "<Category>",
     T * 3 + "<CategoryName>CatUndef</CategoryName>", T * 4 + "<SubCategory>",
     T * 5 + "<SubCategoryName>CatUndef</SubCategoryName>"] + TEST +
    [T * 3 + "</SubCategory>", T * 2 + "</Category>", T * 2 + "<Category>",
     T * 3 + "<CategoryName>Empty</CategoryName>", T * 2 + "</Category>", T + "</TestGroup>",
     "</KvInspectraReport>", ""])

# One rule broken per row: (what, text replaced, replacement).
INVALID = [
    ("unknown Format word", 'Format="String"', 'Format="Celsius"'),
    ("no Format attribute", ' Format="String"', ""),
    ("unknown status", "<TestStatus>Passed</TestStatus>", "<TestStatus>OK</TestStatus>"),
    ("result without status", T * 7 + "<TestStatus>Passed</TestStatus>\r\n", ""),
    ("non-numeric TestNumber", "<TestNumber>1</TestNumber>", "<TestNumber>x1</TestNumber>"),
    ("TestNumber 0", "<TestNumber>1</TestNumber>", "<TestNumber>0</TestNumber>"),
    ("missing GroupNumber", T * 2 + "<GroupNumber>1</GroupNumber>\r\n", ""),
    ("non-numeric GroupNumber", "<GroupNumber>1</GroupNumber>", "<GroupNumber>one</GroupNumber>"),
    ("Test outside a category", T * 2 + "<Category>\r\n" + T * 3 + "<CategoryName>CatUndef",
     "\r\n".join(TEST) + "\r\n" + T * 2 + "<Category>\r\n" + T * 3 + "<CategoryName>CatUndef"),
    ("a number used twice", T + "</TestGroup>",
     T * 2 + "<Category>\r\n" + T * 3 + "<CategoryName>Again</CategoryName>\r\n" + "\r\n".join(TEST) + "\r\n"
     + T * 2 + "</Category>\r\n" + T + "</TestGroup>"),
    ("header without computer name", T * 2 + "<ComputerName>PC42</ComputerName>\r\n", ""),
    ("group without category", REPORT[REPORT.index(T * 2 + "<Category>"):REPORT.index(T + "</TestGroup>")], ""),
    ("unknown element", "<TestName>Version</TestName>", "<TestName>Version</TestName><Remark/>"),
    ("a date that is none", "<Date>8 Dec 2026</Date>", "<Date>yesterday</Date>"),
    ("a date in another form", "<Date>8 Dec 2026</Date>", "<Date>2026-12-08</Date>"),
    ("a time without seconds", "<Time>09:05:00</Time>", "<Time>09:05</Time>"),
    ("an hour beyond 23", "<Time>09:05:00</Time>", "<Time>24:05:00</Time>"),
    ("another program", "<Version>Kavrol Inspectra V2.0</Version>", "<Version>Inspectra 2</Version>"),
    ("a device type that is no model", "<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>",
     "<KvDeviceType>C90</KvDeviceType>"),
]

# What the program and KvReport also write: every form of the header the schema allows.
VALID = [
    ("a redacted report", "<Version>Kavrol Inspectra V2.0</Version>",
     "<Version>Kavrol Inspectra V2.0 (redacted)</Version>"),
    ("a program without its version resource", "<Version>Kavrol Inspectra V2.0</Version>",
     "<Version>Kavrol Inspectra</Version>"),
    ("a device type that cannot be read", "<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>",
     "<KvDeviceType>Unknown</KvDeviceType>"),
    ("a device type this version does not know", "<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>",
     "<KvDeviceType>Not supported</KvDeviceType>"),
    ("a month out of range", "<Date>8 Dec 2026</Date>", "<Date>31 Unknown 2026</Date>"),
    ("the last second of a day", "<Time>09:05:00</Time>", "<Time>23:59:59</Time>"),
]


def validate(text):
    with tempfile.NamedTemporaryFile(suffix=".xml", delete=False) as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    try:
        return subprocess.run(["xmllint", "--noout", "--schema", SCHEMA, f.name], capture_output=True).returncode
    finally:
        os.remove(f.name)


class Schema(unittest.TestCase):

    def test_a_report_as_the_program_writes_it_is_valid(self):
        self.assertEqual(0, validate(REPORT))
        # A test whose result could not be written, and a group without any test.
        self.assertEqual(0, validate(REPORT.replace("\r\n".join(TEST[4:6]) + "\r\n", "")))

    def test_every_form_of_the_header_is_valid(self):
        for what, old, new in VALID:
            with self.subTest(what):
                self.assertIn(old, REPORT)
                self.assertEqual(0, validate(REPORT.replace(old, new, 1)))

    def test_each_broken_rule_is_rejected(self):
        for what, old, new in INVALID:
            with self.subTest(what):
                self.assertIn(old, REPORT)
                self.assertNotEqual(0, validate(REPORT.replace(old, new, 1)))


if __name__ == "__main__":
    sys.exit(unittest.main())
