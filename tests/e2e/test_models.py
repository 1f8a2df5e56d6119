"""Every shipped device model: one scan of its profile, a well-formed report holding exactly the groups that
model's device type and fitted modules call for, in the order of its test sequence."""

import json
import os
import re
import unittest

from kvtest import PROFILES_DIR, ScanTestCase

# Every device of the sequence without module entry points shows these, whatever is fitted.
B = ("Operating System", "Kavrol Drivers and Tools", "BIOS", "General", "System Unit", "CPU Board", "CPU", "Memory",
     "Operating controls")
# The fixed part of the module sequence; the PC modules and then the panel modules follow it.
A = ("Operating System", "Kavrol Drivers and Tools", "BIOS", "CPU", "Memory", "Fan settings", "UPS",
     "Operating controls", "General", "Voltages", "DVI")

# Profile, model name in the header, groups in report order. The Roamdeck R96 (roamdeck-r96.json) is refused by
# this edition before a report is opened; test_edition32.py checks its groups through the R96 test build.
MODELS = [
    ("corvabox-c20.json", "Kavrol Corvabox C20", B + ("UPS", "Panels", "DVI")),
    ("panevox-p30.json", "Kavrol Panevox P30", B + ("UPS", "Panels", "DVI")),
    ("corvabox-c40.json", "Kavrol Corvabox C40", B + ("UPS", "Panels", "DVI")),
    ("panevox-p50.json", "Kavrol Panevox P50", B + ("UPS", "Panels", "DVI")),
    ("corvabox-c60.json", "Kavrol Corvabox C60", B + ("UPS", "Panels", "DVI")),
    ("voltadeck-v70.json", "Kavrol Voltadeck V70", B + ("IF Boards", "I/O Board", "UPS", "Panels", "DVI")),
    ("corvabox-c80.json", "Kavrol Corvabox C80", B + ("IF Boards", "I/O Board", "UPS", "Panels", "DVI")),
    ("corvabox-c81.json", "Kavrol Corvabox C81", B + ("IF Boards", "I/O Board", "UPS", "Panels", "DVI")),
    ("corvabox-c90.json", "Kavrol Corvabox C90", B + ("Bus Unit", "Slide-In Drives", "Fan Kits", "IF Boards", "UPS",
                                                      "Display Link", "Panels", "DVI")),
    ("panevox-p91.json", "Kavrol Panevox P91", B + ("Bus Unit", "Slide-In Drives", "Fan Kits", "IF Boards", "UPS",
                                                    "Panels", "DVI")),
    ("corvabox-c92.json", "Kavrol Corvabox C92", B + ("Fan Kits", "IF Boards", "UPS", "Display Link", "Panels",
                                                      "DVI")),
    ("panevox-p93.json", "Kavrol Panevox P93", B + ("Fan Kits", "IF Boards", "UPS", "Panels")),
    ("corvabox-c94.json", "Kavrol Corvabox C94", A + ("System Unit", "Bus unit", "Memory Module 1", "Fan Kit (System)",
                                                      "CPU Board", "Panel 0", "Panel Link 0", "HDBaseT 0", "Panel 1",
                                                      "Panel Link 1")),
    ("panevox-p95.json", "Kavrol Panevox P95", A + ("System Unit", "Panel (local)", "Module 14", "Panel 1",
                                                    "Panel Link 1", "Panel 2", "Panel Link 2", "HDBaseT 2",
                                                    "Panel 15")),
]
# Shipped profiles that are no device model of their own.
NOT_MODELS = {"no-device.json", "roamdeck-r96.json"}


def numbers(lines, element):
    pattern = re.compile(r"\t*<%s>(\d+)</%s>$" % (element, element))
    return [int(m.group(1)) for m in map(pattern.match, lines) if m]


class ModelsTest(ScanTestCase):

    def test_every_model_profile_is_in_the_table_once(self):
        shipped = sorted(f for f in os.listdir(PROFILES_DIR) if f.endswith(".json"))
        variants = [f for f in shipped if "base" in json.load(open(os.path.join(PROFILES_DIR, f), encoding="utf-8"))]
        self.assertEqual(sorted(set(shipped) - set(variants) - NOT_MODELS), sorted(p for p, _, _ in MODELS))

    def test_every_model_scans_into_a_well_formed_report_with_exactly_its_groups(self):
        for profile, model, groups in MODELS:
            with self.subTest(profile=profile):
                scan = self.scan(profile=profile)  # the schema check of every scan is the well-formedness check
                self.assertEqual(("", 0), (scan.stderr, scan.returncode))
                self.assertIn("\t\t<KvDeviceType>%s</KvDeviceType>" % model, scan.lines)
                self.assertEqual(list(groups), scan.groups())
                self.assertEqual(list(range(1, len(groups) + 1)), numbers(scan.lines, "GroupNumber"))
                tests = numbers(scan.lines, "TestNumber")
                self.assertEqual(list(range(1, len(tests) + 1)), tests)
                self.assertEqual("</KvInspectraReport>", scan.lines[-1])


if __name__ == "__main__":
    unittest.main()
