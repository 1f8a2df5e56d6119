#!/usr/bin/env python3
"""Times full automatic scans against the floor, in one run (run by scripts/bench-scan).

Cases, run in turn so that the machine's load falls on all of them alike:
  floor       the same exe with a library that answers nothing (profiles/no-device.json)
  sequence A  the largest module-family device: all 16 PC modules and the panel modules
              of 16 panels on all three ways (written by this script, from the C94)
  sequence B  the largest device of the other family (profiles/corvabox-c90.json)
  recorded    sequences A and B again, with the recording KvIxa.dll in front of the
              simulated one (KvIxa.real.dll) and KVIXA_RECORD set
For each: the median wall-clock time, the median processor time (the program's process
and the wineserver, which carries out its file and registry calls) and the peak
resident memory of the program's process; the ratios to the floor; then the rendering
of the largest report into its page, by the program's renderer (MSXML under Wine)
and by xsltproc. Expects the Wine environment of scripts/lib.sh (WINEPREFIX, a
running wineserver). Exits 1 when a median scan takes longer than --limit times the
floor's, or a recorded one longer than --record-limit times the same scan without
the recorder.
"""

import argparse
import copy
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PROFILES = os.path.join(REPO, "profiles")


def le_hex(value, width):
    return " ".join("%02X" % b for b in value.to_bytes(width, "little"))


def quarter_block(*fields):
    """The 16-byte fan statistics block: four unsigned 32-bit counters."""
    return {"hex": " ".join(le_hex(f, 4) for f in fields)}


def temperature_block(low, high):
    """The 20-byte temperature statistics block: quarter hours and quarter degrees."""
    return {"hex": " ".join([le_hex(2, 4), le_hex(0, 4), le_hex(low * 4 & 0xFFFF, 2), le_hex(6, 4), le_hex(0, 4),
                             le_hex(high * 4 & 0xFFFF, 2)])}


def module_answers(prefix, index, name, raw_size=128):
    """Keyed answers of one fully fitted module: factory settings, FPGA, four fans (PC modules only),
    four sensors, four counter sets. prefix: "m" for a PC module key, "p/m" for a panel module."""
    def key(selector, sub=0):
        return "%d/%s/%d" % (selector, prefix, sub)
    factory = {
        key(0): {"u32": 0xC000 + index}, key(1): {"u16": 1}, key(2): {"u32": 0},
        key(3): {"wstr": "B%d" % (index % 10)}, key(4): {"wstr": "E9X%08d" % (index * 7919)},
        key(5): {"wstr": "KV-%s-%02d" % (name, index % 100)}, key(6): {"u32": 0xFFFFFFFF}, key(7): {"u16": 0xFFFF},
        key(8): {"wstr": "V1.%02d" % (index % 100)}, key(10): {"u16": raw_size},
        key(9): {"hex": " ".join("%02X" % ((index + i) & 0xFF) for i in range(64)), "fill": 255},
    }
    firmware = {key(1001): {"wstr": "KV-FPGA %s" % name}, key(0): {"wstr": "V2.%02d" % (index % 100)},
                key(1002): {"u32": 1}, key(1003): {"u32": 0}, key(1000): {"i32": index % 9}}
    temperatures, statistics_, fans = {}, {}, {}
    for sub in range(4):
        temperatures[key(0, sub)] = {"f32": 30.0 + sub + index % 13 * 0.25}
        temperatures[key(1, sub)] = {"u32": 0}
        temperatures[key(1000, sub)] = temperature_block(10 + sub, 55 + sub)
        statistics_[key(0, sub)] = {"u32": 1000 + index * 4 + sub}
        statistics_[key(1, sub)] = {"f32": 12345.5 + index + sub}
        fans[key(0, sub)] = {"u16": 2000 + index * 10 + sub}
        fans[key(1, sub)] = {"u32": 0}
        fans[key(1000, sub)] = quarter_block(70000 + index, 900 + sub, 2, 0)
    return factory, firmware, temperatures, statistics_, fans


def module_family_max():
    """The C94 with every PC module fitted and all 16 panels present: panels 0 to 11 with module data on all five
    panel modules, 12 and 13 with firmware data only (panel link, VLK3, expansion unit and HDBaseT with both VLK4
    blocks), 14 and 15 without either (the panel's own values)."""
    with open(os.path.join(PROFILES, "corvabox-c94.json"), encoding="utf-8") as f:
        profile = json.load(f)
    profile["_comment"] = ["Benchmark device written by scripts/bench_scan.py: the Kavrol Corvabox C94 with all 16 PC "
                           "modules and 16 panels, whose panel modules take all three ways."]
    for entry in ("IxaGetModuleFactoryValue", "IxaGetModuleFirmwareValue", "IxaGetModuleFanValue",
                  "IxaGetModuleStatisticsValue", "IxaGetModuleTemperatureValue", "IxaGetModuleHardwareValue",
                  "IxaGetPanelModuleFactoryValue", "IxaGetPanelModuleFirmwareValue",
                  "IxaGetPanelModuleStatisticsValue", "IxaGetPanelModuleTemperatureValue"):
        profile[entry] = {"default": {"error": 87}}
    for module in range(16):
        factory, firmware, temperatures, counters, fans = module_answers(str(module), module, "PCM%d" % module)
        profile["IxaGetModuleFactoryValue"].update(factory)
        profile["IxaGetModuleFirmwareValue"].update(firmware)
        profile["IxaGetModuleTemperatureValue"].update(temperatures)
        profile["IxaGetModuleStatisticsValue"].update(counters)
        profile["IxaGetModuleFanValue"].update(fans)
        profile["IxaGetModuleHardwareValue"]["0/%d/0" % module] = {"u32": module % 2}
    for panel in range(12):
        for module in range(5):
            factory, firmware, temperatures, counters, _ = module_answers(
                "%d/%d" % (panel, module), panel * 5 + module, "PNL%d" % module, 72)
            profile["IxaGetPanelModuleFactoryValue"].update(factory)
            profile["IxaGetPanelModuleFirmwareValue"].update(firmware)
            profile["IxaGetPanelModuleTemperatureValue"].update(temperatures)
            profile["IxaGetPanelModuleStatisticsValue"].update(counters)
    for panel in (12, 13):
        for module in range(1, 5):
            _, firmware, _, _, _ = module_answers("%d/%d" % (panel, module), panel * 5 + module, "LNK%d" % module)
            profile["IxaGetPanelModuleFirmwareValue"].update(firmware)
    hardware = profile["IxaGetHardwareValue"]
    for key in [k for k in hardware if k.startswith(("12", "13", "14", "11", "8"))]:
        del hardware[key]
    hardware.update({"11": {"u16": 2900}, "12": {"u32": 1}, "13": {"u32": 1}, "14": {"u32": 0},
                     "21": {"u8": 9}, "80": {"u32": 1}, "81": {"u32": 1}, "82": {"u32": 0}, "83": {"u32": 1},
                     "84": {"u32": 0}})
    panel_values = {
        "IxaGetFactoryValue": {"15": {"u16": 1920}, "16": {"u16": 1080}, "25": {"u32": 0xE250}, "26": {"u16": 1},
                               "27": {"u32": 0}, "18": {"hex": "01 00 50 E2", "fill": 255}},
        "IxaGetFactoryStringW": {"28": {"wstr": "B1"}, "29": {"wstr": "E9P21190001"}, "30": {"wstr": "KV-PNL.21W"}},
        "IxaGetStatisticsValue": {"3": {"u32": 1200}, "4": {"u32": 20100}, "26": {"f32": -11.5}, "27": {"f32": -11.75},
                                  "28": {"f32": -12.0}, "29": {"f32": -11.25}, "30": {"f32": -12.5},
                                  "31": {"f32": -13.0}, "32": {"f32": -12.75}, "33": {"f32": -12.25},
                                  "34": {"f32": 0.5}, "35": {"f32": 0.75}, "36": {"f32": 0.25}, "37": {"f32": 1.0},
                                  "38": {"f32": 0.01}},
        "IxaGetTemperature": {"5": {"i8": 36}},
        "IxaGetAlarm": {"9": {"u32": 0}, "10": {"u32": 0}},
        "IxaGetHardwareStringW": {"17": {"wstr": "HDBaseT (VLK4)"}},
        "IxaGetFirmwareStringW": {"20": {"wstr": "V2.00"}, "35": {"wstr": "V4.20"}, "36": {"wstr": "V4.20"}},
    }
    for entry, answers in panel_values.items():
        profile.setdefault(entry, {}).update(answers)
    # DVI channel 2 (panel index 8) shows the same display as channel 1.
    profile["IxaGetFactoryValue"].update({"20": profile["IxaGetFactoryValue"]["19"], "23": {"u16": 1366},
                                          "24": {"u16": 768}})
    profile.update({"IxaGetPanelLockTime": {"u32": 3000}, "IxaGetDisplayBrightness": {"u8": 80},
                    "IxaGetDisplayEqualizer": {"mode": 0, "value": 7}, "IxaGetKeyCount": {"u8": 34},
                    "IxaAreKeysEnabled": {"u32": 1}, "IxaGetKeySwitches": {"u8": 1},
                    "IxaGetKeyMatrix": {"hex": "00", "fill": 0}, "IxaGetLedCount": {"u8": 34},
                    "IxaGetKeyCfgState": {"u32": 1},
                    "IxaGetLedMatrix": {"default": {"hex": "03", "fill": 0}}})
    return profile


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wineserver_cpu():
    """Processor seconds of this prefix's wineserver so far (0 when it cannot be found)."""
    prefix = os.environ.get("WINEPREFIX", "").encode()
    ticks = os.sysconf("SC_CLK_TCK")
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/comm" % pid) as f:
                if not f.read().startswith("wineserver"):
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                if b"WINEPREFIX=" + prefix + b"\0" not in f.read() + b"\0":
                    continue
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / ticks
        except OSError:
            continue
    return 0.0


class Run:
    def __init__(self, wall, cpu, server, peak_kb):
        self.wall, self.cpu, self.server, self.peak_kb = wall, cpu, server, peak_kb


def scan(exe, profile, report, record=None):
    """One automatic scan; the report and its page are removed first. record: the file the
    recording KvIxa.dll beside exe writes, if it is there."""
    for suffix in (".xml", ".xsl", ".html"):
        if os.path.exists(report[:-4] + suffix):
            os.remove(report[:-4] + suffix)
    env = dict(os.environ, KVIXA_PROFILE=windows_path(profile))
    env.pop("DISPLAY", None)
    env.pop("KVIXA_TRACE", None)
    env.pop("KVIXA_REAL", None)
    env.pop("KVIXA_RECORD", None)
    if record:
        env["KVIXA_RECORD"] = windows_path(record)
    server = wineserver_cpu()
    start = time.perf_counter()
    process = subprocess.Popen(["wine", exe, "-o", "-f=" + windows_path(report)], env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if not os.path.exists(report) or (record and not os.path.exists(record)):
        sys.exit("the scan with %s wrote no report or no record" % profile)
    return Run(wall, usage.ru_utime + usage.ru_stime, wineserver_cpu() - server, usage.ru_maxrss)


def report_size(path):
    with open(path, "rb") as f:
        text = f.read()[2:].decode("utf-16-le")
    return (text.count("<TestGroup>"), text.count("<Test>"), len(text.encode("utf-16-le")) + 2)


def median(runs, field):
    return statistics.median(getattr(run, field) for run in runs)


def time_command(command, runs, env=None):
    """Median wall-clock and processor seconds of a command (its own process, not the wineserver)."""
    walls, cpus = [], []
    for _ in range(runs):
        start = time.perf_counter()
        with tempfile.TemporaryFile() as out:
            process = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=out,
                                       stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(process.pid, 0)
            walls.append(time.perf_counter() - start)
            cpus.append(usage.ru_utime + usage.ru_stime)
            if os.waitstatus_to_exitcode(status) != 0:
                out.seek(0)
                sys.exit("%s failed: %s" % (" ".join(command), out.read().decode("utf-8", "replace").strip()))
    return statistics.median(walls), statistics.median(cpus)


def machine():
    """One line on the machine the figures are taken on."""
    model = "unknown processor"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    wine = subprocess.run(["wine", "--version"], capture_output=True, text=True).stdout.strip()
    return "%s, %d cores, load average %.2f, %s" % (model, os.cpu_count(), os.getloadavg()[0], wine)


def main():
    parser = argparse.ArgumentParser(description="Times full scans against the floor.")
    parser.add_argument("--bin", default=os.path.join(os.environ.get("BUILD_DIR", os.path.join(REPO, "build")), "bin"))
    parser.add_argument("--runs", type=int, default=9, help="scans of each case (the medians are reported)")
    parser.add_argument("--limit", type=float, default=1.5, help="allowed ratio of a median scan to the floor's")
    parser.add_argument("--record-limit", type=float, default=1.5,
                        help="allowed ratio of a median recorded scan to the same scan without the recorder")
    parser.add_argument("--keep", action="store_true", help="keep the reports, pages and the benchmark profile")
    args = parser.parse_args()

    exe = os.path.join(args.bin, "KvInspectra.exe")
    work = tempfile.mkdtemp(prefix="kvbench-scan-")
    try:
        shutil.copy(exe, work)
        shutil.copy(os.path.join(args.bin, "KvIxa.dll"), work)
        exe = os.path.join(work, "KvInspectra.exe")
        # The recorder's folder: the same exe, the recorder as KvIxa.dll, the simulated library behind it.
        recording = os.path.join(work, "recording")
        os.mkdir(recording)
        shutil.copy(exe, recording)
        shutil.copy(os.path.join(args.bin, "recorder", "KvIxa.dll"), recording)
        shutil.copy(os.path.join(args.bin, "KvIxa.dll"), os.path.join(recording, "KvIxa.real.dll"))
        recording_exe = os.path.join(recording, "KvInspectra.exe")
        largest_a = os.path.join(work, "bench-module-family-max.json")
        with open(largest_a, "w", encoding="utf-8") as f:
            json.dump(module_family_max(), f, indent=1)
        # (name, profile, recorded: the number of the same case without the recorder, or None)
        cases = [("floor (a library that answers nothing)", os.path.join(PROFILES, "no-device.json"), None),
                 ("sequence A: C94, 16 PC modules, 16 panels", largest_a, None),
                 ("sequence B: C90 (the built-in default)", os.path.join(PROFILES, "corvabox-c90.json"), None),
                 ("sequence A, recorded", largest_a, 1),
                 ("sequence B, recorded", os.path.join(PROFILES, "corvabox-c90.json"), 2)]
        scan(exe, cases[0][1], os.path.join(work, "warm.xml"))  # the first launch loads Wine's files
        results = {name: [] for name, _, _ in cases}
        for _ in range(args.runs):
            for number, (name, profile, recorded) in enumerate(cases):
                report = os.path.join(work, "case%d.xml" % number)
                if recorded is None:
                    results[name].append(scan(exe, profile, report))
                else:
                    results[name].append(scan(recording_exe, profile, report,
                                              os.path.join(recording, "case%d.json" % number)))
        floor = results[cases[0][0]]
        floor_cpu = statistics.median(r.cpu + r.server for r in floor)
        print("| Case | Groups | Tests | Report | Wall (median) | vs floor | Processor (median) | vs floor "
              "| Peak memory |")
        print("|---|---|---|---|---|---|---|---|---|")
        worst = 0.0
        cpu_of = {}
        for number, (name, _, recorded) in enumerate(cases):
            runs = results[name]
            groups, tests, size = report_size(os.path.join(work, "case%d.xml" % number))
            wall, cpu = median(runs, "wall"), statistics.median(r.cpu + r.server for r in runs)
            cpu_of[number] = cpu
            ratio = wall / median(floor, "wall")
            if recorded is None:
                worst = max(worst, ratio)
            print("| %s | %d | %d | %.0f KB | %.3f s | %.2f | %.3f s | %.2f | %.1f MB |" % (
                name, groups, tests, size / 1024, wall, ratio, cpu, cpu / floor_cpu, median(runs, "peak_kb") / 1024))
        print("\nRecording (the recording KvIxa.dll in front of the simulated one) against the same scan without it:")
        worst_recorded = 0.0
        for number, (name, _, recorded) in enumerate(cases):
            if recorded is None:
                continue
            plain = results[cases[recorded][0]]
            wall = median(results[name], "wall") / median(plain, "wall")
            cpu = cpu_of[number] / cpu_of[recorded]
            worst_recorded = max(worst_recorded, wall)
            print("- %s: %.2f times the wall-clock time, %.2f times the processor time; the profile %.0f KB" % (
                name, wall, cpu, os.path.getsize(os.path.join(recording, "case%d.json" % number)) / 1024))
        report = os.path.join(work, "case1.xml")
        renderer = os.path.join(args.bin, "kv_render_html.exe")
        print("\nRendering the sequence A report (%d KB) into its page, median of %d:" % (
            report_size(report)[2] / 1024, args.runs))
        if os.path.exists(renderer):
            env = dict(os.environ, WINEDEBUG="-all")
            wall, cpu = time_command(["wine", renderer, windows_path(report)], args.runs, env)
            small_wall, small_cpu = time_command(["wine", renderer, windows_path(os.path.join(work, "case0.xml"))],
                                                 args.runs, env)
            print("- the program's renderer (MSXML 6 under Wine): %.3f s wall, %.3f s processor; the floor's "
                  "report: %.3f s, %.3f s (process start included in both)" % (wall, cpu, small_wall, small_cpu))
            print("- so the scan of sequence A without its page: about %.3f s processor, %.2f times the floor's" % (
                cpu_of[1] - (cpu - small_cpu), (cpu_of[1] - (cpu - small_cpu)) / floor_cpu))
        if shutil.which("xsltproc"):
            wall, cpu = time_command(["xsltproc", "--nonet", "-o", os.path.join(work, "x.html"),
                                      report[:-4] + ".xsl", report], args.runs)
            print("- xsltproc: %.3f s wall, %.3f s processor" % (wall, cpu))
        print("\n%d runs of each case, interleaved; worst wall-clock ratio %.2f (aim %.2f); recorded against "
              "plain %.2f (aim %.2f)" % (args.runs, worst, args.limit, worst_recorded, args.record_limit))
        print("machine: %s" % machine())
        if args.keep:
            print("files kept in %s" % work)
        return 0 if worst <= args.limit and worst_recorded <= args.record_limit else 1
    finally:
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
