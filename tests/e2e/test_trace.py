"""The simulated library's trace when several processes write one file at the same time."""

import collections
import os
import re
import subprocess
import unittest

from kvtest import ScanTestCase, to_windows, wine_env

CALL = re.compile(r'^Ixa\w+\((("[^"]*"|null)(, )?)?(-?\d+(, )?)*\) = -?\d+ \[\d+\]$')
UPLOAD_FILE = re.compile(r'(?<=IxaUploadFileW\(")[^"]*')


def calls(lines):
    """The trace lines with the exchange file's name left out (it differs from run to run)."""
    return collections.Counter(UPLOAD_FILE.sub("", line) for line in lines)


class SharedTraceTest(ScanTestCase):

    def test_two_scans_at_once_write_every_call_of_both_as_whole_lines(self):
        alone = self.scan(profile="corvabox-c94.json")
        shared = os.path.join(self.make_folder(), "shared.txt")
        runs = []
        for _ in range(2):
            folder = self.make_folder()
            exe = self.install(folder)
            env = wine_env({"KVIXA_PROFILE": to_windows(os.path.join(os.environ["KV_SOURCE_DIR"], "profiles",
                                                                     "corvabox-c94.json")),
                            "KVIXA_TRACE": to_windows(shared)})
            runs.append(subprocess.Popen(["timeout", "120", "wine", exe, "-o", "-f=" + to_windows(
                os.path.join(folder, "report.xml"))], env=env, cwd=folder, stdin=subprocess.DEVNULL,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.assertEqual([0, 0], [run.wait() for run in runs])
        with open(shared, encoding="utf-8") as f:
            text = f.read()
        self.assertTrue(text.endswith("\n"))
        lines = text[:-1].split("\n")
        self.assertEqual([], [line for line in lines if not CALL.match(line)])
        self.assertGreater(len(alone.trace), 400)
        self.assertEqual(calls(alone.trace + alone.trace), calls(lines))


if __name__ == "__main__":
    unittest.main()
