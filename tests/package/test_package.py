"""The release packages (packaging/make_packages.py, which scripts/package runs after its
clean build), made here from the suite's own build: what each package holds, the
installers' tables, the same bytes from the same input and signing; test_installer runs
both installers under Wine."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from package_checks import (BIN_DIRS, BUILD_DIR, COMMIT, DIST, EPOCH, LINKED_COMPONENTS, LINKED_LIBRARIES,
                            SOURCE_DIR, VERSION, WORK, files_of, link_map_libraries, make, msi_summary, msi_table,
                            packages, version_strings)
from pe_image import PeImage

TREES = {"x64": BUILD_DIR, "x86": os.path.join(BUILD_DIR, "win32")}

PROGRAM_FILES = ["KvInspectra.exe", "KvReport.exe", "KvInspectraReport.xsd", "README.txt", "THIRD-PARTY-NOTICES.txt",
                 "docs/REPORT-FORMAT.md", "licenses/GCC.txt", "licenses/GPL-3.txt", "licenses/MinGW-w64.txt"]
MODEL_PROFILES = ["corvabox-c20", "corvabox-c40", "corvabox-c60", "corvabox-c80", "corvabox-c81", "corvabox-c90",
                  "corvabox-c92", "corvabox-c94", "panevox-p30", "panevox-p50", "panevox-p91", "panevox-p93",
                  "panevox-p95", "roamdeck-r96", "voltadeck-v70"]
TRAINING_FILES = (["README.txt", "THIRD-PARTY-NOTICES.txt", "licenses/GCC.txt", "licenses/GPL-3.txt",
                   "licenses/MinGW-w64.txt", "licenses/nlohmann-json.txt"]
                  + ["%s/%sKvIxa.dll" % (e, v) for e in ("x64", "x86") for v in ("", "legacy/", "recorder/")]
                  + ["profiles/%s.json" % p for p in MODEL_PROFILES])
ZIPS = {
    "KvInspectra-2.0.0-x64.zip": PROGRAM_FILES,
    "KvInspectra-2.0.0-x86.zip": PROGRAM_FILES,
    "KvInspectra-2.0.0-training.zip": TRAINING_FILES,
}
PACKAGES = sorted(list(ZIPS) + ["KvInspectra-2.0.0-x64.msi", "KvInspectra-2.0.0-x86.msi"])

# Per edition: product name, upgrade code (never to change), Program Files folder,
# summary template, component attribute of a 64-bit component.
EDITIONS = {
    "x64": ("Kavrol Inspectra (64-bit)", "{A6964E2D-3BDF-4D33-B7CB-03CAA4550FA5}", "ProgramFiles64Folder",
            "x64;1033", 256),
    "x86": ("Kavrol Inspectra (32-bit)", "{099C1DA8-2B08-465C-B0E4-8F8F4AD6DC28}", "ProgramFilesFolder",
            "Intel;1033", 0),
}


def setUpModule():
    packages()


def zip_path(name):
    return os.path.join(DIST, name)


def msi_path(edition):
    return os.path.join(DIST, "KvInspectra-%s-%s.msi" % (VERSION, edition))


def read_member(package, name):
    with zipfile.ZipFile(zip_path(package)) as archive:
        return archive.read(package[:-len(".zip")] + "/" + name)


class PackagesTest(unittest.TestCase):
    maxDiff = None

    def test_the_five_packages_and_their_checksums(self):
        self.assertEqual(PACKAGES + ["SHA256SUMS"], sorted(os.listdir(DIST)))
        with open(os.path.join(DIST, "SHA256SUMS"), encoding="ascii") as f:
            self.assertEqual(PACKAGES, [line.split("  ")[1].rstrip("\n") for line in f])
        done = subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=DIST, capture_output=True,
                              text=True)
        self.assertEqual(0, done.returncode, done.stdout + done.stderr)

    def test_zips_hold_exactly_the_listed_files_under_their_own_folder(self):
        for package, names in ZIPS.items():
            with self.subTest(package=package), zipfile.ZipFile(zip_path(package)) as archive:
                root = package[:-len(".zip")] + "/"
                self.assertEqual(sorted(root + n for n in names), archive.namelist())

    def test_zip_entries_carry_the_commit_time_fixed_attributes_and_no_extra_fields(self):
        for package in ZIPS:
            with self.subTest(package=package), zipfile.ZipFile(zip_path(package)) as archive:
                for entry in archive.infolist():
                    self.assertEqual(((2023, 11, 14, 22, 13, 20), 0o100644 << 16, b"", zipfile.ZIP_DEFLATED),
                                     (entry.date_time, entry.external_attr, entry.extra, entry.compress_type),
                                     entry.filename)

    def test_each_edition_holds_its_own_build_and_the_sources_documents(self):
        sources = {"KvInspectraReport.xsd": "resources/KvInspectraReport.xsd",
                   "docs/REPORT-FORMAT.md": "docs/REPORT-FORMAT.md"}
        for edition, bin_dir in BIN_DIRS.items():
            package = "KvInspectra-2.0.0-%s.zip" % edition
            for name in ("KvInspectra.exe", "KvReport.exe"):
                with self.subTest(package=package, name=name), open(os.path.join(bin_dir, name), "rb") as f:
                    self.assertEqual(f.read(), read_member(package, name))
            for name, source in sources.items():
                with self.subTest(package=package, name=name), open(os.path.join(SOURCE_DIR, source), "rb") as f:
                    self.assertEqual(f.read(), read_member(package, name))
        for edition in BIN_DIRS:
            for variant in ("", "legacy/", "recorder/"):
                with open(os.path.join(BIN_DIRS[edition], variant, "KvIxa.dll"), "rb") as f:
                    self.assertEqual(f.read(), read_member("KvInspectra-2.0.0-training.zip",
                                                           "%s/%sKvIxa.dll" % (edition, variant)))

    def test_texts_have_windows_line_ends(self):
        for package, names in ZIPS.items():
            for name in (n for n in names if n.endswith(".txt")):
                with self.subTest(package=package, name=name):
                    text = read_member(package, name)
                    self.assertGreater(text.count(b"\r\n"), 10)
                    self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))

    def test_no_simulated_library_in_a_program_package(self):
        simulated = set()
        for bin_dir in BIN_DIRS.values():
            for variant in ("", "legacy", "recorder"):
                with open(os.path.join(bin_dir, variant, "KvIxa.dll"), "rb") as f:
                    simulated.add(f.read())
        for edition in BIN_DIRS:
            package = "KvInspectra-2.0.0-%s.zip" % edition
            for name in PROGRAM_FILES:
                self.assertNotIn(read_member(package, name), simulated, name)
            files = [row["FileName"].lower() for row in msi_table(msi_path(edition), "File")]
            self.assertNotIn("kvixa.dll", files)

    def test_training_readme_says_the_library_answers_from_files(self):
        text = read_member("KvInspectra-2.0.0-training.zip", "README.txt").decode("utf-8")
        self.assertIn("THIS KvIxa.dll ANSWERS FROM FILES, NOT FROM A DEVICE.", text)
        for profile in MODEL_PROFILES:
            self.assertIn(profile + ".json", text)

    def test_every_binary_names_version_product_and_maker(self):
        for package, names in ZIPS.items():
            for name in (n for n in names if n.endswith((".exe", ".dll"))):
                with self.subTest(package=package, name=name):
                    with tempfile.NamedTemporaryFile() as f:
                        f.write(read_member(package, name))
                        f.flush()
                        image = PeImage(f.name)
                    strings = version_strings(image)
                    self.assertEqual(("2.0.0.0", "2.0.0.0", "2.0.0.0", "Kavrol"),
                                     (image.file_version(), strings.get("FileVersion"),
                                      strings.get("ProductVersion"), strings.get("CompanyName")))
                    self.assertTrue(strings.get("ProductName", "").startswith("Kavrol Inspectra"), strings)

    def test_notices_name_every_library_linked_in_and_ship_its_licence(self):
        shipped = {
            "KvInspectra-2.0.0-x64.zip": [("x64", "KvInspectra"), ("x64", "KvReport")],
            "KvInspectra-2.0.0-x86.zip": [("x86", "KvInspectra"), ("x86", "KvReport")],
            "KvInspectra-2.0.0-training.zip": [(e, t) for e in TREES for t in ("KvIxa", "KvIxaLegacy", "KvIxaRecorder")],
        }
        for package, binaries in shipped.items():
            components = set()
            for edition, target in binaries:
                libraries = link_map_libraries(os.path.join(TREES[edition], "link-maps", target + ".map"),
                                               TREES[edition])
                self.assertIn("libstdc++.a", libraries, "%s %s" % (edition, target))
                for name, path in sorted(libraries.items()):
                    self.assertIn(name, LINKED_LIBRARIES, "%s linked into %s %s has no notice" % (path, edition, target))
                    components.add(LINKED_LIBRARIES[name])
            notices = read_member(package, "THIRD-PARTY-NOTICES.txt").decode("utf-8")
            packaged = files_of(zip_path(package))
            for component in sorted(components):
                phrase, licences = LINKED_COMPONENTS[component]
                with self.subTest(package=package, component=component):
                    self.assertIn(phrase, notices)
                    self.assertLessEqual(licences, packaged)

    def test_header_only_json_library_is_named_where_it_is_compiled_in(self):
        def includes_json(folders):
            for folder in folders:
                for root, _, names in os.walk(os.path.join(SOURCE_DIR, folder)):
                    for name in names:
                        if name.endswith((".cpp", ".h")):
                            with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                                if "<nlohmann/" in f.read():
                                    return True
            return False

        self.assertTrue(includes_json(["sim"]))
        self.assertIn("nlohmann/json", read_member("KvInspectra-2.0.0-training.zip",
                                                   "THIRD-PARTY-NOTICES.txt").decode("utf-8"))
        self.assertFalse(includes_json(["app", "report", "device", "groups", "tools/kvreport"]))
        self.assertNotIn("nlohmann", read_member("KvInspectra-2.0.0-x64.zip",
                                                 "THIRD-PARTY-NOTICES.txt").decode("utf-8"))


class InstallerTablesTest(unittest.TestCase):
    """Both installers as tables: what running them under Wine does not show."""

    maxDiff = None

    def test_product_properties(self):
        for edition, (name, upgrade_code, _, _, _) in EDITIONS.items():
            with self.subTest(edition=edition):
                properties = {row["Property"]: row["Value"] for row in msi_table(msi_path(edition), "Property")}
                self.assertEqual({"ProductName": name, "Manufacturer": "Kavrol", "ProductVersion": VERSION,
                                  "UpgradeCode": upgrade_code, "ALLUSERS": "1", "ARPNOMODIFY": "1"},
                                 {k: properties.get(k) for k in ("ProductName", "Manufacturer", "ProductVersion",
                                                                 "UpgradeCode", "ALLUSERS", "ARPNOMODIFY")})

    def test_program_files_folder_components_and_files(self):
        for edition, (_, _, program_files, template, attribute) in EDITIONS.items():
            with self.subTest(edition=edition):
                path = msi_path(edition)
                directories = {row["Directory"]: (row["Directory_Parent"], row["DefaultDir"])
                               for row in msi_table(path, "Directory")}
                self.assertEqual((program_files, "Kavrol Inspectra"), directories["INSTALLDIR"])
                self.assertEqual(template, msi_summary(path)["Template"])

                def folder(directory):
                    if directory == "INSTALLDIR":
                        return ""
                    parent, name = directories[directory]
                    return folder(parent) + name + "/"

                components = {row["Component"]: row for row in msi_table(path, "Component")}
                files = msi_table(path, "File")
                self.assertEqual(sorted(PROGRAM_FILES),
                                 sorted(folder(components[f["Component_"]]["Directory_"]) + f["FileName"]
                                        for f in files))
                for component in components.values():
                    self.assertEqual(attribute, int(component["Attributes"]) & 256, component["Component"])
                self.assertEqual({"KvInspectra.exe": "2.0.0.0", "KvReport.exe": "2.0.0.0"},
                                 {f["FileName"]: f["Version"] for f in files if f["Version"]})
                hashed = {row["File_"] for row in msi_table(path, "MsiFileHash")}
                self.assertEqual(len(files) - 2, len(hashed))

    def test_start_menu_shortcut_runs_the_program_interactively(self):
        for edition, (name, _, _, _, _) in EDITIONS.items():
            with self.subTest(edition=edition):
                shortcuts = msi_table(msi_path(edition), "Shortcut")
                self.assertEqual([("ProgramMenuFolder", name, "[INSTALLDIR]KvInspectra.exe", "")],
                                 [(s["Directory_"], s["Name"], s["Target"], s["Arguments"]) for s in shortcuts])

    def test_major_upgrade_and_refused_downgrade(self):
        for edition, (_, upgrade_code, _, _, _) in EDITIONS.items():
            with self.subTest(edition=edition):
                path = msi_path(edition)
                rows = sorted((r["UpgradeCode"], r["VersionMin"], r["VersionMax"], r["ActionProperty"])
                              for r in msi_table(path, "Upgrade"))
                self.assertEqual([(upgrade_code, "", VERSION, "WIX_UPGRADE_DETECTED"),
                                  (upgrade_code, VERSION, "", "WIX_DOWNGRADE_DETECTED")], rows)
                conditions = {r["Condition"]: r["Description"] for r in msi_table(path, "LaunchCondition")}
                self.assertEqual({"NOT WIX_DOWNGRADE_DETECTED":
                                  "A newer version of [ProductName] is already installed. Remove it first to "
                                  "install this one."}, conditions)
                actions = {r["Action"] for r in msi_table(path, "InstallExecuteSequence")}
                self.assertLessEqual({"FindRelatedProducts", "RemoveExistingProducts", "LaunchConditions"}, actions)

    def test_codes_differ_between_editions_and_derive_from_the_input(self):
        codes = {}
        for edition in EDITIONS:
            properties = {row["Property"]: row["Value"] for row in msi_table(msi_path(edition), "Property")}
            summary = msi_summary(msi_path(edition))
            codes[edition] = (properties["ProductCode"], summary["Revision number (UUID)"])
            self.assertEqual(("Tue Nov 14 22:13:20 2023", "Tue Nov 14 22:13:20 2023"),
                             (summary["Created"], summary["Last saved"]))
        self.assertEqual(4, len(set(codes["x64"] + codes["x86"])))


class SameBytesTest(unittest.TestCase):
    def test_packaging_again_later_elsewhere_gives_the_same_bytes(self):
        time.sleep(1.1)
        again = os.path.join(WORK, "again", "dist")
        make(again)
        for name in sorted(os.listdir(DIST)):
            with self.subTest(name=name):
                self.assertTrue(subprocess.run(["cmp", os.path.join(DIST, name), os.path.join(again, name)],
                                               capture_output=True).returncode == 0, name)


class SigningTest(unittest.TestCase):
    PASSWORD = "throw-away pass"

    @classmethod
    def setUpClass(cls):
        cls.folder = os.path.join(WORK, "signing")
        os.makedirs(cls.folder)
        cls.certificate = os.path.join(cls.folder, "cert.pem")
        key = os.path.join(cls.folder, "key.pem")
        cls.pfx = os.path.join(cls.folder, "cert.pfx")
        env = dict(os.environ, KV_SIGN_PASSWORD=cls.PASSWORD)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-keyout", key,
                        "-out", cls.certificate, "-subj", "/CN=Kavrol Inspectra test signing",
                        "-addext", "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cls.certificate, "-out", cls.pfx,
                        "-passout", "env:KV_SIGN_PASSWORD"], check=True, capture_output=True, env=env)
        cls.signed = os.path.join(cls.folder, "dist")
        os.environ["KV_SIGN_PASSWORD"] = cls.PASSWORD
        try:
            make(cls.signed, pfx=cls.pfx)
        finally:
            del os.environ["KV_SIGN_PASSWORD"]
        cls.unpacked = os.path.join(cls.folder, "unpacked")
        for name in ZIPS:
            with zipfile.ZipFile(os.path.join(cls.signed, name)) as archive:
                archive.extractall(cls.unpacked)
        subprocess.run(["msiextract", "-C", os.path.join(cls.unpacked, "msi-x64"),
                        os.path.join(cls.signed, "KvInspectra-2.0.0-x64.msi")], check=True, capture_output=True)

    def verify(self, path):
        return subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", self.certificate],
                              capture_output=True, text=True)

    def signable(self):
        found = [os.path.join(self.signed, n) for n in PACKAGES if n.endswith(".msi")]
        for root, _, names in os.walk(self.unpacked):
            found += [os.path.join(root, n) for n in names if n.endswith((".exe", ".dll"))]
        return sorted(found)

    def test_every_exe_dll_and_msi_verifies(self):
        found = self.signable()
        # the two MSIs, two exes in each program zip, six libraries in training, the x64 MSI's two exes
        self.assertEqual(2 + 4 + 6 + 2, len(found))
        for path in found:
            with self.subTest(path=os.path.relpath(path, self.folder)):
                done = self.verify(path)
                self.assertEqual(0, done.returncode, done.stdout + done.stderr)
                self.assertRegex(done.stdout, r"Message digest algorithm\s*: SHA256")

    def test_unsigned_packages_carry_no_signature(self):
        with tempfile.NamedTemporaryFile(suffix=".exe") as f:
            f.write(read_member("KvInspectra-2.0.0-x64.zip", "KvInspectra.exe"))
            f.flush()
            self.assertNotEqual(0, self.verify(f.name).returncode)
        self.assertNotEqual(0, self.verify(msi_path("x64")).returncode)

    def test_a_file_changed_after_signing_fails(self):
        exe = os.path.join(self.folder, "changed.exe")
        shutil.copyfile(os.path.join(self.unpacked, "KvInspectra-2.0.0-x64", "KvInspectra.exe"), exe)
        with open(exe, "r+b") as f:
            f.seek(0x1000)
            byte = f.read(1)
            f.seek(0x1000)
            f.write(bytes([byte[0] ^ 0xFF]))
        self.assertNotEqual(0, self.verify(exe).returncode)
        msi = os.path.join(self.folder, "changed.msi")
        shutil.copyfile(os.path.join(self.signed, "KvInspectra-2.0.0-x64.msi"), msi)
        subprocess.run(["msibuild", msi, "-q", "UPDATE `Property` SET `Value` = 'Changed' WHERE `Property` = "
                        "'ProductName'"], check=True, capture_output=True)
        self.assertNotEqual(0, self.verify(msi).returncode)

    def test_without_the_password_or_with_a_wrong_one_nothing_changes(self):
        out = os.path.join(self.folder, "kept")
        os.makedirs(out)
        marker = os.path.join(out, "earlier-package.zip")
        open(marker, "w").close()
        for password in (None, "wrong"):
            env = {} if password is None else {"KV_SIGN_PASSWORD": password}
            done = subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "packaging", "make_packages.py"),
                                   "--source", SOURCE_DIR, "--bin64", BIN_DIRS["x64"], "--bin32", BIN_DIRS["x86"],
                                   "--out", out, "--commit", COMMIT, "--epoch", str(EPOCH), "--sign", self.pfx],
                                  capture_output=True, text=True,
                                  env=dict({k: v for k, v in os.environ.items() if k != "KV_SIGN_PASSWORD"}, **env))
            with self.subTest(password=password):
                self.assertEqual(1, done.returncode, done.stdout + done.stderr)
                self.assertIn("KV_SIGN_PASSWORD" if password is None else "cert.pfx", done.stderr)
                self.assertEqual(["earlier-package.zip"], os.listdir(out))
                self.assertFalse(os.path.exists(out + ".partial"))


if __name__ == "__main__":
    unittest.main()
