"""Makes the release packages of Kavrol Inspectra from built binaries (scripts/package
builds them from a clean tree first):

    KvInspectra-<version>-x64.zip, -x86.zip    each edition's program files
    KvInspectra-<version>-x64.msi, -x86.msi    the same files as an installer
    KvInspectra-<version>-training.zip         the simulated library, the model profiles, the recorder
    SHA256SUMS

The same binaries, commit and commit time give the same bytes: every time stamp is the
commit's, every code the installers need is derived from the commit and the files.
With --sign every exe, dll and msi is signed (Authenticode, SHA-256) and verified.
Nothing is left half-done: the packages are made in OUT.partial, which replaces OUT at
the end; on an error OUT stays as it was.
"""

import argparse
import collections
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import uuid

import archive
import signing

HERE = os.path.dirname(os.path.abspath(__file__))
PRODUCT = "KvInspectra"
# Debian's Python, which has the libmsi binding msi_stamp.py needs (another python3 may
# come first on the PATH).
SYSTEM_PYTHON = "/usr/bin/python3"

# upgrade_code: never to change, Windows Installer finds the installed version of an
# edition by it.
Edition = collections.namedtuple("Edition", "name wixl_arch product_name upgrade_code program_files win64")

EDITIONS = [
    Edition("x64", "x64", "Kavrol Inspectra (64-bit)", "A6964E2D-3BDF-4D33-B7CB-03CAA4550FA5",
            "ProgramFiles64Folder", "yes"),
    Edition("x86", "x86", "Kavrol Inspectra (32-bit)", "099C1DA8-2B08-465C-B0E4-8F8F4AD6DC28",
            "ProgramFilesFolder", "no"),
]

# The licences of what the toolchain links into every binary (see the notices), as the
# toolchain's Debian packages state them.
TOOLCHAIN_LICENSES = {
    "licenses/MinGW-w64.txt": "/usr/share/doc/mingw-w64-common/copyright",
    "licenses/GCC.txt": "/usr/share/doc/gcc-mingw-w64-base/copyright",
    "licenses/GPL-3.txt": "/usr/share/common-licenses/GPL-3",
}
# The simulated and the recording library also hold nlohmann/json, which reads and writes profiles.
JSON_LICENSE = {"licenses/nlohmann-json.txt": "/usr/share/doc/nlohmann-json3-dev/copyright"}

# Texts that Windows users open in any editor get CR LF line ends.
CRLF_SUFFIX = ".txt"


def read_file_version(source):
    """The program's file version from its version resource: "2.0.0.0"."""
    with open(os.path.join(source, "resources", "KvInspectra.rc"), encoding="utf-8") as f:
        found = re.search(r"^\s*FILEVERSION\s+(\d+)\s*,\s*(\d+)\s*,\s*(\d+)\s*,\s*(\d+)", f.read(), re.M)
    if not found:
        raise ValueError("no FILEVERSION in resources/KvInspectra.rc")
    return ".".join(found.groups())


def product_version(file_version):
    """The version the packages are named by: "2.0.0" for 2.0.0.0."""
    return file_version.rsplit(".", 1)[0]


def program_files(source, bin_dir):
    """{name in the package: file} of one edition's program package."""
    files = {
        "KvInspectra.exe": os.path.join(bin_dir, "KvInspectra.exe"),
        "KvReport.exe": os.path.join(bin_dir, "KvReport.exe"),
        "KvInspectraReport.xsd": os.path.join(source, "resources", "KvInspectraReport.xsd"),
        "docs/REPORT-FORMAT.md": os.path.join(source, "docs", "REPORT-FORMAT.md"),
        "README.txt": os.path.join(HERE, "README-technician.txt"),
        "THIRD-PARTY-NOTICES.txt": os.path.join(HERE, "NOTICES-program.txt"),
    }
    files.update(TOOLCHAIN_LICENSES)
    return files


def model_profiles(source):
    """The device profiles of the models: each answers a device type and builds on no other."""
    folder = os.path.join(source, "profiles")
    names = []
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".json"):
            continue
        with open(os.path.join(folder, name), encoding="utf-8-sig") as f:
            profile = json.load(f)
        if "u32" in profile.get("IxaGetDeviceType", {}) and "base" not in profile:
            names.append(name)
    return names


def training_files(source, bin_dirs):
    """{name in the package: file} of the training package; bin_dirs: {edition: folder}."""
    files = {
        "README.txt": os.path.join(HERE, "README-training.txt"),
        "THIRD-PARTY-NOTICES.txt": os.path.join(HERE, "NOTICES-training.txt"),
    }
    for edition, bin_dir in bin_dirs.items():
        for variant in ("", "legacy/", "recorder/"):
            files["%s/%sKvIxa.dll" % (edition, variant)] = os.path.join(bin_dir, variant, "KvIxa.dll")
    for name in model_profiles(source):
        files["profiles/" + name] = os.path.join(source, "profiles", name)
    files.update(TOOLCHAIN_LICENSES)
    files.update(JSON_LICENSE)
    return files


def stage(files, folder, epoch):
    """Copies files into folder; returns {name: staged file}. Every file gets the commit's
    time, which the installer's cabinet records."""
    staged = {}
    for name, path in sorted(files.items()):
        if not os.path.isfile(path):
            raise FileNotFoundError("missing for the packages: %s (%s)" % (path, name))
        target = os.path.join(folder, *name.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(path, "rb") as f:
            data = f.read()
        if name.endswith(CRLF_SUFFIX):
            data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        with open(target, "wb") as f:
            f.write(data)
        os.utime(target, (epoch, epoch))
        staged[name] = target
    return staged


def files_digest(staged):
    digest = hashlib.sha256()
    for name in sorted(staged):
        digest.update(name.encode("utf-8") + b"\0" + archive.sha256_of(staged[name]).encode("ascii") + b"\n")
    return digest.hexdigest()


def product_code(edition, version):
    """One product code per edition and version: a rebuild of a version is the same product."""
    return str(uuid.uuid5(uuid.UUID(edition.upgrade_code), "product " + version)).upper()


def package_code(edition, version, commit, staged):
    """Unique to the package: its version, commit and files."""
    name = "package %s %s %s" % (version, commit, files_digest(staged))
    return "{%s}" % str(uuid.uuid5(uuid.UUID(edition.upgrade_code), name)).upper()


def build_msi(edition, stage_dir, staged, out, file_version, commit, epoch):
    """The installer of an edition from its staged files (stage_dir, with the icon in its
    parent folder); its version is the programs' file version without the last part."""
    version = product_version(file_version)
    defines = {
        "Edition": edition.name,
        "ProductName": edition.product_name,
        "Version": version,
        "ProductCode": product_code(edition, version),
        "UpgradeCode": edition.upgrade_code,
        "ProgramFilesFolder": edition.program_files,
        "Win64": edition.win64,
    }
    command = ["wixl", "-a", edition.wixl_arch, "-o", os.path.abspath(out)]
    for key, value in defines.items():
        command += ["-D", "%s=%s" % (key, value)]
    done = subprocess.run(command + [os.path.join(HERE, "KvInspectra.wxs")], cwd=stage_dir,
                          capture_output=True, text=True)
    if done.returncode != 0:
        raise RuntimeError("wixl failed for %s:\n%s%s" % (out, done.stdout, done.stderr))
    subprocess.run([SYSTEM_PYTHON, os.path.join(HERE, "msi_stamp.py"), out,
                    package_code(edition, version, commit, staged), str(epoch), file_version], check=True)


def sign_all(signer, folder, suffixes):
    for root, _, names in sorted(os.walk(folder)):
        for name in sorted(names):
            if name.lower().endswith(suffixes):
                signer.sign(os.path.join(root, name))


def make_packages(source, bin_dirs, out, commit, epoch, pfx=None, timestamp_url=None):
    """Writes the five packages and SHA256SUMS into out; returns their names. On an error
    out stays as it was."""
    partial = out.rstrip("/") + ".partial"
    shutil.rmtree(partial, ignore_errors=True)
    try:
        names = _make_into(partial, source, bin_dirs, commit, epoch, pfx, timestamp_url)
    except BaseException:
        shutil.rmtree(partial, ignore_errors=True)
        raise
    shutil.rmtree(out, ignore_errors=True)
    os.replace(partial, out)
    return names


def _make_into(partial, source, bin_dirs, commit, epoch, pfx, timestamp_url):
    file_version = read_file_version(source)
    version = product_version(file_version)
    work = os.path.join(partial, ".work")
    os.makedirs(work)
    signer = signing.Signer(pfx, work, timestamp_url) if pfx else None

    icon = os.path.join(work, "KvInspectra.ico")
    shutil.copyfile(os.path.join(source, "resources", "KvInspectra.ico"), icon)
    staged = {}
    for edition in EDITIONS:
        staged[edition.name] = stage(program_files(source, bin_dirs[edition.name]),
                                     os.path.join(work, edition.name), epoch)
    staged["training"] = stage(training_files(source, bin_dirs), os.path.join(work, "training"), epoch)
    if signer:
        # Signing changes the files: their times are the commit's again afterwards.
        sign_all(signer, work, (".exe", ".dll"))
        for files in staged.values():
            for path in files.values():
                os.utime(path, (epoch, epoch))

    packages = []
    for name, files in sorted(staged.items()):
        package = "%s-%s-%s" % (PRODUCT, version, name)
        archive.write_zip(os.path.join(partial, package + ".zip"), package, files, epoch)
        packages.append(package + ".zip")
    for edition in EDITIONS:
        msi = "%s-%s-%s.msi" % (PRODUCT, version, edition.name)
        build_msi(edition, os.path.join(work, edition.name), staged[edition.name], os.path.join(partial, msi),
                  file_version, commit, epoch)
        if signer:
            signer.sign(os.path.join(partial, msi))
        packages.append(msi)
    archive.write_checksums(partial, packages)
    shutil.rmtree(work)
    return sorted(packages) + ["SHA256SUMS"]


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source", required=True, help="the source tree the binaries were built from")
    parser.add_argument("--bin64", required=True, help="the 64-bit edition's binaries (bin/)")
    parser.add_argument("--bin32", required=True, help="the 32-bit edition's binaries (bin32/)")
    parser.add_argument("--out", required=True, help="the folder for the packages (replaced)")
    parser.add_argument("--commit", required=True, help="the commit built")
    parser.add_argument("--epoch", required=True, type=int, help="the commit's time (SOURCE_DATE_EPOCH)")
    parser.add_argument("--sign", metavar="CERT.pfx", help="sign with this certificate (password in %s)"
                        % signing.PASSWORD_VARIABLE)
    parser.add_argument("--timestamp", metavar="URL", help="an RFC 3161 time-stamp server for the signatures")
    args = parser.parse_args(argv)
    if args.timestamp and not args.sign:
        parser.error("--timestamp needs --sign")
    try:
        names = make_packages(args.source, {"x64": args.bin64, "x86": args.bin32}, args.out, args.commit,
                              args.epoch, args.sign, args.timestamp)
    except (signing.SigningError, RuntimeError, OSError, ValueError, subprocess.CalledProcessError) as error:
        print("make_packages: %s" % error, file=sys.stderr)
        return 1
    for name in names:
        print(os.path.join(args.out, name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
