#!/usr/bin/env python3
"""The report in a real browser: Debian's Chromium, headless.

A scan by the real exe under Wine writes the report, its stylesheet and the HTML
page. Chromium then shows
  - the HTML page from file:// (what a user opens when the browser refuses the
    XML), and the same page over HTTP, where it must ask for nothing else;
  - the XML with its stylesheet from a loopback HTTP server (Chromium applies an
    XML file's stylesheet only over HTTP: from file:// it blocks the stylesheet
    as another origin);
and takes a screenshot of the page into $KV_BUILD_DIR/report-page.png.

Needs KV_BIN_DIR, KV_BUILD_DIR and WINEPREFIX with a running wineserver (run it
through scripts/test). Prints one line per check and, last, "N passed, M failed";
exits 1 when a check failed.
"""

import functools
import http.server
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import uuid
import xml.etree.ElementTree as ET
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import kvtest  # noqa: E402
from test_report_page import Element, canonical_lines, parse_page  # noqa: E402

CHROMIUM = "chromium"
# Running as root on a machine without network: no sandbox, no GPU, no calls home.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]
CHROMIUM_TIMEOUT = 90
SCREENSHOT_SIZE = (1280, 2000)
# Background of the section headings in the page's style sheet (h2).
HEADING_BACKGROUND = (0xE4, 0xE9, 0xF0)


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print("PASS %s" % name)
        else:
            self.failed += 1
            print("FAIL %s%s" % (name, ": " + detail if detail else ""))
        sys.stdout.flush()
        return ok


# ---------------------------------------------------------------- the scan


def scan(folder):
    """Runs one automatic scan with the built-in device profile; returns the report path."""
    exe = os.path.join(folder, "KvInspectra.exe")
    shutil.copy(os.path.join(kvtest.BIN_DIR, "KvInspectra.exe"), folder)
    shutil.copy(os.path.join(kvtest.BIN_DIR, "KvIxa.dll"), folder)
    report = os.path.join(folder, "report.xml")
    # Output to nowhere: Wine's desktop process, started by a launch, keeps that
    # launch's handles open and would hold a pipe.
    completed = subprocess.run(["timeout", "120", "wine", exe, "-o", "-f=" + kvtest.to_windows(report)],
                               env=kvtest.wine_env(), cwd=folder, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return report, completed.returncode


class ReportFacts:
    """What the page must show, read from the report itself."""

    def __init__(self, report):
        with open(report, "rb") as f:
            root = ET.fromstring(f.read())
        self.groups = [(g.findtext("GroupNumber"), g.findtext("GroupName")) for g in root.findall("TestGroup")]
        shown = root.findall("TestGroup/Category/SubCategory/Test")
        self.temperatures = [t for t in shown if t.find("TestResult").get("Format") == "DegreeCentigrade"]


# ------------------------------------------------------------------ Chromium


def chromium(*args):
    profile = tempfile.mkdtemp(prefix="kv-chromium-")
    try:
        return subprocess.run(["timeout", str(CHROMIUM_TIMEOUT), CHROMIUM] + CHROMIUM_FLAGS +
                              ["--user-data-dir=" + profile] + list(args),
                              stdin=subprocess.DEVNULL, capture_output=True)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def dump_dom(url):
    completed = chromium("--dump-dom", url)
    return completed.returncode, completed.stdout.decode("utf-8", "replace")


class ReportFolderServer:
    """The scan folder on 127.0.0.1 at a free port; remembers the paths asked for."""

    def __init__(self, folder):
        requests = self.requests = []

        class Handler(http.server.SimpleHTTPRequestHandler):
            extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                                  **{".xml": "text/xml", ".xsl": "text/xml", ".html": "text/html"})

            def do_GET(self):
                requests.append(self.path)
                super().do_GET()

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Handler, directory=folder))
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.server.server_address[1], name)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()


# ------------------------------------------------------------- page content


def by_id(page, anchor):
    return next((e for e in page.iter() if e.attrs.get("id") == anchor), None)


def classes(element):
    return element.attrs.get("class", "").split()


def find(element, tag, cls=None):
    return [e for e in element.iter() if e.tag == tag and (cls is None or cls in classes(e))]


def section_of(page, anchor):
    """The div holding the heading with the id anchor."""
    for div in find(page, "div"):
        if any(child.attrs.get("id") == anchor for child in div.children if isinstance(child, Element)):
            return div
    return None


def page_shows_the_report(checks, label, page, facts):
    # Contents: the anchor TOC, a row per group linking to GRP<n>, the summary links.
    toc = section_of(page, "TOC")
    contents = find(toc, "table", "contents") if toc else []
    links = [(a.attrs.get("href"), a.text()) for a in find(contents[0], "a")] if contents else []
    checks.check("%s: contents table links every group to GRP<n>" % label,
                 links == [("#GRP%s" % number, name) for number, name in facts.groups] and len(links) > 0,
                 "links %r, groups %r" % (links, facts.groups))
    summary_links = [a.attrs.get("href") for a in find(toc, "a") if a not in find(contents[0], "a")] \
        if contents else []
    checks.check("%s: contents link the summaries and lists" % label,
                 summary_links == ["#TEMPERATURES", "#FANS", "#VOLTAGES", "#FAILED", "#ALARMS"], repr(summary_links))

    # The first group's section: its heading, and its tests in tables.
    number, name = facts.groups[0]
    group = section_of(page, "GRP" + number)
    heading = by_id(page, "GRP" + number)
    checks.check("%s: section GRP%s has the heading \"Test Group %s: %s\"" % (label, number, number, name),
                 heading is not None and heading.tag == "h2" and heading.text() == "Test Group %s: %s" % (number, name),
                 repr(heading.text() if heading else None))
    rows = [r for t in find(group, "table", "tests") for r in find(t, "tr") if find(r, "td")] if group else []
    checks.check("%s: section GRP%s shows its tests" % (label, number), len(rows) > 0)

    # The temperature summary: one row per temperature, or the text saying there is none.
    summary = section_of(page, "TEMPERATURES")
    if facts.temperatures:
        sensors = [r for t in find(summary, "table", "sensors") for r in find(t, "tr") if find(r, "td")] \
            if summary else []
        checks.check("%s: temperature summary lists the %d temperatures" % (label, len(facts.temperatures)),
                     len(sensors) == len(facts.temperatures), "%d rows" % len(sensors))
    else:
        texts = [p.text() for p in find(summary, "p", "none")] if summary else []
        checks.check("%s: temperature summary says there is none" % label,
                     texts == ["No temperature sensors available."], repr(texts))


def body_without_banner(page):
    """The body, without the element Chromium adds to announce the end of XSLT."""
    bodies = find(page, "body")
    if not bodies:
        return None
    body = bodies[0]
    kept = Element("body", body.attrs)
    kept.children = [c for c in body.children if not (isinstance(c, Element) and c.tag == "xslt-warning-banner")]
    return kept


# -------------------------------------------------------------- screenshot


def png_pixels(data):
    """Width, height and rows of (r, g, b) of an 8-bit RGB or RGBA PNG without interlacing."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("no PNG signature")
    position, idat, header = 8, [], None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        position += 12 + length
    width, height, depth, color, _, _, interlace = header
    if depth != 8 or color not in (2, 6) or interlace:
        raise ValueError("unexpected PNG format %r" % (header,))
    channels = 3 if color == 2 else 4
    stride = width * channels
    raw = zlib.decompress(b"".join(idat))
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        if kind == 1:
            for i in range(channels, stride):
                line[i] = (line[i] + line[i - channels]) & 0xFF
        elif kind == 2:
            line = bytearray((a + b) & 0xFF for a, b in zip(line, previous))
        elif kind == 3:
            for i in range(stride):
                left = line[i - channels] if i >= channels else 0
                line[i] = (line[i] + ((left + previous[i]) >> 1)) & 0xFF
        elif kind == 4:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = previous[i]
                c = previous[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append([tuple(line[i:i + 3]) for i in range(0, stride, channels)])
        previous = line
    return width, height, rows


def check_screenshot(checks, path):
    exists = os.path.exists(path)
    checks.check("screenshot written to %s" % path, exists)
    if not exists:
        return
    with open(path, "rb") as f:
        data = f.read()
    try:
        width, height, rows = png_pixels(data)
    except (ValueError, TypeError, zlib.error, struct.error) as error:
        checks.check("screenshot is a PNG", False, str(error))
        return
    checks.check("screenshot is %dx%d" % SCREENSHOT_SIZE, (width, height) == SCREENSHOT_SIZE, "%dx%d" % (width, height))
    counts = {}
    for row in rows:
        for pixel in row:
            counts[pixel] = counts.get(pixel, 0) + 1
    total = width * height
    white = counts.get((255, 255, 255), 0)
    dark = sum(n for (r, g, b), n in counts.items() if r + g + b < 200)
    checks.check("screenshot shows a page, not a blank (%d colours, %.1f%% white)"
                 % (len(counts), 100.0 * white / total), len(counts) > 50 and 0.3 < white / total < 0.99)
    checks.check("screenshot shows text (%d dark pixels)" % dark, dark > 5000)
    checks.check("screenshot shows the styled section headings",
                 counts.get(HEADING_BACKGROUND, 0) > 10000, "%d heading pixels" % counts.get(HEADING_BACKGROUND, 0))


# --------------------------------------------------------------------- main


def main():
    checks = Checks()
    if not (kvtest.BIN_DIR and kvtest.WINEPREFIX and os.environ.get("KV_BUILD_DIR")):
        print("KV_BIN_DIR, KV_BUILD_DIR and WINEPREFIX must be set (run through scripts/test)")
        print("0 passed, 1 failed")
        return 1
    if not checks.check("chromium is installed", shutil.which(CHROMIUM) is not None):
        print("%d passed, %d failed" % (checks.passed, checks.failed))
        return 1

    folder = os.path.join(kvtest.DRIVE_C, "kvtest", "browser-" + uuid.uuid4().hex[:12])
    os.makedirs(folder)
    try:
        run(checks, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


def run(checks, folder):
    report, returncode = scan(folder)
    page_path = os.path.splitext(report)[0] + ".html"
    if not checks.check("scan wrote report, stylesheet and page (exit %d)" % returncode,
                        returncode == 0 and all(os.path.exists(os.path.splitext(report)[0] + ext)
                                                for ext in (".xml", ".xsl", ".html"))):
        return
    facts = ReportFacts(report)

    # (a) The HTML page from file://.
    code, dom = dump_dom("file://" + page_path)
    checks.check("file:// page: chromium exits 0", code == 0, "exit %d" % code)
    file_page = parse_page(dom)
    page_shows_the_report(checks, "file:// page", file_page, facts)

    with ReportFolderServer(folder) as server:
        # The same page over HTTP: self-contained, so nothing but the page is asked for.
        del server.requests[:]
        code, dom = dump_dom(server.url("report.html"))
        asked = [p for p in server.requests if p != "/favicon.ico"]
        checks.check("http page: the browser asks for the page only", asked == ["/report.html"], repr(asked))

        # (b) The XML with its stylesheet over HTTP. Chromium 156 still transforms
        # it (and adds an empty <xslt-warning-banner> announcing the end of XSLT
        # in browsers); a Chromium without XSLT fails here: then only the page is
        # left for viewing a report in it.
        del server.requests[:]
        code, dom = dump_dom(server.url("report.xml"))
        checks.check("http xml: chromium exits 0", code == 0, "exit %d" % code)
        checks.check("http xml: the browser fetched the stylesheet", "/report.xsl" in server.requests,
                     repr(server.requests))
        xml_page = parse_page(dom)
        page_shows_the_report(checks, "http xml", xml_page, facts)
        banner = find(xml_page, "xslt-warning-banner")
        print("note: the transformed XML %s Chromium's XSLT removal banner" % ("carries" if banner else "has no"))
        file_body, xml_body = body_without_banner(file_page), body_without_banner(xml_page)
        same = file_body is not None and xml_body is not None and \
            canonical_lines(file_body) == canonical_lines(xml_body)
        checks.check("http xml: the browser's own transformation shows the same body as the page", same)

    # (c) A screenshot of the page, for a look by eye as well.
    screenshot = os.path.join(os.environ["KV_BUILD_DIR"], "report-page.png")
    if os.path.exists(screenshot):
        os.remove(screenshot)
    # Without --hide-scrollbars the page's scroll bar covers its right edge.
    completed = chromium("--screenshot=" + screenshot, "--window-size=%d,%d" % SCREENSHOT_SIZE,
                         "--hide-scrollbars", "file://" + page_path)
    checks.check("screenshot: chromium exits 0", completed.returncode == 0, "exit %d" % completed.returncode)
    check_screenshot(checks, screenshot)


if __name__ == "__main__":
    sys.exit(main())
