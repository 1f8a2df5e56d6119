#!/usr/bin/env python3
"""Times KvReport over a fleet of reports (run by scripts/bench-fleet).

Scans every sequence B model once (its profile in profiles/, the simulated library),
then writes --reports reports from those scans with tests/e2e/fleet_reports.py:
device n is scan n modulo 12 with its own computer name, date and time, serial number,
User Serial ID, BIOS version, aged counters, warmer or cooler temperatures and, on every
fifth device, a fan alarm; 500 reports to a folder. Then times, one run each:
summary --csv, table --csv and table --jsonl over the fleet (--recursive), with the
wall-clock time, reports per second, processor time of the process and of the
wineserver, and the process's peak resident memory. Expects the Wine environment of
scripts/lib.sh. Exits 1 when a command misses the aim: 10,000 reports in 60 s (so
167 reports per second) with at most 200 MB.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "tests", "e2e"))

from bench_scan import PROFILES, REPO, machine, scan, wineserver_cpu, windows_path  # noqa: E402
from fleet_reports import write_fleet  # noqa: E402
from kvtest import read_report_lines  # noqa: E402

# The models of sequence B the 64-bit program scans (the Roamdeck R96 wants the 32-bit one).
SEQUENCE_B = ["corvabox-c20", "panevox-p30", "corvabox-c40", "panevox-p50", "corvabox-c60", "voltadeck-v70",
              "corvabox-c80", "corvabox-c81", "corvabox-c90", "panevox-p91", "corvabox-c92", "panevox-p93"]
AIM_REPORTS_PER_SECOND = 10000 / 60
AIM_PEAK_MB = 200
PER_FOLDER = 500


def run(command):
    """Wall-clock and processor seconds, wineserver seconds and peak memory (MB) of one command."""
    server = wineserver_cpu()
    start = time.perf_counter()
    with tempfile.TemporaryFile() as err:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=err)
        _, status, usage = os.wait4(process.pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            err.seek(0)
            sys.exit("%s failed: %s" % (" ".join(command), err.read().decode("utf-8", "replace").strip()))
    return wall, usage.ru_utime + usage.ru_stime, wineserver_cpu() - server, usage.ru_maxrss / 1024


def folder_size(folder):
    return sum(os.path.getsize(os.path.join(root, name)) for root, _, names in os.walk(folder) for name in names)


def main():
    parser = argparse.ArgumentParser(description="Times KvReport summary and table over a fleet of reports.")
    parser.add_argument("--bin", default=os.path.join(os.environ.get("BUILD_DIR", os.path.join(REPO, "build")), "bin"))
    parser.add_argument("--reports", type=int, default=2000, help="reports in the fleet (10000 for the aim)")
    parser.add_argument("--keep", action="store_true", help="keep the fleet and the outputs")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="kvbench-fleet-")
    try:
        for name in ("KvInspectra.exe", "KvIxa.dll"):
            shutil.copy(os.path.join(args.bin, name), work)
        scans = []
        for model in SEQUENCE_B:
            report = os.path.join(work, model + ".xml")
            scan(os.path.join(work, "KvInspectra.exe"), os.path.join(PROFILES, model + ".json"), report)
            scans.append(read_report_lines(report))
        fleet = os.path.join(work, "fleet")
        start = time.perf_counter()
        write_fleet(scans, args.reports, fleet, PER_FOLDER)
        tests = sum(sum(1 for line in lines if line == "\t" * 6 + "<Test>") for lines in scans) / len(scans)
        print("Fleet: %d reports of %d sequence B models, %.0f tests a report on average, %.0f MB, in folders of %d "
              "(written in %.0f s)\n" % (args.reports, len(scans), tests, folder_size(fleet) / 2**20, PER_FOLDER,
                                         time.perf_counter() - start))
        kvreport = os.path.join(args.bin, "KvReport.exe")
        commands = [("summary --csv", ["summary", "--csv", "summary.csv"]),
                    ("table --csv", ["table", "--csv", "table.csv"]),
                    ("table --jsonl", ["table", "--jsonl", "table.jsonl"])]
        print("| Command | Reports | Wall | Reports per second | Processor | wineserver | Peak memory | Output |")
        print("|---|---|---|---|---|---|---|---|")
        missed = []
        # As many reading threads as processors (the default), then one: under Wine the
        # threads contend for its heap lock.
        for name, arguments in commands:
            for threads in ([], ["--threads", "1"]):
                output = os.path.join(work, arguments[-1])
                command = ["wine", kvreport, arguments[0], windows_path(fleet), "--recursive", arguments[1],
                           windows_path(output)] + threads
                wall, cpu, server, peak = run(command)
                rate = args.reports / wall
                row = " ".join([name] + threads)
                print("| %s | %d | %.1f s | %.0f | %.1f s | %.1f s | %.0f MB | %.0f MB |" % (
                    row, args.reports, wall, rate, cpu, server, peak, os.path.getsize(output) / 2**20))
                if rate < AIM_REPORTS_PER_SECOND or peak > AIM_PEAK_MB:
                    missed.append(row)
        print("\naim: %.0f reports per second (10,000 in 60 s), at most %d MB" % (AIM_REPORTS_PER_SECOND, AIM_PEAK_MB))
        print("machine: %s" % machine())
        if args.keep:
            print("files kept in %s" % work)
        if missed:
            print("missed by: %s" % ", ".join(missed))
        return 1 if missed else 0
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
