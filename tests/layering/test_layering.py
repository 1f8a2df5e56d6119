"""Which folder may include which: app -> groups -> report, device; report -> device;
device -> nothing of ours but kvixa; sim -> nothing of the program; kvixa (the
library's entry points, shared by device and sim) -> nothing; tools -> report, device.
Kept by the test suite, not by memory."""
import os
import re
import sys
import tempfile
import unittest

ROOT = os.environ.get("KV_SOURCE_DIR") or os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))

# Folder -> folders its sources may include from (resources/ holds the resource ids).
ALLOWED = {
    "app": {"app", "groups", "report", "device", "resources"},
    "groups": {"groups", "report", "device", "resources"},
    "report": {"report", "device", "resources"},
    "device": {"device", "resources", "kvixa"},
    "sim": {"sim", "profiles", "kvixa"},
    "kvixa": {"kvixa"},
    "tools": {"tools", "report", "device", "resources", "kvixa"},
}
SOURCE = re.compile(r"\.(c|cc|cpp|h|hpp|rc)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def resolve(root, source, name):
    """The repository folder an include lands in, searched as the build does:
    beside the source, then the repository root, then resources/."""
    for base in (os.path.dirname(source), root, os.path.join(root, "resources")):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.exists(candidate):
            return os.path.relpath(candidate, root).split(os.sep)[0]
    return name.split("/")[0] if "/" in name else None


def violations(root):
    found = []
    for layer, allowed in ALLOWED.items():
        for folder, _, files in os.walk(os.path.join(root, layer)):
            for file in sorted(f for f in files if SOURCE.search(f)):
                path = os.path.join(folder, file)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for name in INCLUDE.findall(text):
                    target = resolve(root, path, name)
                    if target in ALLOWED and target not in allowed:
                        found.append(f"{os.path.relpath(path, root)} includes {name}")
    return found


class Layering(unittest.TestCase):
    def test_every_include_runs_down_the_layers(self):
        self.assertEqual([], violations(ROOT))

    def test_a_planted_include_is_found(self):
        cases = [("groups/host/planted.cpp", '#include "app/startup.h"'),
                 ("report/planted.cpp", '#include "groups/group_base.h"'),
                 ("device/planted.h", '#include "report/xml_writer.h"'),
                 ("device/planted.cpp", '#include "../app/scan_context.h"'),
                 ("sim/planted.cpp", '#include "device/device_interface.h"'),
                 ("tools/planted.cpp", '#include "app/startup.h"'),
                 ("kvixa/planted.h", '#include "device/device_interface.h"')]
        for path, line in cases:
            with self.subTest(path=path), tempfile.TemporaryDirectory() as root:
                for layer in ALLOWED:
                    os.makedirs(os.path.join(root, layer, "host"))
                for target in ("app/startup.h", "app/scan_context.h", "groups/group_base.h",
                               "report/xml_writer.h", "device/device_interface.h"):
                    open(os.path.join(root, target), "w").close()
                with open(os.path.join(root, path), "w") as f:
                    f.write(line + "\n")
                self.assertEqual([f"{path} includes {line.split(chr(34))[1]}"], violations(root))


if __name__ == "__main__":
    sys.exit(unittest.main())
