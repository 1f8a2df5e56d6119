"""A whole automatic scan: header, operating system group, sequences, refusals."""

import datetime
import os
import re
import shutil
import subprocess
import unittest

from kvtest import (DRIVE_C, TAB, ScanTestCase, category, group_end, group_start, reg, report_problem, system_text,
                    test_block, to_windows)

CURRENT_VERSION = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion"
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]


def reg_value(key, name):
    out = subprocess.run(["timeout", "60", "wine", "reg", "query", key, "/v", name], capture_output=True,
                         text=True, errors="replace").stdout
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0] == name:
            return parts[2] if len(parts) == 3 else ""
    return None


class RegistryValues:
    """Sets REG_SZ values of the version key for one test and restores them."""

    def __init__(self, **values):
        self.values = values
        self.saved = {}

    def __enter__(self):
        for name, value in self.values.items():
            self.saved[name] = reg_value(CURRENT_VERSION, name)
            if value is None:
                reg("delete", CURRENT_VERSION, "/v", name, "/f")
            else:
                reg("add", CURRENT_VERSION, "/v", name, "/t", "REG_SZ", "/d", value, "/f")
        return self

    def __exit__(self, *exc):
        for name, old in self.saved.items():
            if old is None:
                reg("delete", CURRENT_VERSION, "/v", name, "/f")
            else:
                reg("add", CURRENT_VERSION, "/v", name, "/t", "REG_SZ", "/d", old, "/f")


class WerRuntimeIni:
    """Puts WERUNTIME.INI on the prefix's system drive for one test."""

    def __init__(self, content):
        self.content = content
        self.path = os.path.join(DRIVE_C, "WERUNTIME.INI")

    def __enter__(self):
        with open(self.path, "wb") as f:
            f.write(self.content)
        return self

    def __exit__(self, *exc):
        os.remove(self.path)


def os_group(number, first_test, product="Microsoft Windows 10", build=None, organization="Org",
             owner="Owner", wer_tests=(), admin="Yes"):
    lines = group_start(number, "Operating System",
                        "Contains tests of several operating system specific items like product ID, user privileges "
                        "or version numbers.", "Version")
    n = first_test
    lines += test_block("Operating system", n, product)
    n += 1
    if build is not None:
        lines += test_block("Build number", n, build)
        n += 1
    lines += category("Registration Details")
    lines += test_block("Registered organization", n, organization)
    lines += test_block("Registered owner", n + 1, owner)
    n += 2
    if wer_tests:
        lines += category("WERUNTIME.INI")
        for name, value in wer_tests:
            lines += test_block(name, n, value)
            n += 1
    lines += category("User Account")
    lines += test_block("Administrator privileges", n, admin, "YesNo",
                        description="Checks if the user account has administrator privileges.")
    return lines + group_end()


class HeaderTest(ScanTestCase):

    def test_header_lines_name_version_model_time_date_user_and_computer(self):
        before = datetime.datetime.now()
        scan = self.scan()
        after = datetime.datetime.now()
        lines = scan.lines
        self.assertEqual(['<?xml version="1.0" encoding="utf-16"?>',
                          '<?xml-stylesheet type="text/xsl" href="report.xsl"?>',
                          "<KvInspectraReport>", TAB + "<Header>",
                          TAB * 2 + "<Version>Kavrol Inspectra V2.0</Version>",
                          TAB * 2 + "<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>"], lines[:6])
        time = re.fullmatch(TAB * 2 + r"<Time>(\d\d):(\d\d):(\d\d)</Time>", lines[6])
        self.assertIsNotNone(time, lines[6])
        dates = {"%d %s %d" % (d.day, MONTHS[d.month - 1], d.year) for d in (before, after)}
        self.assertIn(lines[7], {TAB * 2 + "<Date>%s</Date>" % d for d in dates})
        self.assertEqual(TAB * 2 + "<Author>%s</Author>" % os.environ.get("USER", "root"), lines[8])
        self.assertRegex(lines[9], "^" + TAB * 2 + r"<ComputerName>[^<]+</ComputerName>$")
        self.assertEqual(TAB + "</Header>", lines[10])
        self.assertEqual("</KvInspectraReport>", lines[-1])

    def test_stylesheet_is_written_beside_the_report_byte_for_byte(self):
        scan = self.scan(report_name="my.report.xml")
        with open(os.path.join(scan.folder, "my.report.xsl"), "rb") as f:
            written = f.read()
        with open(os.path.join(os.environ["KV_SOURCE_DIR"], "resources", "KvInspectra.xsl"), "rb") as f:
            self.assertEqual(f.read(), written)
        self.assertTrue(written.startswith(b"\xef\xbb\xbf"))
        self.assertEqual('<?xml-stylesheet type="text/xsl" href="my.report.xsl"?>', scan.lines[1])

    def test_report_without_extension_gets_stylesheet_with_xsl_appended(self):
        folder = self.make_folder()
        os.makedirs(os.path.join(folder, "my.dir"))
        report = os.path.join(folder, "my.dir", "report")
        scan = self.scan(folder=folder, args=["-f=" + to_windows(report)], report_name="my.dir/report",
                         expect_report=True)
        self.assertTrue(os.path.exists(os.path.join(folder, "my.dir", "report.xsl")))
        self.assertEqual('<?xml-stylesheet type="text/xsl" href="report.xsl"?>', scan.lines[1])

    def test_every_report_is_well_formed_and_renders(self):
        profiles = sorted(f for f in os.listdir(os.path.join(os.environ["KV_SOURCE_DIR"], "profiles"))
                          if f.endswith(".json") and f != "roamdeck-r96.json")  # refused, see below
        cases = [(None, "default"), (None, "legacy"), (None, None)] + [(p, "default") for p in profiles]
        for profile, library in cases:
            with self.subTest(profile=profile, library=library):
                scan = self.scan(profile=profile, library=library)
                report = scan.report
                subprocess.run(["xmllint", "--noout", report], check=True)
                html = subprocess.run(["xsltproc", report.replace(".xml", ".xsl"), report], check=True,
                                      capture_output=True).stdout
                self.assertIn(b"Operating System", html)


class OperatingSystemGroupTest(ScanTestCase):

    def test_group_from_registry_values(self):
        with RegistryValues(ProductName="Windows 10 Pro", BuildLabEx="19041.1.amd64fre.vb_release.191206-1406",
                            RegisteredOrganization="Kavrol & Co <Service>", RegisteredOwner="Tech \"One\""):
            scan = self.scan(library=None)
        self.assertLines(os_group(1, 1, product="Windows 10 Pro", build="19041.1.amd64fre.vb_release.191206-1406",
                                  organization="Kavrol & Co <Service>", owner="Tech \"One\""), scan.group("Operating System"))

    def test_missing_or_mistyped_values(self):
        with RegistryValues(ProductName=None, BuildLabEx=None, RegisteredOrganization=None, RegisteredOwner=""):
            reg("add", CURRENT_VERSION, "/v", "RegisteredOrganization", "/t", "REG_DWORD", "/d", "5", "/f")
            try:
                scan = self.scan(library=None)
            finally:
                reg("delete", CURRENT_VERSION, "/v", "RegisteredOrganization", "/f")
        expected = os_group(1, 1, organization=system_text(0), owner="")
        expected[expected.index(TAB * 7 + '<TestResult Format="String">Microsoft Windows 10</TestResult>')] = \
            TAB * 7 + '<TestResult Format="String">Unknown Microsoft operating system</TestResult>'
        # The product name test fails; the organization shows the text of the query's code 0.
        status = expected.index(TAB * 7 + '<TestResult Format="String">Unknown Microsoft operating system</TestResult>') + 1
        expected[status] = TAB * 7 + "<TestStatus>Failed</TestStatus>"
        org = expected.index(TAB * 7 + '<TestResult Format="String">%s</TestResult>' % system_text(0)) + 1
        expected[org] = TAB * 7 + "<TestStatus>Failed</TestStatus>"
        self.assertLines(expected, scan.group("Operating System"))

    def test_missing_registration_value_shows_the_query_error(self):
        with RegistryValues(RegisteredOwner=None, RegisteredOrganization="Org", ProductName="Windows 10 Pro"):
            scan = self.scan(library=None)
        group = scan.group("Operating System")
        owner = group.index(TAB * 7 + "<TestName>Registered owner</TestName>")
        self.assertEqual([TAB * 7 + '<TestResult Format="String">%s</TestResult>' % system_text(2),
                          TAB * 7 + "<TestStatus>Failed</TestStatus>"], group[owner + 3:owner + 5])

    def test_weruntime_ini_lines_become_tests(self):
        content = (b"[Section]\r\n\r\nKey = Value\r\n=starts with equals\r\nends with equals=\r\n"
                   b"a=b=c\r\nno equals sign\r\nLatin\xe9=caf\xe9\nbell\x07=x\n")
        with RegistryValues(ProductName="Windows 10 Pro", RegisteredOrganization="Org", RegisteredOwner="Owner"), \
                WerRuntimeIni(content):
            scan = self.scan(library=None)
        expected = os_group(1, 1, product="Windows 10 Pro", wer_tests=[
            ("Key ", " Value"), ("", "starts with equals"), ("ends with equals", ""), ("a", "b=c"),
            ("Latin\u00e9", "caf\u00e9"), ("bell\ufffd", "x")])
        self.assertLines(expected, scan.group("Operating System"))

    def test_without_weruntime_ini_the_category_is_absent(self):
        self.assertFalse(os.path.exists(os.path.join(DRIVE_C, "WERUNTIME.INI")))
        with RegistryValues(ProductName="Windows 10 Pro", RegisteredOrganization="Org", RegisteredOwner="Owner"):
            scan = self.scan(library=None)
        self.assertLines(os_group(1, 1, product="Windows 10 Pro"), scan.group("Operating System"))


class SequenceTest(ScanTestCase):

    # Without a device type every group behind the device-type gate stays out.
    UNGATED_GROUPS = ["Operating System", "CPU", "Memory"]

    def test_without_library_only_the_groups_without_gate_are_written(self):
        scan = self.scan(library=None)
        self.assertEqual(TAB * 2 + "<KvDeviceType>Unknown</KvDeviceType>", scan.lines[5])
        self.assertEqual(self.UNGATED_GROUPS, scan.groups())
        self.assertEqual([], scan.trace)

    def test_default_library_without_module_functions_runs_sequence_b(self):
        scan = self.scan()
        self.assertEqual(["IxaGetModuleTemperatureValue(0, 0, 0, 4) = 0 [1]"],
                         scan.calls("IxaGetModuleTemperatureValue")[:1])
        self.assertEqual("Operating System", scan.groups()[0])

    def test_legacy_library_runs_sequence_b_without_probing(self):
        scan = self.scan(library="legacy")
        self.assertEqual([], scan.calls("IxaGetModuleTemperatureValue"))
        self.assertEqual(TAB * 2 + "<KvDeviceType>Kavrol Corvabox C90</KvDeviceType>", scan.lines[5])

    def test_any_other_probe_error_chooses_sequence_a(self):
        scan = self.scan(profile={"IxaGetDeviceType": {"u32": 21},
                                  "IxaGetModuleTemperatureValue": {"default": {"error": 87}}})
        probe = scan.calls("IxaGetModuleTemperatureValue")
        self.assertEqual("IxaGetModuleTemperatureValue(0, 0, 0, 4) = 0 [87]", probe[0])
        self.assertEqual(TAB * 2 + "<KvDeviceType>Kavrol Panevox P93</KvDeviceType>", scan.lines[5])

    def test_unknown_device_type_is_not_supported(self):
        scan = self.scan(profile={"IxaGetDeviceType": {"u32": 99}})
        self.assertEqual(TAB * 2 + "<KvDeviceType>Not supported</KvDeviceType>", scan.lines[5])

    def test_library_reporting_no_device_type_gives_unknown(self):
        scan = self.scan(profile={"IxaGetDeviceType": {"error": 87}})
        self.assertEqual(TAB * 2 + "<KvDeviceType>Unknown</KvDeviceType>", scan.lines[5])
        self.assertEqual(self.UNGATED_GROUPS, scan.groups())

    def test_broken_profile_reports_no_device(self):
        folder = self.make_folder()
        with open(os.path.join(folder, "broken.json"), "w") as f:
            f.write('{"IxaGetDeviceType": {"u32": 18},,}')
        scan = self.scan(folder=folder, env={"KVIXA_PROFILE": to_windows(os.path.join(folder, "broken.json"))})
        self.assertEqual(TAB * 2 + "<KvDeviceType>Unknown</KvDeviceType>", scan.lines[5])
        self.assertEqual(self.UNGATED_GROUPS, scan.groups())


class RefusalAndArgumentsTest(ScanTestCase):

    def test_device_type_22_is_refused_before_the_command_line_is_read(self):
        for profile, args in (("roamdeck-r96.json", None), ({"IxaGetDeviceType": {"u32": 22}}, ["-x"])):
            with self.subTest(args=args):
                scan = self.scan(profile=profile, args=args, answers=["Return"])
                self.assertEqual({"caption": "KvInspectra",
                                  "text": "This version of Kavrol Inspectra can't be executed on R96 devices.\n\r"
                                          "Use the 32-bit version of Kavrol Inspectra instead.",
                                  "buttons": ["OK"]},
                                 {k: v for k, v in scan.boxes[0].items() if k != "hwnd"})
                self.assertEqual([], [f for f in os.listdir(scan.folder) if f.endswith((".xml", ".xsl"))])

    def test_bad_arguments_show_the_usage_text_and_write_nothing(self):
        for argument in ("-x", "-O", "report.xml", "/F=C:\\r.xml"):
            with self.subTest(argument=argument):
                scan = self.scan(args=[argument], answers=["Return"])
                box = scan.boxes[0]
                self.assertEqual("Kavrol Inspectra", box["caption"])
                self.assertTrue(box["text"].startswith("This program analyzes your device and creates a report file."))
                self.assertTrue(box["text"].endswith("viewing the data in a webbrowser.\r\n"))
                self.assertEqual(["OK"], box["buttons"])
                self.assertEqual([], [f for f in os.listdir(scan.folder) if f.endswith((".xml", ".xsl"))])

    def test_argument_forms_name_the_report(self):
        folder = self.make_folder()
        cases = [
            (["/f=" + to_windows(os.path.join(folder, "slash.xml"))], "slash.xml"),
            (["f=" + to_windows(os.path.join(folder, "bare.xml")), "o"], "bare.xml"),
            (["-of=" + to_windows(os.path.join(folder, "of.xml"))], "of.xml"),
            (["-f=" + to_windows(os.path.join(folder, "first.xml")), "-f=" + to_windows(os.path.join(folder, "later.xml"))],
             "later.xml"),
            (["-f=" + to_windows(os.path.join(folder, "with space", "My Report.xml"))], "with space/My Report.xml"),
        ]
        os.makedirs(os.path.join(folder, "with space"))
        for args, written in cases:
            with self.subTest(args=args):
                self.scan(folder=folder, args=args, report_name=written, expect_report=True)
        self.assertFalse(os.path.exists(os.path.join(folder, "first.xml")))

    def test_report_path_too_long_for_its_field_is_refused(self):
        folder = self.make_folder()
        deep = os.path.join(folder, *["d" * 50] * 4)  # a current folder whose full name takes about 230 characters
        os.makedirs(deep)
        # (current folder, -f= text): a name too long itself, and a short relative name whose full name is too long
        cases = [(folder, to_windows(folder) + "\\" + "r" * (260 - len(to_windows(folder))) + ".xml"),
                 (deep, "r" * (265 - len(to_windows(deep))) + ".xml")]
        for cwd, name in cases:
            with self.subTest(name=name):
                scan = self.scan(folder=folder, cwd=cwd, args=["-f=" + name], answers=["Return"])
                self.assertEqual("Kavrol Inspectra", scan.boxes[0]["caption"])
                self.assertEqual(system_text(206), scan.boxes[0]["text"])
                self.assertEqual([], [f for _, _, files in os.walk(folder) for f in files
                                      if f.endswith((".xml", ".xsl"))])

    def test_report_that_cannot_be_created_shows_the_system_text(self):
        folder = self.make_folder()
        missing = to_windows(os.path.join(folder, "no such folder", "r.xml"))
        scan = self.scan(folder=folder, args=["-f=" + missing], answers=["Return"])
        self.assertEqual("Kavrol Inspectra", scan.boxes[0]["caption"])
        self.assertEqual(system_text(82), scan.boxes[0]["text"])


class ExistingReportTest(ScanTestCase):

    def existing(self):
        folder = self.make_folder()
        for name, content in (("report.xml", b"old report"), ("report.xsl", b"old stylesheet")):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(content)
        return folder

    def read(self, folder, name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    def test_answer_no_leaves_both_files_untouched(self):
        folder = self.existing()
        path = to_windows(os.path.join(folder, "report.xml"))
        scan = self.scan(folder=folder, args=["-f=" + path], answers=["n"])
        self.assertEqual({"caption": "Kavrol Inspectra",
                          "text": "The report file %s already exists. Overwrite this file?" % path,
                          "buttons": ["&Yes", "&No"]},
                         {k: v for k, v in scan.boxes[0].items() if k != "hwnd"})
        self.assertEqual(b"old report", self.read(folder, "report.xml"))
        self.assertEqual(b"old stylesheet", self.read(folder, "report.xsl"))

    def test_answer_yes_replaces_report_and_stylesheet(self):
        folder = self.existing()
        scan = self.scan(folder=folder, args=["-f=" + to_windows(os.path.join(folder, "report.xml"))], answers=["y"],
                         expect_report=True)
        self.assertEqual("Kavrol Inspectra", scan.boxes[0]["caption"])
        self.assertEqual("</KvInspectraReport>", scan.lines[-1])
        self.assertTrue(self.read(folder, "report.xsl").startswith(b"\xef\xbb\xbf"))

    def test_overwrite_option_replaces_without_asking(self):
        folder = self.existing()
        scan = self.scan(folder=folder)
        self.assertEqual([], scan.boxes)
        self.assertEqual("</KvInspectraReport>", scan.lines[-1])

    def test_only_an_existing_stylesheet_is_replaced_without_asking(self):
        folder = self.make_folder()
        with open(os.path.join(folder, "report.xsl"), "wb") as f:
            f.write(b"old stylesheet")
        scan = self.scan(folder=folder, args=["-f=" + to_windows(os.path.join(folder, "report.xml"))],
                         expect_report=True)
        self.assertEqual("</KvInspectraReport>", scan.lines[-1])
        self.assertTrue(self.read(folder, "report.xsl").startswith(b"\xef\xbb\xbf"))


class ImportsTest(ScanTestCase):

    SYSTEM_DLLS = {"ADVAPI32.dll", "COMCTL32.dll", "COMDLG32.dll", "GDI32.dll", "KERNEL32.dll", "msvcrt.dll",
                   "ole32.dll", "OLEAUT32.dll", "SHELL32.dll", "SHLWAPI.dll", "USER32.dll", "VERSION.dll"}

    def imports(self, path):
        out = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", path], capture_output=True, text=True,
                             check=True).stdout
        return {line.split("DLL Name:")[1].strip() for line in out.splitlines() if "DLL Name:" in line}

    def test_exe_and_library_import_system_dlls_only(self):
        bin_dir = os.environ["KV_BIN_DIR"]
        for name in ("KvInspectra.exe", "KvIxa.dll", os.path.join("legacy", "KvIxa.dll")):
            with self.subTest(name=name):
                dlls = self.imports(os.path.join(bin_dir, name))
                self.assertIn("KERNEL32.dll", dlls)
                # DLL names ignore case (the import library of comdlg32 spells it in lower case).
                self.assertLessEqual({d.upper() for d in dlls}, {d.upper() for d in self.SYSTEM_DLLS})


class DllPlantingTest(ScanTestCase):

    def test_library_in_the_current_directory_is_never_loaded(self):
        exe_folder = self.make_folder()
        planted = self.make_folder()
        shutil.copy(os.path.join(os.environ["KV_BIN_DIR"], "KvIxa.dll"), planted)
        report = os.path.join(exe_folder, "report.xml")
        scan = self.scan(folder=exe_folder, library=None, cwd=planted, args=["-f=" + to_windows(report)],
                         expect_report=True)
        self.assertEqual(TAB * 2 + "<KvDeviceType>Unknown</KvDeviceType>", scan.lines[5])
        self.assertEqual([], scan.trace)


class IncompleteReportTest(ScanTestCase):
    """A scan that leaves no complete report fails the test at once and says why."""

    # (file content, None for no file; what the harness says about it)
    REPORTS = [
        (None, "the scan left no report"),
        (b"", "the report has no UTF-16 LE byte-order mark (0 bytes: b'')"),
        ("<?xml".encode("utf-8"), "the report has no UTF-16 LE byte-order mark (5 bytes: b'<?xml')"),
        (b"\xff\xfe" + "<KvInspectraReport>\r\n\t<Header>\r\n".encode("utf-16-le"),
         "the report does not end with the root end tag (66 bytes, last line '\\t<Header>')"),
        (b"\xff\xfe" + "<KvInspectraReport>\r\n</KvInspectraReport>".encode("utf-16-le"),
         "the report does not end with the root end tag (84 bytes, last line '</KvInspectraReport>')"),
        (b"\xff\xfe" + "<KvInspectraReport>\r\n</KvInspectraReport>\r\n".encode("utf-16-le"), None),
    ]

    def test_missing_report_missing_byte_order_mark_and_missing_end_tag_are_named(self):
        folder = self.make_folder()
        for number, (content, problem) in enumerate(self.REPORTS):
            with self.subTest(content=content):
                path = os.path.join(folder, "report%d.xml" % number)
                if content is not None:
                    with open(path, "wb") as f:
                        f.write(content)
                self.assertEqual(problem, report_problem(path))

    def test_scan_without_report_fails_with_exit_code_standard_error_and_trace_end(self):
        # A profile the simulated library refuses (one line to standard error and the
        # trace), and an argument that only shows the usage text: no report.
        folder = self.make_folder()
        with open(os.path.join(folder, "broken.json"), "w") as f:
            f.write("{")
        with self.assertRaises(AssertionError) as failed:
            self.scan(folder=folder, args=["-x"], answers=["Return"], expect_report=True,
                      env={"KVIXA_PROFILE": to_windows(os.path.join(folder, "broken.json"))})
        with open(os.path.join(folder, "trace.txt"), encoding="utf-8") as f:
            trace = f.read().splitlines()
        self.assertEqual(2, len(trace))
        self.assertTrue(trace[0].startswith("KvIxa: profile "), trace[0])
        self.assertEqual(["the scan left no report", "exit code: 0", "standard error:", trace[0],
                          "last 2 lines of the trace:"] + trace, str(failed.exception).splitlines())


if __name__ == "__main__":
    unittest.main()
