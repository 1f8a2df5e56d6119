"""Fault injection: scans of the real exe against random device profiles.

Every seed's profile (fault_profiles.py) is scanned once, without a display (a message
box then returns at once instead of waiting), and the scan is checked: it ends in time
and without a crash, the report is made of whole elements, valid against the schema,
complete up to the root end tag, rendered into its page, and holds the groups every
device of that kind must have and none that the device type or the test sequence rules
out. A scan stopped for taking too long must still have left whole elements only.

    fault_scan.py [--seeds N] [--first S] [--jobs J] [--replay SEED] [--keep DIR]

prints each failing seed with what went wrong; --replay runs one seed and keeps its
profile, report and library trace. Needs KV_BIN_DIR and the WINEPREFIX of a build
(scripts/fuzz-scan sets them up).
"""

import argparse
import concurrent.futures
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import uuid

from kvtest import BIN_DIR, DRIVE_C, SCHEMA, PROFILES_DIR, kvreport_check, read_report_lines, to_windows, wine_env
import fault_profiles

ROOT_END = "</KvInspectraReport>"
REFUSED_TYPE = 22
CPU_BOARD_TYPES = {6, 7, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21}
NO_DVI_TYPES = {21, 22}
V70 = 15  # its DVI channel depends on the I/O board

# The group names of the two sequences in running order (PC and panel modules, whose
# names come from the device, are left out); "Fan settings", "UPS" and the module groups
# depend on what the device answers.
SEQUENCE_A = ["Operating System", "Kavrol Drivers and Tools", "BIOS", "CPU", "Memory", "Fan settings", "UPS",
              "Operating controls", "General", "Voltages", "DVI"]
SEQUENCE_B = ["Operating System", "Kavrol Drivers and Tools", "BIOS", "General", "System Unit", "CPU Board", "CPU",
              "Memory", "Operating controls", "Bus Unit", "Slide-In Drives", "Fan Kits", "IF Boards", "I/O Board",
              "UPS", "Display Link", "Panels", "DVI"]
# Names of fixed groups of sequence B that PC modules of sequence A carry too.
PC_MODULE_NAMES = {"System Unit", "CPU Board"}
# Groups behind the device-type gate: none of them without a device type.
GATED = {"Kavrol Drivers and Tools", "BIOS", "General", "Operating controls", "Voltages", "System Unit",
         "CPU Board", "DVI", "Bus Unit", "Slide-In Drives", "Fan Kits", "IF Boards", "I/O Board", "Display Link"}


def device_type_read(answer):
    """The device type a group's gate reads from the answer into its zeroed cache; 0 when the call fails."""
    if answer is None or answer.get("return", 0 if "error" in answer else 1) == 0:
        return 0
    for kind, fmt in (("u8", "<B"), ("i8", "<b"), ("u16", "<H"), ("i16", "<h"), ("u32", "<I"), ("i32", "<i"),
                      ("f32", "<f")):
        if kind in answer:
            return int.from_bytes(struct.pack(fmt, answer[kind]).ljust(4, b"\0"), "little")
    return 0


def expected_device(profile, library):
    """(device type, 0 when the gate fails; sequence "A" or "B") of a merged profile and library variant."""
    if library is None:
        return 0, "B"
    probe = profile.get("IxaGetModuleTemperatureValue", {})
    probe = probe.get("0/0/0", probe.get("default")) or {}
    # Only a failure with ERROR_INVALID_FUNCTION says the device has no module entry points.
    modules = library == "default" and not (probe.get("error") == 1 and probe.get("return", 0) == 0)
    return device_type_read(profile.get("IxaGetDeviceType")), "A" if modules else "B"


def expected_groups(device_type, family):
    """(groups that must be there, groups that must not)."""
    sequence = SEQUENCE_A if family == "A" else SEQUENCE_B
    other = set(SEQUENCE_A if family == "B" else SEQUENCE_B) - set(sequence)
    if family == "A":
        other -= PC_MODULE_NAMES
    must = {"Operating System", "CPU", "Memory"}
    if not device_type:
        return must, (GATED - (PC_MODULE_NAMES if family == "A" else set())) | other
    must |= {"Kavrol Drivers and Tools", "BIOS", "General", "Operating controls"}
    must.add("Voltages" if family == "A" else "System Unit")
    if family == "B" and device_type in CPU_BOARD_TYPES:
        must.add("CPU Board")
    if device_type not in NO_DVI_TYPES | {V70}:
        must.add("DVI")
    return must, other


# One element as the writer puts it, ended by CR LF: a declaration, a start or end tag, or a
# whole element, whose value may hold line breaks of its own (raw dumps do).
WHOLE_ENTRY = re.compile(r'\t*(?:<\?[^<>]*\?>|</?[A-Za-z]+>|<([A-Za-z]+)(?: [A-Za-z]+="[^"<>]*")?>[^<>]*</\1>)\r\n')


def check_lines(path):
    """Problems of a report as far as it was written: whole elements only, the last one ended too."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"\xff\xfe":
        return ["report has no UTF-16 byte-order mark"]
    try:
        text = data[2:].decode("utf-16-le")
    except UnicodeDecodeError:
        return ["report stops inside a character"]
    at = 0
    while at < len(text):
        entry = WHOLE_ENTRY.match(text, at)
        if not entry:
            return ["report holds no whole element from %r on" % text[at:at + 80]]
        at = entry.end()
    return []


def format_problems(path):
    """What KvReport check finds in a report, complete or stopped halfway (as far as it goes)."""
    code, output = kvreport_check([path])
    return [] if code == 0 else ["report breaks the format: " + " | ".join(output.splitlines()[:3])]


def check_report(path, device_type, family):
    """What is wrong with the report a scan wrote: a list of problems, empty when it is sound."""
    if not os.path.exists(path):
        return ["no report"]
    problems = check_lines(path)
    if problems:
        return problems
    lines = read_report_lines(path)
    if lines[-1] != ROOT_END:
        problems.append("report does not end with the root end tag but with %r" % lines[-1][:80])
    checked = subprocess.run(["xmllint", "--noout", "--schema", SCHEMA, path], capture_output=True, text=True)
    if checked.returncode != 0:
        problems.append("report is not valid: " + " | ".join(checked.stderr.splitlines()[:3]))
    problems += format_problems(path)
    groups = [line[len("\t\t<GroupName>"):-len("</GroupName>")] for line in lines
              if line.startswith("\t\t<GroupName>") and line.endswith("</GroupName>")]
    must, must_not = expected_groups(device_type, family)
    missing = sorted(must - set(groups))
    extra = sorted(must_not & set(groups))
    if missing:
        problems.append("groups missing: %s" % ", ".join(missing))
    if extra:
        problems.append("groups that must not be there: %s" % ", ".join(extra))
    order = SEQUENCE_A if family == "A" else SEQUENCE_B
    ranks = [order.index(g) for g in groups if g in order]
    if ranks != sorted(ranks):
        problems.append("groups out of sequence order: %s" % ", ".join(groups))
    return problems


class Scanner:
    """Runs seeds in scratch folders below the prefix's C: drive, one per worker."""

    def __init__(self, timeout=30, keep=None, keep_all=False):
        self.universe = fault_profiles.Universe()
        self.timeout = timeout
        self.keep = keep
        self.keep_all = keep_all
        self.root = os.path.join(DRIVE_C, "kvfault", uuid.uuid4().hex[:8])

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def folder(self, library):
        """A folder with the exe and the library variant, made once per variant and thread."""
        folder = os.path.join(self.root, "%s-%s" % (library, uuid.uuid4().hex[:8]))
        os.makedirs(folder)
        shutil.copy(os.path.join(BIN_DIR, "KvInspectra.exe"), folder)
        if library:
            shutil.copy(os.path.join(BIN_DIR, *(["legacy"] if library == "legacy" else []), "KvIxa.dll"), folder)
        return folder

    def run(self, seed):
        """A list of problems of the seed's scan; empty when it is sound."""
        profile, base, library = fault_profiles.make_profile(self.universe, seed)
        if base:
            profile = dict(profile, base=to_windows(os.path.join(PROFILES_DIR, base)))
        folder = self.folder(library)
        try:
            problems = self.scan(folder, profile, base, library)
            if self.keep and (problems or self.keep_all):
                kept = os.path.join(self.keep, "seed-%d" % seed)
                shutil.rmtree(kept, ignore_errors=True)
                shutil.copytree(folder, kept, ignore=shutil.ignore_patterns("*.exe", "*.dll"))
            return problems
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def scan(self, folder, profile, base, library):
        path = os.path.join(folder, "profile.json")
        with open(path, "w", encoding="utf-8") as f:
            json.dump(profile, f, indent=1)
        report = os.path.join(folder, "report.xml")
        env = wine_env({"KVIXA_PROFILE": to_windows(path), "KVIXA_TRACE": to_windows(os.path.join(folder, "trace.txt"))})
        env.pop("DISPLAY", None)
        with tempfile.TemporaryFile() as out:
            completed = subprocess.run(["timeout", str(self.timeout), "wine", os.path.join(folder, "KvInspectra.exe"),
                                        "-o", "-f=" + to_windows(report)], env=env, cwd=folder,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=out)
            out.seek(0)
            output = out.read().decode("utf-8", "replace")
        if completed.returncode == 124:
            # Stopped halfway, the report must still be complete up to its last line.
            return (["hang: no end within %d s" % self.timeout] +
                    (check_lines(report) or format_problems(report) if os.path.exists(report) else []))
        problems = []
        if completed.returncode != 0 or "Unhandled" in output:
            problems.append("crash: exit code %d %s" % (completed.returncode, " | ".join(output.splitlines()[:3])))
        if "KvIxa: profile" in output:
            return ["the simulated library refused the profile: " + output.strip()[:300]]
        device_type, family = expected_device(fault_profiles.merged(profile_without_base(profile), base), library)
        if device_type == REFUSED_TYPE:
            if os.path.exists(report):
                problems.append("a report on the refused device type %d" % REFUSED_TYPE)
            return problems
        page = os.path.join(folder, "report.html")
        if os.path.exists(report) and not (os.path.exists(page) and os.path.getsize(page) > 0):
            problems.append("no rendered page beside the report")
        return problems + check_report(report, device_type, family)


def profile_without_base(profile):
    return {k: v for k, v in profile.items() if k != "base"}


def run_seeds(seeds, jobs=1, timeout=30, keep=None, report=None, keep_all=False):
    """Scans the seeds; report(line), when given, gets one line per failing seed and one
    per hundred seeds done. Returns {seed: problems}."""
    scanner = Scanner(timeout, keep, keep_all)
    failures = {}
    report = report or (lambda line: None)
    try:
        with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
            for done, (seed, problems) in enumerate(zip(seeds, pool.map(scanner.run, seeds)), 1):
                if problems:
                    failures[seed] = problems
                    report("seed %d: %s" % (seed, "; ".join(problems)))
                if done % 100 == 0:
                    report("%d seeds done, %d failed" % (done, len(failures)))
    finally:
        scanner.close()
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seeds", type=int, default=1000, help="how many seeds (default 1000)")
    parser.add_argument("--first", type=int, default=1, help="the first seed (default 1)")
    parser.add_argument("--jobs", type=int, default=2, help="scans at once (default 2)")
    parser.add_argument("--timeout", type=int, default=30, help="seconds a scan may take (default 30)")
    parser.add_argument("--replay", type=int, help="run this one seed and keep what it left")
    parser.add_argument("--keep", help="folder for the profile, report and trace of each failing seed")
    args = parser.parse_args()
    if args.replay is not None:
        keep = args.keep or os.path.join(os.environ.get("KV_BUILD_DIR", tempfile.gettempdir()), "fault-scan")
        seeds = [args.replay]
    else:
        keep = args.keep
        seeds = list(range(args.first, args.first + args.seeds))
    if keep:
        keep = os.path.abspath(keep)
    failures = run_seeds(seeds, args.jobs, args.timeout, keep, lambda line: print(line, flush=True),
                         keep_all=args.replay is not None)
    if args.replay is not None:
        print("seed %d: %s; profile, report and trace in %s" %
              (args.replay, "failed" if failures else "sound", os.path.join(keep, "seed-%d" % args.replay)))
    else:
        print("%d seeds from %d: %d failed" % (len(seeds), args.first, len(failures)))
        if failures:
            print("replay one with: scripts/fuzz-scan --replay SEED")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
