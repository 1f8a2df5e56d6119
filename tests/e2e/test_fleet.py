"""KvReport for the support desk and for a fleet: diff that knows counters, parts and
devices, summary that names devices and links their pages, and table, whose rows a
query engine loads (sqlite3 here).

Real scans serve every test: the default device (a C90), the same device a month later
(counters aged, one fan kit's counter reset, memory module 2 taken out), another C90
(its own serial number and User Serial ID) and other models. The fleet is made from
scans by fleet_reports.py, which says what each device gets; Python's own XML parser is
the oracle for the rows."""

import csv
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import urllib.parse

from fleet_reports import device, write_fleet
from kvreport_tool import describe, digest, header, identity, kvreport, summary_row, tests_of, write_report
from kvtest import SOURCE_DIR, ScanTestCase, load_profile, read_report_lines
from kvtest import to_windows as win

SCANS = {}
_scanner = None

# The C90 a month later: what moved, as the diff must show it.
AGED_STATISTICS = {"0": 1300, "1": 24261, "17": 52, "21": 22597}  # cycles +13, hours +720, fan kit reset, bus fan kit
STRANGER = {"serial": "E9C50179999", "user_serial_id": 0x00C9AAAA}
HOST_FIGURES = ("Physical Memory", "Paging Memory")  # of the machine the scans run on: they move between scans


def aged_profile():
    profile = load_profile("corvabox-c90.json")
    for selector, value in AGED_STATISTICS.items():
        profile["IxaGetStatisticsValue"][selector] = {"u32": value}
    profile["IxaGetHardwareValue"]["60"] = {"u32": 0}  # memory module 2 taken out
    return profile


def stranger_profile():
    profile = load_profile("corvabox-c90.json")
    profile["IxaGetFactoryStringW"]["13"] = {"wstr": STRANGER["serial"]}
    profile["IxaGetUserSerialId"] = {"u32": STRANGER["user_serial_id"]}
    return profile


def category_block(lines, name):
    at = lines.index("\t\t\t<CategoryName>%s</CategoryName>" % name) - 1
    return at, lines.index("\t\t</Category>", at) + 1


def with_host_figures(lines, source):
    """lines with the host's memory figures of source: the scans differ in nothing else."""
    for name in HOST_FIGURES:
        start, end = category_block(lines, name)
        first, last = category_block(source, name)
        lines = lines[:start] + source[first:last] + lines[end:]
    return lines


def setUpModule():
    global _scanner
    _scanner = ScanTestCase()
    _scanner.setUp()
    scans = {"base": "corvabox-c90.json", "aged": aged_profile(), "stranger": stranger_profile(),
             "p50": "panevox-p50.json", "p91": "panevox-p91.json"}
    for name, profile in scans.items():
        scan = _scanner.scan(profile)
        assert scan.lines, "the scan of %s wrote no report" % name
        SCANS[name] = scan.report
    base = read_report_lines(SCANS["base"])
    for name in ("aged", "stranger"):
        write_report(SCANS[name], with_host_figures(read_report_lines(SCANS[name]), base))


def tearDownModule():
    _scanner.tearDown()


def cut_report(source, target):
    """A copy of source as a scan stopped in the middle of the Fan Kits group leaves it: (its lines, the
    note summary gives it). A closed copy beside target serves the oracle."""
    lines = read_report_lines(source)
    group = lines.index("\t\t<GroupName>Fan Kits</GroupName>")
    end = lines.index("\t\t\t\t\t\t</Test>", group) + 1
    write_report(target, lines[:end])
    number = lines[group - 1][len("\t\t<GroupNumber>"):-len("</GroupNumber>")]
    closed = target[:-4] + "-closed.xml.oracle"
    write_report(closed, lines[:end] + ["\t\t\t</SubCategory>", "\t\t</Category>", "\t</TestGroup>",
                                       "</KvInspectraReport>"])
    return closed, "incomplete: stopped in group %s, Fan Kits" % number


class SupportDeskDiff(unittest.TestCase):
    maxDiff = None

    def test_a_month_later_counters_show_their_change_and_the_module_taken_out_is_one_line(self):
        base, aged = SCANS["base"], SCANS["aged"]
        with tempfile.TemporaryDirectory() as folder:
            page = os.path.join(folder, "diff.html")
            run = kvreport("diff", win(base), win(aged), "--html", win(page))
            with open(page, encoding="utf-8") as f:
                html = f.read()
        expected = ["Old: " + describe(base), "New: " + describe(aged), "",
                    "Counters (4):",
                    "  Fan Kits > Case Fan Kit > Statistics > Fan-on cycles: 1269 -> 52 (-1217, reset or exchanged)",
                    "  System Unit > Statistics > Power-on cycles: 1287 -> 1300 (+13)",
                    "  System Unit > Statistics > Power-on hours: 23541 -> 24261 (+720)",
                    "  Fan Kits > Bus Fan Kit > Statistics > Fan-on hours: 21877 -> 22597 (+720)",
                    "", "Categories removed (1):",
                    "  Memory > Memory Module 2: 10 tests",
                    "", "5 differences."]
        self.assertEqual((1, expected, ""), (run.returncode, run.lines, run.err))
        self.assertIn('<tr class="attention"><td>Fan Kits &gt; Case Fan Kit &gt; Statistics &gt; Fan-on cycles</td>'
                      '<td>1269</td><td>52</td><td>-1217, reset or exchanged</td></tr>', html)
        self.assertNotIn("different devices", html)

    def test_another_device_of_the_same_model_is_named_different(self):
        base, stranger = SCANS["base"], SCANS["stranger"]
        run = kvreport("diff", win(base), win(stranger))
        serial, user_serial_id = identity(base)
        expected = ["Old: " + describe(base), "New: " + describe(stranger),
                    "These are different devices: serial number %s -> %s; User Serial ID %s -> %08Xh"
                    % (serial, STRANGER["serial"], user_serial_id, STRANGER["user_serial_id"]),
                    "", "Results changed (2):",
                    "  General > User Settings > User Serial ID > Value: %s -> %08Xh"
                    % (user_serial_id, STRANGER["user_serial_id"]),
                    "  System Unit > Factory Settings > Serial number: %s -> %s" % (serial, STRANGER["serial"]),
                    "", "2 differences."]
        self.assertEqual((1, expected), (run.returncode, run.lines))

    def test_two_models_are_named_different_and_their_groups_count_whole(self):
        base, other = SCANS["base"], SCANS["p50"]
        run = kvreport("diff", win(base), win(other))
        groups = {}
        for g, _, _, _ in tests_of(base):
            groups[g.findtext("GroupName")] = groups.get(g.findtext("GroupName"), 0) + 1
        theirs = {g.findtext("GroupName") for g, _, _, _ in tests_of(other)}
        gone = ["  %s: %d tests" % (name, count) for name, count in groups.items() if name not in theirs]
        (serial, user_serial_id), (their_serial, their_user_serial_id) = identity(base), identity(other)
        self.assertEqual(1, run.returncode)
        self.assertEqual("These are different devices: device type %s -> %s; serial number %s -> %s; User Serial ID "
                         "%s -> %s" % (header(base)["KvDeviceType"], header(other)["KvDeviceType"], serial,
                                       their_serial, user_serial_id, their_user_serial_id), run.lines[2])
        start = run.lines.index("Groups removed (%d):" % len(gone))
        self.assertEqual(gone, run.lines[start + 1:start + 1 + len(gone)])


def pages_linked(page):
    """(href, file text) of the links in the File column of a summary page."""
    with open(page, encoding="utf-8") as f:
        return re.findall(r'<td><a href="([^"]+)">([^<]+)</a></td></tr>', f.read())


class FleetSummary(unittest.TestCase):
    maxDiff = None

    def test_rows_name_devices_and_link_pages_rendered_where_missing(self):
        with tempfile.TemporaryDirectory() as folder:
            fleet, out = os.path.join(folder, "fleet"), os.path.join(folder, "out")
            os.makedirs(os.path.join(fleet, "line 4"))
            os.mkdir(out)
            names = {"base": "line 4/a.xml", "aged": "line 4/b #2.xml", "stranger": "c.xml", "p50": "d.xml"}
            for scan, name in names.items():
                shutil.copy(SCANS[scan], os.path.join(fleet, name))
            # A page already there stays as it is; the others are rendered.
            shutil.copy(SCANS["p50"][:-4] + ".html", os.path.join(fleet, "d.html"))
            before = digest(os.path.join(fleet, "d.html"))
            closed, note = cut_report(SCANS["p91"], os.path.join(fleet, "e.xml"))
            shutil.move(closed, os.path.join(folder, "closed.xml"))
            page, table = os.path.join(out, "summary.html"), os.path.join(out, "summary.csv")
            run = kvreport("summary", win(fleet), "--recursive", "--csv", win(table), "--html", win(page))
            reports = [(os.path.join(fleet, name), os.path.join(fleet, name), "") for name in names.values()]
            reports.append((os.path.join(fleet, "e.xml"), os.path.join(folder, "closed.xml"), note))
            expected = sorted((summary_row(oracle, win(path), note) + (path,) for path, oracle, note in reports))
            with open(table, encoding="utf-8-sig", newline="") as f:
                rows = list(csv.reader(f))
            links = pages_linked(page)
            pages = [os.path.normpath(os.path.join(out, urllib.parse.unquote(href))) for href, _ in links]
            rendered = [read_text(path) if os.path.exists(path) else None for path in pages]
            kept = digest(os.path.join(fleet, "d.html"))
            html = read_text(page)
            orders = clicked_orders(html, os.path.join(out, "probe.html"))
        self.assertEqual((0, ""), (run.returncode, run.err))
        self.assertEqual([row for _, row, _ in expected], rows[1:])
        self.assertEqual([row[-1] for _, row, _ in expected], [text for _, text in links])
        self.assertEqual([path[:-4] + ".html" for _, _, path in expected], pages)
        for (_, row, _), text in zip(expected, rendered):
            self.assertIn('<td class="result">%s</td>' % row[2], text or "", "the page of %s" % row[-1])
            self.assertIn('<th scope="row">Time</th><td>%s</td>' % row[5], text or "", "the page of %s" % row[-1])
        self.assertEqual(before, kept)
        self.assertIn("../fleet/line%204/b%20%232.html", [href for href, _ in links])
        # In a browser a click on a column's title sorts by it, numbers as numbers, again the other way round.
        serials, tests = [row[2] for _, row, _ in expected], [row[8] for _, row, _ in expected]
        self.assertEqual([serials, sorted(tests, key=int), sorted(serials), sorted(serials, reverse=True)], orders)


# Clicks the titles of Tests, then Serial number twice, and notes the column's order after each.
SORT_PROBE = """<script>
var order = function (column) {
  return Array.prototype.map.call(document.querySelector('table.sortable').tBodies[0].rows,
                                  function (row) { return row.cells[column].textContent; }).join('|');
};
var titles = document.querySelectorAll('table.sortable th');
var seen = [order(2)];
titles[8].click(); seen.push(order(8));
titles[2].click(); seen.push(order(2));
titles[2].click(); seen.push(order(2));
var pre = document.createElement('pre'); pre.id = 'seen'; pre.textContent = seen.join('\\n');
document.body.appendChild(pre);
</script>"""


def clicked_orders(html, probe):
    """The orders a browser (headless Chromium) shows after the clicks of SORT_PROBE."""
    with open(probe, "w", encoding="utf-8") as f:
        f.write(html.replace("</body>", SORT_PROBE + "</body>"))
    dom = subprocess.run(["timeout", "90", "chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                          "--disable-background-networking", "--dump-dom", "file://" + probe],
                         capture_output=True, text=True).stdout
    seen = re.search(r'<pre id="seen">(.*?)</pre>', dom, re.S)
    return [line.split("|") for line in seen.group(1).split("\n")] if seen else dom


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def fleet_folder(folder):
    """Twelve devices of three models in folders of five, one report of a scan that was stopped and one
    file that is not a report. Returns (fleet, the readable reports with their oracle files)."""
    fleet = os.path.join(folder, "fleet")
    scans = [read_report_lines(SCANS[name]) for name in ("base", "p50", "p91")]
    paths = write_fleet(scans, 12, fleet, 5)
    stopped = os.path.join(fleet, "site-002", "stopped.xml")
    closed, _ = cut_report(SCANS["base"], stopped)
    oracle = os.path.join(folder, "stopped-closed.xml")
    shutil.move(closed, oracle)
    with open(os.path.join(fleet, "site-001", "notes.xml"), "w", encoding="utf-8") as f:
        f.write("<notes/>\n")
    return fleet, [(path, path) for path in paths] + [(stopped, oracle)]


def sqlite_answers(database, table):
    """What sqlite3 answers to the SQLite block of docs/FLEET.md over the table: its load and its questions."""
    with open(os.path.join(SOURCE_DIR, "docs", "FLEET.md"), encoding="utf-8") as f:
        text = f.read()
    block = re.search(r"## SQLite.*?```sql\n(.*?)```", text, re.S).group(1)
    return subprocess.run(["sqlite3", "-bail", database], input=block.replace("fleet.csv", table), text=True,
                          capture_output=True, check=True).stdout.splitlines()


class Table(unittest.TestCase):
    maxDiff = None

    def test_a_fleet_becomes_rows_that_sqlite_answers_questions_from(self):
        with tempfile.TemporaryDirectory() as folder:
            fleet, reports = fleet_folder(folder)
            table, lines = os.path.join(folder, "fleet.csv"), os.path.join(folder, "fleet.jsonl")
            run = kvreport("table", win(fleet), "--recursive", "--csv", win(table), "--jsonl", win(lines))
            one = os.path.join(folder, "one-thread.csv")
            one_run = kvreport("table", win(fleet), "--recursive", "--csv", win(one), "--threads", "1")
            with open(table, "rb") as f, open(one, "rb") as g:
                same_on_one_thread = f.read() == g.read()
            with open(table, encoding="utf-8", newline="") as f:
                rows = list(csv.DictReader(f))
            with open(lines, encoding="utf-8") as f:
                objects = [json.loads(line) for line in f]
            answers = sqlite_answers(os.path.join(folder, "fleet.db"), table)
            oracle = [(win(path), oracle_rows(oracle_path)) for path, oracle_path in reports]
        notes = win(os.path.join(fleet, "site-001", "notes.xml"))
        self.assertEqual(2, run.returncode)
        self.assertEqual([notes + ", line 1: the file is 8-bit or UTF-8 text without a byte-order mark; reports of "
                                  "Kavrol Inspectra are UTF-16 with a byte-order mark"], run.err_lines)
        total = sum(len(tests) for _, tests in oracle)
        self.assertEqual(["%s: %d rows of 13 reports, 1 of them incomplete" % (win(path), total)
                          for path in (table, lines)], run.lines)
        # Read on one thread, the rows are the same bytes in the same order.
        self.assertEqual((2, run.err_lines), (one_run.returncode, one_run.err_lines))
        self.assertTrue(same_on_one_thread)
        # Every test of every report, in the order of the reports (folders by name, files first) and of their tests.
        order = sorted(oracle, key=lambda item: folder_order(item[0]))
        expected = [(path,) + test for path, tests in order for test in tests]
        self.assertEqual(expected, [tuple(row[k] for k in ROW_KEYS) for row in rows])
        self.assertEqual(expected, [tuple(csv_text(o[k]) for k in ROW_KEYS) for o in objects])
        self.assertEqual([row["incomplete"] == "1" for row in rows], [o["incomplete"] for o in objects])
        self.assertEqual({"stopped.xml"}, {row["file"].rsplit("\\", 1)[1] for row in rows if row["incomplete"] == "1"})
        # One row field by field: device 3's fan, in alarm.
        three = device(3)
        fan = next(o for o in objects if o["computer"] == three["computer"] and o["unit"] == "rpm")
        self.assertEqual({
            "file": win(os.path.join(fleet, "site-000", "KvInspectraHMI-00003.xml")), "computer": "HMI-00003",
            "device_type": "Kavrol Corvabox C90", "device_serial": three["serial"],
            "user_serial_id": three["user_serial_id"], "scan_date": three["iso_date"], "scan_time": three["time"],
            "program_version": header(SCANS["base"])["Version"], "group": "Fan Kits", "category": "Case Fan Kit",
            "subcategory": "Fan Speeds", "test": "Case fan 1", "test_number": fan["test_number"], "result": "2350",
            "format": "Rpm", "value": 2350, "unit": "rpm", "status": "Alarm", "incomplete": False}, fan)
        # The three fleet questions of docs/FLEET.md: fan alarms, backlight hours by model, BIOS versions.
        self.assertEqual(["E9F00000003", "E9F00000008"] + expected_backlight() + ["V1.19|4", "V1.21|5", "V1.30|4"],
                         answers)


ROW_KEYS = ["file", "group", "category", "subcategory", "test", "test_number", "result", "format", "status"]

def expected_backlight():
    """Backlight hours by model: each scan's counters, aged by what fleet_reports gives each device."""
    totals = {}
    for n in range(12):
        scan = SCANS[("base", "p50", "p91")[n % 3]]
        model = header(scan)["KvDeviceType"]
        for _, _, _, t in tests_of(scan):
            if t.findtext("TestName") == "Backlight-on hours":
                count, hours = totals.get(model, (0, 0))
                totals[model] = (count + 1, hours + int(t.findtext("TestResult")) + device(n)["ageing"])
    # The stopped report (the C90 as scanned) ends before its panels.
    return ["%s|%d|%d" % (model, count, hours) for model, (count, hours) in sorted(totals.items())]


def folder_order(path):
    """The order table reads a folder in: files by name, then each subfolder."""
    parts = path.split("\\")
    return [(1, part.lower()) for part in parts[:-1]] + [(0, parts[-1].lower())]


def csv_text(value):
    return "" if value is None else str(value)


def oracle_rows(path):
    rows = []
    for g, c, s, t in tests_of(path):
        name = lambda text: "" if text in (None, "CatUndef") else text  # noqa: E731
        result = t.find("TestResult")
        rows.append((g.findtext("GroupName"), name(c.findtext("CategoryName")),
                     name(s.findtext("SubCategoryName") if s is not None else None), t.findtext("TestName"),
                     t.findtext("TestNumber"), "" if result is None else result.text or "",
                     "" if result is None else result.get("Format"), t.findtext("TestStatus") or ""))
    return rows


if __name__ == "__main__":
    unittest.main()
