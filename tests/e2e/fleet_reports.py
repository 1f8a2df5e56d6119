"""A fleet of reports made from a few real scans, for the tests of KvReport's fleet
commands and for scripts/bench-fleet.

Device n of a fleet takes the report of scan n modulo the number of scans and changes,
line by line in the program's own layout, what differs from device to device: computer
name, date and time of the scan, the system unit's serial number, the User Serial ID,
the BIOS version, every counter of the statistics (aged by a few hundred to a few
thousand), every temperature (a few degrees up or down) and, on every fifth device,
an alarm on its first fan. What each device gets is a function of n alone (device()),
so a test knows the answers without reading the reports back."""

import datetime
import os

from kvreport_tool import write_report

BIOS_VERSIONS = ["V1.19", "V1.21", "V1.30"]
MONTHS = ["Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"]
FIRST_DAY = datetime.date(2026, 1, 5)
T7 = "\t" * 7


def device(n):
    """What device n of a fleet gets."""
    day = FIRST_DAY + datetime.timedelta(days=n % 300)
    return {
        "computer": "HMI-%05d" % n,
        "date": "%d %s %d" % (day.day, MONTHS[day.month - 1], day.year),
        "iso_date": day.isoformat(),
        "time": "%02d:%02d:%02d" % (6 + n % 12, n % 60, (n * 7) % 60),
        "serial": "E9F%08d" % n,
        "user_serial_id": "%08Xh" % (0x00F00000 + n),
        "bios": BIOS_VERSIONS[n % len(BIOS_VERSIONS)],
        "fan_alarm": n % 5 == 3,
        "ageing": 100 + (n * 37) % 4000,
        "warming": n % 7 - 3,
    }


def element(line, name):
    """The text of <name>...</name> on a line of the report, or None."""
    head = "<%s>" % name
    at = line.find(head)
    return line[at + len(head):line.rindex("<")] if at >= 0 else None


def result_line(line, text):
    return line[:line.index(">") + 1] + text + "</TestResult>"


class Varying:
    """Walks a report's lines, knowing the group, category, subcategory and test of each."""

    def __init__(self, d):
        self.d = d
        self.group = self.category = self.subcategory = self.test = None
        self.fan_alarm_due = d["fan_alarm"]
        self.alarm_next_status = False

    def result(self, line):
        fmt = line[line.index('Format="') + 8:line.index('">')]
        text = line[line.index(">") + 1:line.rindex("<")]
        place = (self.group, self.category, self.subcategory, self.test)
        if place == ("System Unit", "Factory Settings", "CatUndef", "Serial number"):
            return result_line(line, self.d["serial"])
        if place == ("General", "User Settings", "User Serial ID", "Value") and text.endswith("h"):
            return result_line(line, self.d["user_serial_id"])
        if self.group == "BIOS" and self.test == "Version":
            return result_line(line, self.d["bios"])
        if fmt == "Dec" and "Statistics" in (self.category, self.subcategory) and text.isdigit():
            return result_line(line, str(int(text) + self.d["ageing"]))
        if fmt == "DegreeCentigrade" and text.lstrip("-").isdigit():
            return result_line(line, str(int(text) + self.d["warming"]))
        if fmt == "Rpm" and self.fan_alarm_due:
            self.fan_alarm_due = False
            self.alarm_next_status = True
        return line

    def line(self, line):
        for name, key in (("ComputerName", "computer"), ("Date", "date"), ("Time", "time")):
            if line.startswith("\t\t<%s>" % name):
                return "\t\t<%s>%s</%s>" % (name, self.d[key], name)
        for name, attribute in (("GroupName", "group"), ("CategoryName", "category"),
                                ("SubCategoryName", "subcategory"), ("TestName", "test")):
            text = element(line, name)
            if text is not None:
                setattr(self, attribute, text)
                if name == "CategoryName":
                    self.subcategory = None
                return line
        if line.startswith(T7 + "<TestResult "):
            return self.result(line)
        if line.startswith(T7 + "<TestStatus>") and self.alarm_next_status:
            self.alarm_next_status = False
            return T7 + "<TestStatus>Alarm</TestStatus>"
        return line


def fleet_report(lines, n):
    """The lines of device n's report, made from a scan's lines."""
    varying = Varying(device(n))
    return [varying.line(line) for line in lines]


def write_fleet(scans, count, folder, per_folder=0):
    """count reports into folder (in subfolders of per_folder reports each when given),
    device n from scans[n % len(scans)] (lists of lines); returns their paths."""
    paths = []
    for n in range(count):
        where = os.path.join(folder, "site-%03d" % (n // per_folder)) if per_folder else folder
        os.makedirs(where, exist_ok=True)
        path = os.path.join(where, "KvInspectraHMI-%05d.xml" % n)
        write_report(path, fleet_report(scans[n % len(scans)], n))
        paths.append(path)
    return paths
