"""Random faulty devices: every scan ends, and its report is sound and holds its groups.

The seeds are fixed; scripts/fuzz-scan runs thousands more and replays one by seed.
"""

import os

import fault_scan
from kvtest import ScanTestCase, read_report_lines
from test_cpu import with_answers

SEEDS = range(1, 41)


class FaultInjectionTest(ScanTestCase):

    def test_random_faulty_devices_leave_sound_reports(self):
        kept = os.path.join(os.environ.get("KV_BUILD_DIR", "."), "fault-scan")
        failures = fault_scan.run_seeds(SEEDS, timeout=60, keep=kept)
        self.assertEqual({}, failures, "profile, report and trace in %s/seed-SEED" % kept)

    def test_the_check_finds_a_report_cut_short_and_groups_out_of_place(self):
        scan = self.scan("corvabox-c90.json")
        self.assertEqual([], fault_scan.check_report(scan.report, 18, "B"))
        # The same report read as one of a module-family device and of one without a device type.
        self.assertIn("groups missing: Voltages", fault_scan.check_report(scan.report, 18, "A"))
        gated = sorted(fault_scan.GATED & set(scan.groups()))
        self.assertIn("BIOS", gated)
        self.assertIn("groups that must not be there: " + ", ".join(gated), fault_scan.check_report(scan.report, 0, "B"))
        # Stopped before the last group's end tag.
        cut = os.path.join(scan.folder, "cut.xml")
        with open(cut, "wb") as f:
            f.write(b"\xff\xfe" + "".join(line + "\r\n" for line in scan.lines[:-2]).encode("utf-16-le"))
        problems = fault_scan.check_report(cut, 18, "B")
        self.assertEqual("report does not end with the root end tag but with '\\t\\t</Category>'", problems[0])
        self.assertTrue(problems[1].startswith("report is not valid: "), problems)
        # Stopped inside the root end tag.
        with open(cut, "wb") as f:
            f.write(b"\xff\xfe" + "".join(line + "\r\n" for line in scan.lines).encode("utf-16-le")[:-8])
        self.assertEqual(["report holds no whole element from '</KvInspectraRepor' on"],
                         fault_scan.check_report(cut, 18, "B"))

    def test_a_device_type_call_that_fails_after_writing_counts_as_no_device_in_every_gate(self):
        # The CPU group asks the gate twice: the value the failed call left must not pass the second time.
        scan = self.scan(with_answers("corvabox-c20.json", IxaGetDeviceType={"u32": 6, "return": 0}))
        self.assertEqual([], fault_scan.check_report(scan.report, 0, "B"))
        self.assertEqual([], scan.calls("IxaGetVoltage"))
        self.assertEqual(["IxaGetDeviceType() = 0 [0]"], sorted(set(scan.calls("IxaGetDeviceType"))))

    def test_a_scan_that_does_not_end_counts_as_a_hang_and_leaves_whole_lines(self):
        scanner = fault_scan.Scanner(timeout=5)
        folder = scanner.folder("default")
        # The BIOS version read never ends: the report stops in the BIOS group.
        stuck = {"base": "builtin", "IxaGetFirmwareStringW": {"21": {"wstr": "V1.21", "delayMs": 60000}}}
        try:
            self.assertEqual(["hang: no end within 5 s"], scanner.scan(folder, stuck, None, "default"))
            lines = read_report_lines(os.path.join(folder, "report.xml"))
            self.assertEqual(["\t\t<GroupName>BIOS</GroupName>"], [line for line in lines if "GroupName>B" in line])
            self.assertEqual(["\t\t\t\t\t\t<Test>", "\t\t\t\t\t\t\t<TestName>Version</TestName>",
                              "\t\t\t\t\t\t\t<TestDescription>DescrUndef</TestDescription>"], lines[-4:-1])
        finally:
            scanner.close()
