#!/usr/bin/env python3
"""Checks the report stylesheet by rendering sample reports with xsltproc.

Usage: test_stylesheet.py [--xsl PATH] [--reports DIR] [--xsltproc PATH]

Defaults: resources/KvInspectra.xsl and tests/stylesheet/ of the repository
this script lives in. The reports in DIR are covering.xml (every rule of the
page) and no-sensors.xml (a report without sensors, failures or alarms).
Both are UTF-16 LE files in the writer's exact line format; to edit one,
convert it with iconv to UTF-8, edit, and convert it back with the BOM and
CR LF line ends kept.

Prints one line per test case and, last, "N passed, M failed"; exits 1 when
any case failed, 2 when it cannot run at all.
"""

import argparse
import html.parser
import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

NBSP = "\u00a0"
DEG = "\u00b0"
XSL_NS = "http://www.w3.org/1999/XSL/Transform"

# ----------------------------------------------------------------- HTML tree


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag = tag
        self.attrs = dict(attrs)
        self.parent = parent
        self.children = []

    def cls(self):
        return (self.attrs.get("class") or "").split()

    def text(self):
        parts = []
        for child in self.children:
            parts.append(child if isinstance(child, str) else child.text())
        return "".join(parts)

    def elements(self):
        return [c for c in self.children if isinstance(c, Node)]

    def iter(self, tag=None):
        for child in self.children:
            if isinstance(child, Node):
                if tag is None or child.tag == tag:
                    yield child
                yield from child.iter(tag)

    def find_all(self, tag=None, cls=None):
        return [n for n in self.iter(tag) if cls is None or cls in n.cls()]

    def find(self, tag=None, cls=None):
        found = self.find_all(tag, cls)
        return found[0] if found else None


class TreeBuilder(html.parser.HTMLParser):
    VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input",
            "link", "meta", "param", "source", "track", "wbr"}

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#document", {}, None)
        self.current = self.root
        self.doctype = None

    def handle_decl(self, decl):
        self.doctype = decl

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.current)
        self.current.children.append(node)
        if tag not in self.VOID:
            self.current = node

    def handle_startendtag(self, tag, attrs):
        self.current.children.append(Node(tag, attrs, self.current))

    def handle_endtag(self, tag):
        node = self.current
        while node is not self.root and node.tag != tag:
            node = node.parent
        if node is self.root:
            raise ValueError("stray end tag </%s>" % tag)
        self.current = node.parent

    def handle_data(self, data):
        self.current.children.append(data)


def parse_html(text):
    builder = TreeBuilder()
    builder.feed(text)
    builder.close()
    if builder.current is not builder.root:
        raise ValueError("unclosed element <%s>" % builder.current.tag)
    return builder.root, builder.doctype


# --------------------------------------------------------------- test runner


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure("%s: expected %r, got %r" % (what, expected, actual))


CASES = []


def case(func):
    CASES.append(func)
    return func


class Page:
    """One rendered report with the lookups the cases share."""

    def __init__(self, html_text):
        self.html = html_text
        self.root, self.doctype = parse_html(html_text)
        self.body = self.root.find("body")
        self.by_id = {}
        self.duplicate_ids = []
        for node in self.root.iter():
            node_id = node.attrs.get("id")
            if node_id is None:
                continue
            if node_id in self.by_id:
                self.duplicate_ids.append(node_id)
            self.by_id[node_id] = node

    def section(self, anchor):
        """The div that holds the heading with the given id."""
        heading = self.by_id.get(anchor)
        check(heading is not None, "no element with id %s" % anchor)
        check(heading.parent.tag == "div", "%s is not the heading of a section" % anchor)
        return heading.parent

    def visible_text(self):
        return self.body.text()


def render(xsltproc, xsl, report):
    result = subprocess.run([xsltproc, "--nonet", xsl, report],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise RuntimeError("xsltproc failed on %s: %s"
                           % (report, result.stderr.decode("utf-8", "replace")))
    return result.stdout.decode("utf-8")


# ------------------------------------------------------------ expectations

# Every shown test of covering.xml: number, name, status, result cell text,
# remark, marked red.
COVERING_ROWS = [
    (1, "Product name", "Passed", "Windows 10 IoT Enterprise", "Name of the installed Windows product", False),
    (2, "Administrator", "Passed", "Yes", "", False),
    (3, "Registered owner", "Passed", NBSP, "", False),
    (4, "Product ID", "Passed", "A&amp;B \"q\" <x> 'y'", "Text with <markup> & \"quotes\"", False),
    (5, "Version", "Passed", "V1.23", "", False),
    (6, "ID", "Passed", "4F2Ah", "", False),
    (7, "Boot mode", "Failed", "The system cannot find the file specified.\n", "", True),
    (8, "Key lock", "Failed", "Disabled", "", True),
    (9, "Clock", "Passed", "1600 MHz", "", False),
    (10, "Cache L2", "Passed", "512 KB", "", False),
    (11, "Load", "Passed", "12%", "", False),
    (12, "Internal", "Passed", "45.00 " + DEG + "C", "", False),
    (13, "VcoreA", "Passed", "1.104 V", "", False),
    (14, "VcoreB", "Alarm", "0.950 V", "Only supported on WTB2 CPU boards", True),
    (15, "Total", "Passed", "4 GB", "", False),
    (16, "Free", "Passed", "2048 MB", "", False),
    (17, "Page file", "Passed", "1073741824 bytes", "", False),
    (18, "Raw data", "Passed",
     "000102030405060708090A0B0C0D0E0F\n101112131415161718191A1B1C1D1E1F\n"
     "202122232425262728292A2B2C2D2E2F\n(remaining 1000 bytes are FF)",
     "Complete factory settings", False),
    (22, "Case fan 1", "Passed", "2350 rpm", "", False),
    (23, "Case fan 2", "Alarm", "1200 rpm", "", True),
    (24, "Current", "Passed", "3100 rpm", "Current fan speed", False),
    (25, "Power-on hours", "Passed", "12h 30min", "Operating hours", False),
    (26, "Current", "Passed", "41.25 " + DEG + "C", "Current temperature", False),
    (27, "Max.", "Passed", "60.00 " + DEG + "C", "Maximum temperature", False),
    (28, "Log", "Passed", "1h 15min",
     "\"Log hours\" indicates the amount of time the temperature overshot the max. log limit.", False),
    (29, "Current", "Alarm", "71.50 " + DEG + "C", "Current temperature", True),
    (30, "Fan", "Passed", "1800 rpm", "", False),
    (31, "Current", "Passed", "900 rpm", "", False),
    (32, "Input current", "Passed", "1.20 A", "", False),
    (33, "CPU power", "Passed", "35 W", "", False),
    (34, "Uptime", "Passed", "125 min", "", False),
    (35, "Response time", "Passed", "3 sec", "", False),
    (36, "Latency", "Passed", "15 ms", "", False),
    (37, "Counter", "Passed", "7", "", False),
    (38, "Mode", "Passed", "x", "", False),
    (39, "Odd status", "", "5", "", False),
    (40, "Sensor 3", "Alarm", "65 " + DEG + "C", "", True),
    (41, "Link state", "Failed", "Down", "", True),
    (42, "Vin voltage", "Passed", NBSP, "", False),
    (43, "Sensor 4", "Failed", "-128 " + DEG + "C", "", True),
]

# Tests 19 to 21 sit directly under a category.
UNSHOWN_TESTS = [19, 20, 21]

COVERING_GROUPS = [
    (1, "Operating System",
     "Contains tests of several operating system specific items like product ID, user privileges or version numbers."),
    (2, "BIOS", ""),
    (3, "CPU", "Contains CPU related tests like clock, temperature and voltages."),
    (4, "Memory", "Contains memory related tests."),
    (5, "Fan Kits", "Contains tests of fan kit related items like factory settings or statistics."),
    (6, "System Unit",
     "Contains tests of system unit specific items like temperatures, factory settings or fan speeds."),
    (7, "Display Link", ""),
]

# What each group section shows, in order: category headings (h3),
# subcategory headings (h4) and test tables by test number.
COVERING_OUTLINE = {
    1: [("h3", "Windows"), ("table", [1, 2]), ("h3", "Registration Details"), ("table", [3, 4])],
    2: [("table", [5, 6, 7]), ("h3", "Key Configuration"), ("table", [8])],
    3: [("h3", "Processor"), ("table", [9, 10, 11]), ("h3", "Temperatures"), ("table", [12]),
        ("h3", "Voltages"), ("table", [13, 14])],
    4: [("h3", "Memory Module 1"), ("h4", "Size"), ("table", [15, 16, 17]),
        ("h4", "Factory Settings"), ("table", [18]), ("h3", "Loose Tests")],
    5: [("h3", "Case Fan Kit"), ("h4", "Factory Settings"), ("h4", "Fan Speeds"), ("table", [22, 23])],
    6: [("h3", "Fans"), ("h4", "Fan 1"), ("table", [24, 25]),
        ("h3", "Temperatures"), ("h4", "Sensor 1"), ("table", [26, 27, 28]),
        ("h4", "Sensor 2"), ("table", [29]),
        ("h3", "Case Fans"), ("table", [30]), ("h3", "Bus Fan"), ("table", [31]),
        ("h3", "Power"), ("table", [32, 33, 34, 35, 36, 37, 38, 39])],
    7: [("h4", "Sensors"), ("table", [40, 41, 42, 43])],
}

COVERING_CATEGORY_LINKS = {
    1: ["Windows", "Registration Details"],
    2: ["Key Configuration"],
    3: ["Processor", "Temperatures", "Voltages"],
    4: ["Memory Module 1", "Loose Tests"],
    5: ["Case Fan Kit"],
    6: ["Fans", "Temperatures", "Case Fans", "Bus Fan", "Power"],
    7: [],
}

# Sensor summaries: test number, label, value cell, marked red.
COVERING_TEMPERATURES = [
    (12, "CPU > Internal", "45.00 " + DEG + "C", False),
    (26, "System Unit > Sensor 1", "41.25 " + DEG + "C", False),
    (29, "System Unit > Sensor 2", "71.50 " + DEG + "C", True),
    (40, "Display Link > Sensors", "65 " + DEG + "C", True),
    (43, "Display Link > Sensors", "-128 " + DEG + "C", False),
]
COVERING_FANS = [
    (22, "Fan Kits > Fan Speeds > Case fan 1", "2350 rpm", False),
    (23, "Fan Kits > Fan Speeds > Case fan 2", "1200 rpm", True),
    (24, "System Unit > Fan 1", "3100 rpm", False),
    (30, "System Unit > Fan", "1800 rpm", False),
    (31, "System Unit > Current", "900 rpm", False),
]
COVERING_VOLTAGES = [
    (13, "CPU > VcoreA", "1.104 V", False),
    (14, "CPU > VcoreB", "0.950 V", True),
    (42, "Display Link > Vin voltage", NBSP, False),
]
COVERING_FAILED = [
    (7, "BIOS > Boot mode"),
    (8, "BIOS > Key Configuration > Key lock"),
    (41, "Display Link > Sensors > Link state"),
    (43, "Display Link > Sensors > Sensor 4"),
]
COVERING_ALARMS = [
    (14, "CPU > Voltages > VcoreB"),
    (23, "Fan Kits > Case Fan Kit > Fan Speeds > Case fan 2"),
    (29, "System Unit > Temperatures > Sensor 2 > Current"),
    (40, "Display Link > Sensors > Sensor 3"),
]

SUMMARY_ANCHORS = ["TEMPERATURES", "FANS", "VOLTAGES", "FAILED", "ALARMS"]

NONE_TEXTS = {
    "TEMPERATURES": "No temperature sensors available.",
    "FANS": "No fan sensors available.",
    "VOLTAGES": "No voltage sensors available.",
    "FAILED": "No test failed.",
    "ALARMS": "No sensor had an alarm state.",
}

# ------------------------------------------------------------------ helpers


def is_red(node):
    return "bad" in node.cls()


def css_rules(page):
    """(media, selector, declarations) of the page's own style sheet."""
    style = page.root.find("style")
    check(style is not None, "no style element")
    text = re.sub(r"/\*.*?\*/", "", style.text(), flags=re.S)
    rules = []
    media = None
    depth = 0
    for token in re.finditer(r"([^{}]*)\{|\}", text):
        if token.group(0) == "}":
            depth -= 1
            if depth == 0:
                media = None
            continue
        prelude = token.group(1).strip()
        depth += 1
        if prelude.startswith("@media"):
            media = prelude
            continue
        end = text.index("}", token.end())
        body = text[token.end():end]
        declarations = {}
        for part in body.split(";"):
            if ":" in part:
                name, value = part.split(":", 1)
                declarations[name.strip().lower()] = value.strip()
        for selector in prelude.split(","):
            rules.append((media, " ".join(selector.split()), declarations))
    return rules


def is_red_colour(value):
    value = value.strip().lower()
    if value == "red":
        return True
    match = re.fullmatch(r"#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})", value)
    if not match:
        return False
    r, g, b = (int(x, 16) for x in match.groups())
    return r >= 0x99 and g <= 0x40 and b <= 0x40


def test_row(page, number):
    anchor = page.by_id.get("TST%d" % number)
    check(anchor is not None, "no anchor TST%d" % number)
    row = anchor
    while row is not None and row.tag != "tr":
        row = row.parent
    check(row is not None, "anchor TST%d is not inside a table row" % number)
    return anchor, row


def group_sections(page):
    return [page.section("GRP%d" % g[0]) for g in COVERING_GROUPS]


def section_outline(section):
    outline = []
    for child in section.elements():
        if child.tag in ("h3", "h4"):
            outline.append((child.tag, child.text()))
        elif child.tag == "table":
            numbers = []
            for row in child.find("tbody").find_all("tr"):
                anchor = row.find("a")
                numbers.append(int(anchor.attrs["id"][3:]))
            outline.append(("table", numbers))
    return outline


def summary_rows(page, anchor):
    section = page.section(anchor)
    table = section.find("table")
    check(table is not None, "%s has no table" % anchor)
    rows = []
    for row in table.find("tbody").find_all("tr"):
        cells = row.find_all("td")
        check(len(cells) == 2, "%s row with %d cells" % (anchor, len(cells)))
        link = cells[0].find("a")
        check(link is not None, "%s row without a link" % anchor)
        href = link.attrs.get("href", "")
        check(href.startswith("#TST"), "%s link %r" % (anchor, href))
        rows.append((int(href[4:]), link.text(), cells[1].text(), is_red(row)))
    return rows


def list_entries(page, anchor):
    section = page.section(anchor)
    items = section.find("ul")
    check(items is not None, "%s has no list" % anchor)
    entries = []
    for item in items.find_all("li"):
        link = item.find("a")
        href = link.attrs.get("href", "")
        check(href.startswith("#TST"), "%s link %r" % (anchor, href))
        entries.append((int(href[4:]), link.text()))
    return entries


# -------------------------------------------------------------- stylesheet


@case
def stylesheet_is_utf8_with_byte_order_mark(ctx):
    with open(ctx.xsl, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xef\xbb\xbf"), "the stylesheet does not start with EF BB BF")
    data[3:].decode("utf-8")
    check(not data[3:].startswith(b"\xef\xbb\xbf"), "byte-order mark written twice")


@case
def stylesheet_uses_only_portable_xslt_1(ctx):
    tree = ET.parse(ctx.xsl)
    root = tree.getroot()
    check_equal(root.tag, "{%s}stylesheet" % XSL_NS, "root element")
    check_equal(root.get("version"), "1.0", "XSLT version")
    for attr in ("extension-element-prefixes", "exclude-result-prefixes"):
        check(root.get(attr) is None, "stylesheet declares %s" % attr)
    allowed = {"stylesheet", "output", "key", "variable", "param", "template", "apply-templates",
               "call-template", "with-param", "value-of", "text", "if", "choose", "when",
               "otherwise", "for-each", "attribute", "sort", "copy-of", "element", "comment"}
    for node in root.iter():
        if not isinstance(node.tag, str):
            continue
        if node.tag.startswith("{"):
            namespace, local = node.tag[1:].split("}")
            check(namespace == XSL_NS, "element from foreign namespace %s" % namespace)
            check(local in allowed, "xsl:%s is not allowed" % local)
        for name, value in node.attrib.items():
            check(name != "disable-output-escaping", "disable-output-escaping used")
            check(not re.search(r"\b(document|system-property|function-available|"
                                r"element-available|unparsed-entity-uri)\s*\(", value),
                  "non-portable function in %r" % value)
            check(not re.search(r"\b[A-Za-z_][\w.-]*:[A-Za-z_][\w.-]*\s*\(", value),
                  "extension function in %r" % value)
    outputs = root.findall("{%s}output" % XSL_NS)
    check_equal(len(outputs), 1, "xsl:output elements")
    check_equal(outputs[0].get("method"), "html", "output method")
    check_equal((outputs[0].get("encoding") or "").upper(), "UTF-8", "output encoding")


@case
def sample_reports_follow_the_writer_line_format(ctx):
    for name in ("covering.xml", "no-sensors.xml"):
        check_report_format(os.path.join(ctx.reports, name))


def check_report_format(path):
    name = os.path.basename(path)
    with open(path, "rb") as f:
        data = f.read()
    check(data.startswith(b"\xff\xfe"), "%s: no UTF-16 LE byte-order mark" % name)
    text = data[2:].decode("utf-16-le")
    check(text.endswith("\r\n"), "%s: last line without CR LF" % name)
    check("\n" not in text.replace("\r\n", ""), "%s: line feed without carriage return" % name)
    lines = text[:-2].split("\r\n")
    stem = os.path.splitext(name)[0]
    check_equal(lines[0], '<?xml version="1.0" encoding="utf-16"?>', "%s line 1" % name)
    check_equal(lines[1], '<?xml-stylesheet type="text/xsl" href="%s.xsl"?>' % stem, "%s line 2" % name)
    fixed = {"KvInspectraReport": 0, "Header": 1, "Version": 2, "KvDeviceType": 2, "Time": 2,
             "Date": 2, "Author": 2, "ComputerName": 2, "TestGroup": 1, "GroupNumber": 2,
             "GroupName": 2, "Category": 2, "CategoryName": 3, "Test": 6, "TestName": 7,
             "TestDescription": 7, "TestNumber": 7, "TestResult": 7, "TestStatus": 7}
    containers = {"KvInspectraReport", "Header", "TestGroup", "Category", "SubCategory", "Test"}
    previous = ""
    previous_tabs = ""
    open_value = None
    for number, line in enumerate(lines[2:], start=3):
        where = "%s line %d" % (name, number)
        if open_value:
            # A value with line breaks goes on up to its end tag.
            if line.endswith("</%s>" % open_value):
                open_value = None
            continue
        match = re.fullmatch(r"(\t*)<(/?)(\w+)( Format=\"\w+\")?>(.*)", line)
        check(match is not None, "%s: not a report line: %r" % (where, line))
        tabs, closing, element, attribute, rest = match.groups()
        if element in containers:
            check(rest == "", "%s: text after <%s%s>" % (where, closing, element))
        elif not rest.endswith("</%s>" % element):
            open_value = element
        if element == "GroupDescription":
            expected = 7 if rest == "DescrUndef</GroupDescription>" else 2
        elif element == "SubCategory" and closing:
            expected = 3
        elif element == "SubCategory":
            # 4 when the writer opens it along with its category, 3 when the
            # caller opens it; only the first can follow a CategoryName.
            expected = len(tabs) if previous == "CategoryName" and len(tabs) == 4 else 3
        elif element == "SubCategoryName":
            expected = len(previous_tabs) + 1
        else:
            check(element in fixed, "%s: unknown element %s" % (where, element))
            expected = fixed[element]
        check_equal(len(tabs), expected, "%s: tabs before <%s%s>" % (where, closing, element))
        check((attribute is not None) == (element == "TestResult" and not closing),
              "%s: Format attribute on %s" % (where, element))
        previous = element
        previous_tabs = tabs
    check(open_value is None, "%s: value of %s not closed" % (name, open_value))
    check_equal(lines[-1], "</KvInspectraReport>", "%s last line" % name)
    ET.fromstring(text.encode("utf-16"))


# ----------------------------------------------------------- page framing


@case
def page_title_names_product_computer_and_date(ctx):
    title = ctx.covering.root.find("title")
    check(title is not None, "no title")
    text = title.text()
    for part in ("Kavrol Inspectra", "PANEL-07", "8 Dec 2026"):
        check(part in text, "title %r lacks %r" % (text, part))
    other = ctx.no_sensors.root.find("title").text()
    check("PC-01" in other and "1 Jan 2027" in other, "title %r does not follow the header" % other)


@case
def main_heading_names_product(ctx):
    headings = ctx.covering.body.find_all("h1")
    check_equal(len(headings), 1, "number of h1 headings")
    check("Kavrol Inspectra" in headings[0].text(), "h1 %r" % headings[0].text())


@case
def report_information_table_lists_header_fields(ctx):
    table = ctx.covering.body.find("table", "info")
    check(table is not None, "no report information table")
    rows = [(r.find("th").text(), r.find("td").text()) for r in table.find_all("tr")]
    check_equal(rows, [("Version", "Kavrol Inspectra V2.0"), ("Device Type", "Kavrol Panevox P50"),
                       ("Computer", "PANEL-07"), ("Author", "operator"),
                       ("Date", "8 Dec 2026"), ("Time", "14:05:09")], "information rows")


@case
def page_is_self_contained_without_scripts(ctx):
    for page in (ctx.covering, ctx.no_sensors):
        check(not page.root.find_all("script"), "script element")
        check(not page.root.find_all("link"), "link element")
        for node in page.root.iter():
            check("src" not in node.attrs, "<%s src=...>" % node.tag)
            check(not any(a.startswith("on") for a in node.attrs), "event handler on <%s>" % node.tag)
            href = node.attrs.get("href")
            check(href is None or href.startswith("#"), "external link %r" % href)
        check(page.doctype is not None and page.doctype.lower().startswith("doctype html"),
              "no HTML document type")


@case
def style_sheet_has_print_rules(ctx):
    rules = css_rules(ctx.covering)
    check(any(media and "print" in media for media, _, _ in rules), "no @media print rule")


@case
def all_anchors_are_unique_and_all_links_resolve(ctx):
    for page in (ctx.covering, ctx.no_sensors):
        check_equal(page.duplicate_ids, [], "duplicate ids")
        for link in page.root.find_all("a"):
            href = link.attrs.get("href")
            if href is not None:
                check(href[1:] in page.by_id, "link %s has no target" % href)


# ----------------------------------------------------------------- contents


@case
def contents_has_one_row_per_group(ctx):
    page = ctx.covering
    table = page.section("TOC").find("table")
    check(table is not None, "no contents table")
    rows = []
    for row in table.find("tbody").find_all("tr"):
        cells = row.find_all("td")
        link = cells[1].find("a")
        rows.append((cells[0].text(), link.text(), link.attrs.get("href"), cells[2].text()))
    expected = [(str(n), name, "#GRP%d" % n, descr) for n, name, descr in COVERING_GROUPS]
    check_equal(rows, expected, "contents rows")


@case
def contents_links_to_summaries_and_lists(ctx):
    targets = [a.attrs.get("href") for a in ctx.covering.section("TOC").find("ul").find_all("a")]
    check_equal(targets, ["#" + a for a in SUMMARY_ANCHORS], "contents links")


# ----------------------------------------------------------- group sections


@case
def group_sections_have_numbered_headings(ctx):
    for number, name, _ in COVERING_GROUPS:
        heading = ctx.covering.by_id.get("GRP%d" % number)
        check(heading is not None, "no anchor GRP%d" % number)
        check_equal(" ".join(heading.text().split()), "Test Group %d: %s" % (number, name),
                    "heading of group %d" % number)


@case
def every_section_ends_with_link_to_contents(ctx):
    for page in (ctx.covering, ctx.no_sensors):
        anchors = [n.attrs["id"] for n in page.root.find_all("h2") if n.attrs.get("id", "").startswith("GRP")]
        check(anchors, "no group sections")
        for anchor in anchors + SUMMARY_ANCHORS:
            last = page.section(anchor).elements()[-1]
            links = last.find_all("a")
            check(len(links) == 1 and links[0].attrs.get("href") == "#TOC",
                  "section %s does not end with a link to #TOC" % anchor)


@case
def category_link_lines_skip_unnamed_categories(ctx):
    for (number, _, _), section in zip(COVERING_GROUPS, group_sections(ctx.covering)):
        lines = section.find_all("p", "categories")
        expected = COVERING_CATEGORY_LINKS[number]
        if not expected:
            check_equal(len(lines), 0, "category link lines in group %d" % number)
            continue
        check_equal(len(lines), 1, "category link lines in group %d" % number)
        links = lines[0].find_all("a")
        check_equal([a.text() for a in links], expected, "category links of group %d" % number)
        for link in links:
            target = ctx.covering.by_id.get(link.attrs["href"][1:])
            check(target is not None and target.tag == "h3" and target.parent is section
                  and target.text() == link.text(),
                  "category link %r of group %d does not reach its heading" % (link.text(), number))


@case
def sections_show_named_headings_and_tables_in_order(ctx):
    for (number, _, _), section in zip(COVERING_GROUPS, group_sections(ctx.covering)):
        check_equal(section_outline(section), COVERING_OUTLINE[number], "outline of group %d" % number)


@case
def placeholder_names_never_appear(ctx):
    for page in (ctx.covering, ctx.no_sensors):
        text = page.visible_text()
        check("CatUndef" not in text, "CatUndef shown")
        check("DescrUndef" not in text, "DescrUndef shown")


@case
def test_tables_have_the_four_columns(ctx):
    tables = ctx.covering.body.find_all("table", "tests")
    check(tables, "no test tables")
    for table in tables:
        headers = [th.text() for th in table.find("thead").find_all("th")]
        check_equal(headers, ["Test name", "Test status", "Result", "Remark"], "test table columns")


@case
def test_rows_show_name_status_result_and_remark(ctx):
    for number, name, status, result, remark, _ in COVERING_ROWS:
        anchor, row = test_row(ctx.covering, number)
        cells = row.find_all("td")
        check_equal(len(cells), 4, "cells of test %d" % number)
        check(anchor.parent is cells[0], "anchor TST%d is not in the name cell" % number)
        check_equal([c.text() for c in cells], [name, status, result, remark], "row of test %d" % number)


@case
def failed_and_alarm_rows_are_red(ctx):
    rules = css_rules(ctx.covering)
    red_cells = any(sel == "tr.bad td" and is_red_colour(decl.get("color", ""))
                    for media, sel, decl in rules if media is None)
    check(red_cells, "no red colour for the cells of marked rows")
    for number, _, status, _, _, red in COVERING_ROWS:
        _, row = test_row(ctx.covering, number)
        check_equal(is_red(row), red, "red marking of test %d (%s)" % (number, status or "no status"))


@case
def units_follow_the_result_format(ctx):
    # One shown test per format; the result cell text proves the suffix.
    by_format = {"MHz": (9, "1600 MHz"), "DegreeCentigrade": (12, "45.00 " + DEG + "C"),
                 "GigaByte": (15, "4 GB"), "MegaByte": (16, "2048 MB"), "KiloByte": (10, "512 KB"),
                 "Percent": (11, "12%"), "Bytes": (17, "1073741824 bytes"), "Hex": (6, "4F2Ah"),
                 "Rpm": (22, "2350 rpm"), "Volt": (13, "1.104 V"), "Ampere": (32, "1.20 A"),
                 "Minutes": (34, "125 min"), "Seconds": (35, "3 sec"), "MilliSeconds": (36, "15 ms"),
                 "Watt": (33, "35 W"), "String": (5, "V1.23"), "YesNo": (2, "Yes"),
                 "EnableDisable": (8, "Disabled"), "Dec": (37, "7"), "Unknown": (38, "x")}
    for fmt, (number, expected) in by_format.items():
        _, row = test_row(ctx.covering, number)
        check_equal(row.find_all("td")[2].text(), expected, "result of %s test %d" % (fmt, number))


@case
def raw_result_is_fixed_pitch_and_keeps_line_breaks(ctx):
    _, row = test_row(ctx.covering, 18)
    cell = row.find_all("td")[2]
    blocks = cell.find_all("pre")
    check_equal(len(blocks), 1, "pre blocks in the raw result")
    lines = blocks[0].text().split("\n")
    check_equal(len(lines), 4, "lines of the raw result")
    check_equal(lines[0], "000102030405060708090A0B0C0D0E0F", "first raw line")
    others = [c for c in cell.children if c is not blocks[0] and (not isinstance(c, str) or c.strip())]
    check_equal(others, [], "content beside the raw block")
    for number in (5, 17, 24):
        _, other = test_row(ctx.covering, number)
        check(not other.find_all("pre"), "test %d is not raw but uses pre" % number)


@case
def empty_result_is_a_non_breaking_space(ctx):
    for number in (3, 42):
        _, row = test_row(ctx.covering, number)
        check_equal(row.find_all("td")[2].text(), NBSP, "result of test %d" % number)


@case
def tests_directly_under_a_category_are_not_shown(ctx):
    page = ctx.covering
    for number in UNSHOWN_TESTS:
        check("TST%d" % number not in page.by_id, "test %d has an anchor" % number)
        for link in page.root.find_all("a"):
            check(link.attrs.get("href") != "#TST%d" % number, "test %d is linked" % number)
    text = page.visible_text()
    for name in ("Loose temperature", "Loose fan", "Loose voltage"):
        check(name not in text, "%r shown" % name)


# --------------------------------------------------------- summaries, lists


@case
def summaries_and_lists_follow_the_groups_in_order(ctx):
    headings = [h.attrs.get("id") for h in ctx.covering.body.find_all("h2")]
    groups = ["GRP%d" % g[0] for g in COVERING_GROUPS]
    check_equal(headings, ["TOC"] + groups + SUMMARY_ANCHORS, "order of the sections")


@case
def temperature_summary_labels_by_subcategory_or_test(ctx):
    check_equal(summary_rows(ctx.covering, "TEMPERATURES"), COVERING_TEMPERATURES, "temperatures")


@case
def fan_summary_labels_leave_out_current_and_catundef(ctx):
    check_equal(summary_rows(ctx.covering, "FANS"), COVERING_FANS, "fans")


@case
def voltage_summary_labels_by_test(ctx):
    check_equal(summary_rows(ctx.covering, "VOLTAGES"), COVERING_VOLTAGES, "voltages")


@case
def failed_list_links_each_failed_test(ctx):
    check_equal(list_entries(ctx.covering, "FAILED"), COVERING_FAILED, "failed tests")


@case
def alarm_list_links_each_alarm(ctx):
    check_equal(list_entries(ctx.covering, "ALARMS"), COVERING_ALARMS, "alarms")


@case
def summaries_with_entries_show_no_none_text(ctx):
    text = ctx.covering.visible_text()
    for anchor, none_text in NONE_TEXTS.items():
        check(none_text not in text, "%r shown although %s has entries" % (none_text, anchor))


@case
def empty_summaries_and_lists_say_so(ctx):
    page = ctx.no_sensors
    for anchor, none_text in NONE_TEXTS.items():
        section = page.section(anchor)
        check(not section.find_all("table") and not section.find_all("ul"),
              "%s shows a table or list" % anchor)
        paragraphs = [p.text() for p in section.find_all("p") if "back" not in p.cls()]
        check_equal(paragraphs, [none_text], "text of %s" % anchor)


@case
def small_report_shows_its_groups(ctx):
    page = ctx.no_sensors
    table = page.section("TOC").find("table")
    rows = [[c.text() for c in r.find_all("td")] for r in table.find("tbody").find_all("tr")]
    check_equal(rows, [["1", "BIOS", ""], ["2", "Drivers", "Contains tests of the installed drivers and tools."]],
                "contents rows")
    check_equal(section_outline(page.section("GRP1")), [("table", [1, 2])], "outline of BIOS")
    check_equal(section_outline(page.section("GRP2")), [("h3", "Drivers"), ("h4", "Kernel"), ("table", [3])],
                "outline of Drivers")


# -------------------------------------------------------------------- main


class Context:
    pass


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.dirname(os.path.dirname(here))
    parser = argparse.ArgumentParser(description="Checks the report stylesheet.")
    parser.add_argument("--xsl", default=os.path.join(repo, "resources", "KvInspectra.xsl"))
    parser.add_argument("--reports", default=here)
    parser.add_argument("--xsltproc", default="xsltproc")
    args = parser.parse_args()

    ctx = Context()
    ctx.xsl = args.xsl
    ctx.reports = args.reports
    xsltproc = shutil.which(args.xsltproc)
    if xsltproc is None:
        print("cannot run: %s not found" % args.xsltproc)
        print("0 passed, %d failed" % len(CASES))
        return 2
    try:
        ctx.covering = Page(render(xsltproc, ctx.xsl, os.path.join(ctx.reports, "covering.xml")))
        ctx.no_sensors = Page(render(xsltproc, ctx.xsl, os.path.join(ctx.reports, "no-sensors.xml")))
    except (RuntimeError, ValueError, OSError) as error:
        print("cannot run: %s" % error)
        print("0 passed, %d failed" % len(CASES))
        return 2

    passed = failed = 0
    for func in CASES:
        try:
            func(ctx)
        except Failure as failure:
            failed += 1
            print("FAIL %s: %s" % (func.__name__, failure))
        except Exception as error:  # a broken page must fail the case, not the run
            failed += 1
            print("FAIL %s: %s: %s" % (func.__name__, type(error).__name__, error))
        else:
            passed += 1
            print("ok   %s" % func.__name__)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
