"""Builds the native fuzz targets (tests/fuzz, clang's libFuzzer) and runs each one.

Every target first runs the inputs kept in tests/fuzz/corpus/<target>/ (among them
every input that once found a fault), then fuzzes for its share of the time, adding
what it learns to <build dir>/corpus/<target>/. A crash or broken promise fails the
run; the input is saved in <build dir>/crashes/ and named on the output.

    run_fuzzers.py --build-dir DIR [--seconds TOTAL] [target ...]

Exit code 0, 1 when a target failed, 77 when clang is not installed (the build's
test then counts as skipped).
"""

import argparse
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
TARGETS = ["xml_line", "raw_dump", "install_date", "version_text", "ini_lines", "profile_reader"]
# Seed inputs besides the kept corpus: the shipped profiles for the profile reader.
EXTRA_SEEDS = {"profile_reader": [os.path.join(ROOT, "profiles")]}
COMPILER = "clang++-14"
SKIPPED = 77


def build(build_dir):
    if not os.path.exists(os.path.join(build_dir, "CMakeCache.txt")):
        subprocess.run(["cmake", "-S", HERE, "-B", build_dir, "-DCMAKE_CXX_COMPILER=" + COMPILER],
                       check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count() or 1)], check=True,
                   stdout=subprocess.DEVNULL)


def run_target(build_dir, target, seconds):
    """True when the target found nothing in its kept corpus and in its time."""
    work = os.path.join(build_dir, "corpus", target)
    crashes = os.path.join(build_dir, "crashes")
    os.makedirs(work, exist_ok=True)
    os.makedirs(crashes, exist_ok=True)
    kept = os.path.join(HERE, "corpus", target)
    seeds = [d for d in [kept] + EXTRA_SEEDS.get(target, []) if os.path.isdir(d)]
    command = [os.path.join(build_dir, target + "_fuzzer"), "-max_total_time=%d" % seconds, "-max_len=4096",
               "-timeout=10", "-rss_limit_mb=2048", "-print_final_stats=1",
               "-artifact_prefix=%s/%s-" % (crashes, target)]
    dictionary = os.path.join(HERE, target + ".dict")
    if os.path.exists(dictionary):
        command.append("-dict=" + dictionary)
    started = time.monotonic()
    done = subprocess.run(command + [work] + seeds, capture_output=True, text=True, errors="replace")
    runs = [line.split(":")[-1].strip() for line in done.stderr.splitlines() if line.startswith("stat::number_of_executed_units")]
    print("%-15s %s runs in %.0f s: %s" % (target, runs[0] if runs else "?", time.monotonic() - started,
                                          "ok" if done.returncode == 0 else "FAILED"), flush=True)
    if done.returncode != 0:
        report = [line for line in done.stderr.splitlines()
                  if "ERROR" in line or "broken:" in line or "SUMMARY" in line or "artifact" in line or " in " in line]
        print("\n".join(report[:40]))
        print("once mended, keep the input as a regression in %s/" % os.path.relpath(kept, ROOT))
    return done.returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build", "fuzz"))
    parser.add_argument("--seconds", type=int, default=600, help="fuzzing time of all targets together")
    parser.add_argument("targets", nargs="*", default=TARGETS)
    args = parser.parse_args()
    if not shutil.which(COMPILER):
        print("%s is not installed: the fuzz targets are not built" % COMPILER)
        return SKIPPED
    unknown = set(args.targets) - set(TARGETS)
    if unknown:
        parser.error("unknown targets: " + ", ".join(sorted(unknown)))
    build(args.build_dir)
    share = max(1, args.seconds // len(args.targets))
    failed = [t for t in args.targets if not run_target(args.build_dir, t, share)]
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
