"""Both installers under Wine, in a fresh prefix: a silent install, a scan by the installed
64-bit program (with the simulated library placed beside it, as the maker's would be), an
upgrade by a higher version, a refused downgrade, and a silent removal that leaves no file,
folder, shortcut or uninstall entry behind. The 32-bit edition installs into Program Files
(x86) and the 32-bit registry view; its program is not run, the tests' Wine being 64-bit
only."""

import collections
import os
import shutil
import subprocess
import unittest

from package_checks import (BIN_DIRS, COMMIT, EPOCH, SOURCE_DIR, VERSION, WORK, files_of, packages,
                            uninstall_entries)
import make_packages  # noqa: E402 (found through package_checks' path)

WINE_WORK = os.path.join(WORK, "wine")
PREFIX = os.path.join(WINE_WORK, "wineprefix")  # where scripts/lib.sh makes it for BUILD_DIR=WINE_WORK
HOME = os.path.join(WINE_WORK, "home")
DRIVE_C = os.path.join(PREFIX, "drive_c")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"

# What each edition's installer must leave: its folder, registry view and product name.
Installed = collections.namedtuple("Installed", "edition program_files view product scans")
INSTALLED = {
    "x64": Installed(0, "Program Files", "/reg:64", "Kavrol Inspectra (64-bit)", True),
    "x86": Installed(1, "Program Files (x86)", "/reg:32", "Kavrol Inspectra (32-bit)", False),
}


def wine_env():
    env = {k: v for k, v in os.environ.items() if not k.startswith("KVIXA_") and k != "DISPLAY"}
    # No display: msiexec /qn shows nothing, and the scan with -f= neither. Wine's menu
    # builder would turn the Start-menu shortcut into an entry in the home folder.
    env.update(WINEPREFIX=PREFIX, WINEDEBUG="-all", WINEARCH="win64", HOME=HOME,
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d")
    return env


def wine(*args):
    return subprocess.run(["timeout", "300", "wine"] + list(args), env=wine_env(), capture_output=True, text=True,
                          stdin=subprocess.DEVNULL)


def windows_path(path):
    return "C:\\" + os.path.relpath(path, DRIVE_C).replace("/", "\\")


def setUpModule():
    packages()
    shutil.rmtree(WINE_WORK, ignore_errors=True)
    os.makedirs(HOME)
    subprocess.run(["bash", "-c", "source scripts/lib.sh && kv_ensure_prefix && kv_start_wineserver"],
                   cwd=SOURCE_DIR, env=dict(wine_env(), BUILD_DIR=WINE_WORK), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def tearDownModule():
    subprocess.run(["timeout", "30", "wineserver", "-k"], env=wine_env(), capture_output=True)


class InstallerUnderWineTest(unittest.TestCase):
    maxDiff = None

    def msiexec(self, action, msi):
        log = os.path.join(WINE_WORK, os.path.basename(msi) + action.replace("/", "-") + ".log")
        done = wine("msiexec", action, "Z:" + msi.replace("/", "\\"), "/qn", "/l*v", "Z:" + log.replace("/", "\\"))
        return done.returncode, log

    def assert_msiexec(self, action, msi):
        code, log = self.msiexec(action, msi)
        if code != 0 and os.path.exists(log):
            with open(log, encoding="utf-8", errors="replace") as f:
                self.fail("msiexec %s %s: %d\n%s" % (action, msi, code, f.read()[-3000:]))
        self.assertEqual(0, code, "msiexec %s %s" % (action, msi))

    def our_entries(self, installed):
        done = wine("reg", "query", UNINSTALL_KEY, "/s", installed.view)
        return [entry for entry in uninstall_entries(done.stdout).values()
                if entry.get("DisplayName", "").startswith("Kavrol Inspectra")]

    def assert_one_entry(self, installed, version):
        entries = self.our_entries(installed)
        self.assertEqual([(installed.product, version, "Kavrol",
                           "C:\\%s\\Kavrol Inspectra\\" % installed.program_files)],
                         [(e.get("DisplayName"), e.get("DisplayVersion"), e.get("Publisher"),
                           e.get("InstallLocation")) for e in entries])

    def shortcuts(self, installed):
        # Wine puts a per-machine shortcut into the user's Start menu: look everywhere.
        found = []
        for top in ("users", "ProgramData"):
            for root, _, names in os.walk(os.path.join(DRIVE_C, top)):
                found += [os.path.join(root, n) for n in names if n == installed.product + ".lnk"]
        return found

    def installed_files(self, install_dir):
        found = set()
        for root, _, names in os.walk(install_dir):
            found |= {os.path.relpath(os.path.join(root, n), install_dir).replace(os.sep, "/") for n in names}
        return found

    def newer_msi(self, name):
        """The same files as version 2.0.1: the next release."""
        folder = os.path.join(WINE_WORK, "newer")
        stage_dir = os.path.join(folder, name)
        staged = make_packages.stage(make_packages.program_files(SOURCE_DIR, BIN_DIRS[name]), stage_dir, EPOCH)
        shutil.copyfile(os.path.join(SOURCE_DIR, "resources", "KvInspectra.ico"),
                        os.path.join(folder, "KvInspectra.ico"))
        msi = os.path.join(folder, "KvInspectra-2.0.1-%s.msi" % name)
        make_packages.build_msi(make_packages.EDITIONS[INSTALLED[name].edition], stage_dir, staged, msi, "2.0.1.0",
                                COMMIT, EPOCH)
        return msi

    def scan_with_installed_program(self, install_dir):
        library = os.path.join(install_dir, "KvIxa.dll")
        shutil.copyfile(os.path.join(BIN_DIRS["x64"], "KvIxa.dll"), library)
        reports = os.path.join(DRIVE_C, "reports")
        os.makedirs(reports)
        report = os.path.join(reports, "scan.xml")
        try:
            wine(windows_path(os.path.join(install_dir, "KvInspectra.exe")), "-f=" + windows_path(report))
            self.assertTrue(os.path.exists(report), "the installed program wrote no report")
            done = subprocess.run(["xmllint", "--noout", "--schema",
                                   os.path.join(install_dir, "KvInspectraReport.xsd"), report],
                                  capture_output=True, text=True)
            self.assertEqual(0, done.returncode, done.stderr)
            with open(report, "rb") as f:
                text = f.read().decode("utf-16")
            self.assertIn("Kavrol Corvabox C90", text)
            self.assertTrue(text.endswith("</KvInspectraReport>\r\n"))
        finally:
            os.remove(library)
            shutil.rmtree(reports)

    def check_install_upgrade_refused_downgrade_and_clean_removal(self, name):
        installed = INSTALLED[name]
        install_dir = os.path.join(DRIVE_C, installed.program_files, "Kavrol Inspectra")
        program = "KvInspectra-%s-%s" % (VERSION, name)
        dist = packages()
        first = os.path.join(dist, program + ".msi")
        self.assertEqual([], self.our_entries(installed))

        self.assert_msiexec("/i", first)
        self.assertEqual(files_of(os.path.join(dist, program + ".zip")), self.installed_files(install_dir))
        with open(os.path.join(install_dir, "KvInspectra.exe"), "rb") as f, \
                open(os.path.join(BIN_DIRS[name], "KvInspectra.exe"), "rb") as built:
            self.assertEqual(built.read(), f.read())
        self.assert_one_entry(installed, VERSION)
        self.assertEqual(1, len(self.shortcuts(installed)))
        with open(self.shortcuts(installed)[0], "rb") as f:
            self.assertIn(("C:\\%s\\Kavrol Inspectra\\KvInspectra.exe" % installed.program_files).encode(),
                          f.read())
        if installed.scans:
            self.scan_with_installed_program(install_dir)

        newer = self.newer_msi(name)
        self.assert_msiexec("/i", newer)
        self.assert_one_entry(installed, "2.0.1")
        self.assertEqual(1, len(self.shortcuts(installed)))

        code, _ = self.msiexec("/i", first)
        # ERROR_INSTALL_FAILURE (1603) reaches Linux as its low byte.
        self.assertEqual(1603 % 256, code, "installing the older version over the newer one must fail")
        self.assert_one_entry(installed, "2.0.1")
        self.assertIn("KvInspectra.exe", self.installed_files(install_dir))

        self.assert_msiexec("/x", newer)
        self.assertFalse(os.path.exists(install_dir), sorted(self.installed_files(install_dir)))
        self.assertEqual([], self.shortcuts(installed))
        self.assertEqual([], self.our_entries(installed))
        self.assertNotEqual(0, wine("reg", "query", r"HKLM\Software\Kavrol", installed.view).returncode)

    def test_x64_install_scan_upgrade_refused_downgrade_and_clean_removal(self):
        self.check_install_upgrade_refused_downgrade_and_clean_removal("x64")

    def test_x86_install_upgrade_refused_downgrade_and_clean_removal(self):
        self.check_install_upgrade_refused_downgrade_and_clean_removal("x86")


if __name__ == "__main__":
    unittest.main()
