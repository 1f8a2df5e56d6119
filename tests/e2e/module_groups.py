"""Expected report lines of the module groups and the DVI group, built from compact tables,
and the library calls each group made."""

from kvtest import TAB, category, group_end, group_start, subcategory, system_text, test_block
from test_cpu_board import dump

COMPATIBILITY = ("The compatibility ID is used to recognize hardware changes that are important for device specific "
                 "software.")
PARENT_DEVICE = ("The parent device ID indicates the device, from which the actual device was derived (e.g. at a "
                 "customer specific variant of a standard device). FFFFFFFFh means no parent.")
PARENT_COMPATIBILITY = ("The compatibility ID indicates the device, from which the actual device was derived (e.g. at "
                        "a customer specific variant of a standard device). FFFFh means no parent.")
TEXT_SET = [("Version", None), ("Vendor ID", "Kavrol = 0."), ("Device ID", None),
            ("Compatibility ID", COMPATIBILITY), ("Parent Device ID", PARENT_DEVICE),
            ("Parent Compatibility ID", PARENT_COMPATIBILITY), ("Hardware revision", None), ("Serial number", None),
            ("Model number", None), ("Raw data", None)]
SLIDE_IN_SET = [("Version", "Factory settings version of slide-in drive."),
                ("Vendor ID", "Vendor ID of slide-in drive. Kavrol = 0."),
                ("Device ID", "Device ID of slide-in drive."),
                ("Compatibility ID", "Compatibility ID of slide-in drive. " + COMPATIBILITY),
                ("Parent Device ID", "Parent device ID of slide-in drive. " + PARENT_DEVICE),
                ("Parent Compatibility ID", "Parent compatibility ID of slide-in drive. " + PARENT_COMPATIBILITY),
                ("Hardware revision", "Hardware revision of slide-in drive."),
                ("Serial number", "Serial number of slide-in drive."),
                ("Model number", "Model number of slide-in drive."),
                ("Raw data", "Complete factory settings of slide-in drive.")]

# Module: label set, raw-data description, base, version and raw-data selectors, raw-data size.
MODULES = {
    "bus unit": (TEXT_SET, "Complete factory settings of bus unit.", 85, 93, 94, 1024),
    "display link": (TEXT_SET, "Complete factory settings of Display Link.", 95, 103, 104, 1024),
    "I/O board": (TEXT_SET, "Complete factory settings of I/O Board.", 61, 79, 83, 1024),
    "IF board 1": (TEXT_SET, "Complete factory settings of IF Board.", 53, 78, 82, 1024),
    "IF board 2": (TEXT_SET, "Complete factory settings of IF Board.", 105, 113, 114, 1024),
    "case fan kit": (TEXT_SET, "Complete factory settings of fan kit.", 125, 133, 134, 512),
    "bus fan kit": (TEXT_SET, "Complete factory settings of fan kit.", 155, 163, 164, 384),
    "slide-in drive 1": (SLIDE_IN_SET, None, 135, 143, 144, 512),
    "slide-in drive 2": (SLIDE_IN_SET, None, 145, 153, 154, 512),
}


def ok(text, fmt="String"):
    return (str(text), fmt, "Passed")


def alarm(text, fmt):
    return (str(text), fmt, "Alarm")


def failed(code):
    return (system_text(code), "String", "Failed")


def answer_bytes(answer, size):
    """The bytes a hex answer of a profile delivers into a zeroed buffer of size bytes."""
    rows = answer["hex"] if isinstance(answer["hex"], list) else [answer["hex"]]
    data = bytes.fromhex("".join(rows).replace(" ", ""))
    return data + bytes([answer.get("fill", 0)]) * (size - len(data))


def hex_answer(data):
    return {"hex": " ".join("%02X" % b for b in data)}


def factory(profile, module, **changes):
    """The ten factory tests of a module with the answers of its profile; changes replace results by label
    ("Serial_number")."""
    labels, raw_description, base, version, raw_selector, raw_size = MODULES[module]
    values, strings = profile["IxaGetFactoryValue"], profile["IxaGetFactoryStringW"]

    def number(selector, digits):
        value = values[str(selector)]
        value = value.get("u32", value.get("u16"))
        return ok("%0*X" % (digits, int(value, 16) if isinstance(value, str) else value), "Hex")

    raw = answer_bytes(values[str(raw_selector)], raw_size)
    results = [ok(values[str(version)]["wstr"]), number(base + 2, 8), number(base, 8), number(base + 1, 4),
               number(base + 6, 8), number(base + 7, 4), ok(values[str(base + 3)]["wstr"]),
               ok(strings[str(base + 4)]["wstr"].rstrip("\n")), ok(strings[str(base + 5)]["wstr"]),
               ok(dump(raw, raw_size), "Raw")]
    tests = []
    for (label, description), result in zip(labels, results):
        if label == "Raw data" and raw_description:
            description = raw_description
        tests.append((label, changes.get(label.replace(" ", "_"), result), description))
    return tests


def all_failed(module, code):
    return [(label, failed(code), description) for label, description in MODULES[module][0]]


def counters(cycles, hours, labels=("Power-on cycles", "Power-on hours")):
    return [(label, value if isinstance(value, tuple) else ok(value, "Dec"))
            for label, value in zip(labels, (cycles, hours))]


def numbered(label, values, fmt):
    """Tests "<label> 1" to "<label> 4"; None leaves one out, a tuple is a whole result."""
    return [("%s %d" % (label, n), value if isinstance(value, tuple) else ok(value, fmt))
            for n, value in enumerate(values, 1) if value is not None]


def sensors(*values):
    return numbered("Sensor", values, "DegreeCentigrade")


def firmware(version, boot_mode):
    return [("FPGA firmware version", version if isinstance(version, tuple) else ok(version)),
            ("Boot mode", boot_mode if isinstance(boot_mode, tuple) else ok(boot_mode))]


class Layout:
    """The expected lines of one group, numbered as its place in the scan gives it."""

    def __init__(self, scan, name, description, first_category, first_subcategory="CatUndef"):
        start = scan.lines.index(TAB * 2 + "<GroupName>%s</GroupName>" % name) - 2
        self.next_test = 1 + sum(1 for line in scan.lines[:start] if line.startswith(TAB * 7 + "<TestNumber>"))
        self.lines = group_start(scan.groups().index(name) + 1, name, description, first_category,
                                 first_subcategory)
        self.open = first_subcategory is not None

    def category(self, name, first_subcategory="CatUndef"):
        self.lines += category(name, first_subcategory, self.open)
        self.open = first_subcategory is not None

    def subcategory(self, name):
        self.lines += subcategory(name, self.open)
        self.open = True

    def tests(self, tests):
        """(label, result[, description]); a result of None writes the test without result lines."""
        for test in tests:
            label, result = test[0], test[1]
            description = (test[2] if len(test) > 2 else None) or "DescrUndef"
            block = test_block(label, self.next_test, *(result or ("",)), description=description)
            self.lines += block if result else block[:4] + block[-1:]
            self.next_test += 1

    def end(self):
        return [piece for line in self.lines + group_end(self.open) for piece in line.split("\r\n")]


def bus_unit(scan, factory_tests, counter_tests):
    g = Layout(scan, "Bus Unit", "Contains tests of bus unit related items like factory settings or statistics.",
               "Factory Settings")
    g.tests(factory_tests)
    g.category("Statistics")
    g.tests(counter_tests)
    return g.end()


def slide_in_drives(scan, *drives):
    """drives: (slot, factory tests, temperature result or None)."""
    g = Layout(scan, "Slide-In Drives",
               "Contains tests of slide-in drive related items like factory settings or statistics.",
               "Slide-In Drive %d" % drives[0][0], None)
    for index, (slot, factory_tests, temperature) in enumerate(drives):
        if index:
            g.category("Slide-In Drive %d" % slot, None)
        g.subcategory("Factory Settings")
        g.tests(factory_tests)
        g.subcategory("Temperatures")
        if temperature:
            g.tests([("Slide-in drive %d" % slot, temperature, "Temperature of slide-in drive.")])
    return g.end()


def fan_kits(scan, *kits):
    """kits: (category, factory tests, counter tests, fan tests)."""
    g = Layout(scan, "Fan Kits", "Contains tests of fan kit related items like factory settings or statistics.",
               kits[0][0], None)
    for index, (name, factory_tests, counter_tests, fan_tests) in enumerate(kits):
        if index:
            g.category(name, None)
        for sub, tests in (("Factory Settings", factory_tests), ("Statistics", counter_tests),
                           ("Fan Speeds", fan_tests)):
            g.subcategory(sub)
            g.tests(tests)
    return g.end()


def if_boards(scan, *boards):
    """boards: (slot, factory tests, sensor tests or None for no subcategory, counter tests)."""
    g = Layout(scan, "IF Boards", "Contains tests of IF board related items like factory settings or statistics.",
               "IF Board %d" % boards[0][0], None)
    for index, (slot, factory_tests, sensor_tests, counter_tests) in enumerate(boards):
        if index:
            g.category("IF Board %d" % slot, None)
        g.subcategory("Factory Settings")
        g.tests(factory_tests)
        if sensor_tests:
            g.subcategory("Temperatures")
            g.tests(sensor_tests)
        g.subcategory("Statistics")
        g.tests(counter_tests)
    return g.end()


def io_board(scan, firmware_tests, factory_tests, sensor_tests, counter_tests):
    g = Layout(scan, "I/O Board", "Contains tests of I/O related items like factory settings or statistics.",
               "Firmware")
    for name, tests in (("Firmware", firmware_tests), ("Factory Settings", factory_tests),
                        ("Temperatures", sensor_tests), ("Statistics", counter_tests)):
        if name != "Firmware":
            g.category(name)
        g.tests(tests)
    return g.end()


def display_link(scan, firmware_tests, factory_tests, counter_tests, sensor_tests=None):
    """sensor_tests None: no "Temperatures" category."""
    g = Layout(scan, "Display Link",
               "Contains tests of Display Link related items like factory settings or statistics.", "Firmware")
    g.tests(firmware_tests)
    for name, tests in (("Factory Settings", factory_tests), ("Statistics", counter_tests),
                        ("Temperatures", sensor_tests)):
        if tests is not None:
            g.category(name)
            g.tests(tests)
    return g.end()


PORTS = {1: "Monitor/Panel", 2: "Display/VD Link Slot (if present)"}
DVI_COMPATIBILITY = ("The compatibility ID is used to recognize hardware changes that are important for "
                     "device-specific software.")


def dvi_settings(data, resolution, block=None, manufacturer="6B5E"):
    """The "DVI Settings" tests of a display: block (vendor, device, compatibility, revision, serial, model)
    for the maker's identification block, None for a maker's display without it."""
    tests = [("Available", ok("Yes", "YesNo"))]
    if manufacturer != "6B5E":
        tests.append(("Manufacturer ID", ok("Unknown")))
    elif block is None:
        tests += [("Manufacturer ID", ok("6B5E", "Hex")), ("Header ID", ok("No Kavrol internal data!"))]
    else:
        tests += [("Manufacturer ID", ok("6B5E", "Hex")), ("Header ID", ok("FF55AAFF0000FFFF", "Hex"))]
        labels = [("Vendor ID", "Kavrol = 0."), ("Device ID", None), ("Compatibility ID", DVI_COMPATIBILITY),
                  ("Hardware revision", None), ("Serial number", None), ("Model number", None)]
        tests += [(label, ok(value), description) for (label, description), value in zip(labels, block)]
    return tests + [("Display resolution", resolution if isinstance(resolution, tuple) else ok(resolution)),
                    ("Raw data", ok(dump(data, 256), "Raw"), "Complete factory settings")]


def dvi(scan, *channels):
    """channels: (number, "Panel connected" result or None for none, settings tests or None)."""
    g = Layout(scan, "DVI", "Contains tests of DVI related items like display data or port names.",
               "DVI Channel 1", "Port Information")
    for number, connected, settings in channels:
        if number == 2:
            g.category("DVI Channel 2", "Port Information")
        g.tests([("Port name", ok(PORTS[number])), ("Panel connected", connected)])
        if settings:
            g.subcategory("DVI Settings")
            g.tests(settings)
    return g.end()


def group_calls(scan, first_call=None):
    """The library calls of one group: from its device-type read up to the next group's. The group is the
    first whose first call after the device-type read starts with first_call; None: the last group."""
    groups = []
    for line in scan.trace:
        if line.startswith("IxaGetDeviceType("):
            groups.append([])
        elif groups:
            groups[-1].append(line)
    if first_call is None:
        return groups[-1]
    return next(calls for calls in groups if calls and calls[0].startswith(first_call))


def selected(calls, *prefixes):
    return [call for call in calls if call.startswith(prefixes)]
