"""The HTML page rendered beside the report after a scan, and a rendering that fails.

The page must be what the stylesheet makes of the report: it is compared, as a
parsed tree, with xsltproc's rendering of the same two files. Only whitespace,
attribute order and the generated ids of the category anchors may differ
(generate-id gives every processor its own names).
"""

import html.parser
import os
import re
import shutil
import subprocess
import unittest

from kvtest import BIN_DIR, PROFILES_DIR, ScanTestCase, load_profile, to_windows, wine_env

# Elements the HTML output method writes without an end tag.
VOID_ELEMENTS = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param", "source",
                 "track", "wbr"}
# Attributes through which a page makes a browser load something.
URL_ATTRIBUTES = {"href", "src", "srcset", "action", "formaction", "data", "background", "poster", "cite",
                  "longdesc", "usemap", "codebase", "archive", "profile", "manifest", "xlink:href"}
# HTML's own whitespace; Python's \s would also swallow the non-breaking space of an empty result.
HTML_SPACE = re.compile(r"[ \t\r\n\f]+")
GENERATED_CATEGORY_ID = re.compile(r"^(#?)CAT(.+)$")

# Device text that looks like markup: it must reach the page as text.
MARKUP_TEXT = '<script>alert("x")</script> Gr\u00fc\u00dfe & \u20ac'


class Element:
    def __init__(self, tag, attrs):
        self.tag = tag
        self.attrs = attrs
        self.children = []

    def iter(self):
        yield self
        for child in self.children:
            if isinstance(child, Element):
                yield from child.iter()

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)


class PageParser(html.parser.HTMLParser):
    """The page as a tree of Elements and text; declarations, comments and stray end tags kept as nodes."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Element("#document", {})
        self.stack = [self.root]

    def handle_decl(self, decl):
        self.stack[-1].children.append(Element("!" + HTML_SPACE.sub(" ", decl), {}))

    def handle_starttag(self, tag, attrs):
        element = Element(tag, {name: value or "" for name, value in attrs})
        self.stack[-1].children.append(element)
        if tag not in VOID_ELEMENTS:
            self.stack.append(element)

    def handle_startendtag(self, tag, attrs):
        self.stack[-1].children.append(Element(tag, {name: value or "" for name, value in attrs}))

    def handle_endtag(self, tag):
        for depth in range(len(self.stack) - 1, 0, -1):
            if self.stack[depth].tag == tag:
                del self.stack[depth:]
                return
        self.stack[-1].children.append(Element("!stray end tag " + tag, {}))

    def handle_data(self, data):
        self.stack[-1].children.append(data)

    def handle_comment(self, data):
        self.stack[-1].children.append(Element("!--" + data, {}))

    def handle_pi(self, data):
        self.stack[-1].children.append(Element("?" + data, {}))


def parse_page(text):
    parser = PageParser()
    parser.feed(text)
    parser.close()
    return parser.root


def canonical_lines(page):
    """The page (text, or a parsed Element) as one line per element and text run, for a readable diff.

    Whitespace runs become one blank, whitespace-only text goes, attributes are
    sorted, and generated category ids become CAT-1, CAT-2, ... in order of
    first appearance."""
    names = {}

    def canonical_value(name, value):
        match = GENERATED_CATEGORY_ID.match(value) if name in ("id", "href", "name") else None
        if not match:
            return value
        canonical = names.setdefault(match.group(2), "CAT-%d" % (len(names) + 1))
        return match.group(1) + canonical

    lines = []

    def walk(element, depth):
        pending = []

        def flush():
            run = HTML_SPACE.sub(" ", "".join(pending)).strip()
            if run:
                lines.append("  " * depth + repr(run))
            pending.clear()

        for child in element.children:
            if isinstance(child, str):
                pending.append(child)
                continue
            flush()
            attrs = " ".join('%s="%s"' % (name, canonical_value(name, child.attrs[name]))
                             for name in sorted(child.attrs))
            lines.append("  " * depth + "<%s%s>" % (child.tag, " " + attrs if attrs else ""))
            walk(child, depth + 1)
        flush()

    walk(parse_page(page) if isinstance(page, str) else page, 0)
    return lines


def xsltproc(stylesheet, report):
    return subprocess.run(["timeout", "60", "xsltproc", "--nonet", stylesheet, report], check=True,
                          capture_output=True).stdout.decode("utf-8")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def html_path(report):
    return os.path.splitext(report)[0] + ".html"


def report_files(folder):
    """What the program leaves in a scan folder besides the copies the harness put there."""
    return sorted(f for f in os.listdir(folder)
                  if f not in ("KvInspectra.exe", "KvIxa.dll", "trace.txt", "profile.json"))


def refused_device(profile_name):
    """Shipped profiles of the model the program refuses to scan."""
    answer = load_profile(profile_name).get("IxaGetDeviceType", {})
    return answer.get("u32") == 22


class ReportPageTest(ScanTestCase):

    def assertPageIsTheStylesheetsRendering(self, report):
        stylesheet = os.path.splitext(report)[0] + ".xsl"
        with open(html_path(report), "rb") as f:
            page = f.read().decode("utf-8")
        self.assertEqual(canonical_lines(xsltproc(stylesheet, report)), canonical_lines(page))

    def test_scan_writes_report_stylesheet_and_page(self):
        scan = self.scan()
        self.assertEqual(["report.html", "report.xml", "report.xsl"], report_files(scan.folder))
        self.assertEqual("</KvInspectraReport>", scan.lines[-1])

    def test_page_equals_the_stylesheets_rendering_of_the_report(self):
        scan = self.scan()
        self.assertPageIsTheStylesheetsRendering(scan.report)

    def test_page_takes_the_report_name_with_html_for_its_extension(self):
        scan = self.scan(report_name="my.report.xml")
        self.assertEqual(["my.report.html", "my.report.xml", "my.report.xsl"], report_files(scan.folder))
        self.assertPageIsTheStylesheetsRendering(scan.report)

    def test_device_text_that_looks_like_markup_stays_text_on_the_page(self):
        profile = load_profile("corvabox-c90.json")
        profile["IxaGetFirmwareStringW"]["21"] = {"wstr": MARKUP_TEXT}
        scan = self.scan(profile=profile)
        self.assertIn('\t\t\t\t\t\t\t<TestResult Format="String">&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; '
                      'Gr\u00fc\u00dfe &amp; \u20ac</TestResult>', scan.lines)
        self.assertPageIsTheStylesheetsRendering(scan.report)
        page = parse_page(read_bytes(html_path(scan.report)).decode("utf-8"))
        results = [e.text() for e in page.iter() if e.tag == "td" and e.attrs.get("class") == "result"]
        self.assertIn(MARKUP_TEXT, results)
        self.assertEqual([], [e.tag for e in page.iter() if e.tag == "script"])

    def test_page_is_utf8_with_its_charset_declared(self):
        scan = self.scan()
        data = read_bytes(html_path(scan.report))
        self.assertFalse(data.startswith(b"\xef\xbb\xbf") or data.startswith(b"\xff\xfe"))
        page = parse_page(data.decode("utf-8"))
        # The processor hands back UTF-16 text and declares that; the file must say what it is.
        declared = [e.attrs.get("content", "") for e in page.iter()
                    if e.tag == "meta" and e.attrs.get("http-equiv", "").lower() == "content-type"]
        self.assertEqual(["text/html; charset=UTF-8"], declared)
        # The unit of a temperature, as UTF-8 bytes.
        self.assertIn('<TestResult Format="DegreeCentigrade">', "".join(scan.lines))
        self.assertIn(" \u00b0C".encode("utf-8"), data)

    def test_page_is_self_contained_and_without_script(self):
        scan = self.scan()
        page = parse_page(read_bytes(html_path(scan.report)).decode("utf-8"))
        elements = list(page.iter())
        self.assertEqual([], [e.tag for e in elements if e.tag in ("script", "noscript", "iframe", "frame", "object",
                                                                    "embed", "applet", "base", "link", "img")])
        self.assertEqual([], [(e.tag, n) for e in elements for n in e.attrs if n.startswith("on")])
        targets = {e.attrs[n] for e in elements for n in ("id", "name") if n in e.attrs}
        references = [(e.tag, n, v) for e in elements for n, v in e.attrs.items() if n in URL_ATTRIBUTES]
        self.assertGreater(len(references), 10)
        # Every reference is a fragment of this page, and it is there.
        self.assertEqual([], [r for r in references if not r[2].startswith("#") or r[2][1:] not in targets])
        refreshes = [e for e in elements if e.tag == "meta" and e.attrs.get("http-equiv", "").lower() == "refresh"]
        self.assertEqual([], refreshes)
        styles = [e.text() for e in elements if e.tag == "style"] + [e.attrs["style"] for e in elements
                                                                       if "style" in e.attrs]
        self.assertTrue(styles)
        self.assertEqual([], [s for s in styles if re.search(r"url\s*\(|@import|expression\s*\(", s, re.I)])
        # The document type names its DTD by URL; browsers never load it.
        self.assertEqual(['!DOCTYPE html PUBLIC "-//W3C//DTD HTML 4.01//EN" "http://www.w3.org/TR/html4/strict.dtd"'],
                         [e.tag for e in page.children if isinstance(e, Element) and e.tag.startswith("!")])

    def test_existing_page_is_replaced(self):
        def old_page(folder):
            with open(os.path.join(folder, "report.html"), "wb") as f:
                f.write(b"<html><body>an older scan</body></html>")
        scan = self.scan(prepare=old_page)
        self.assertEqual(["report.html", "report.xml", "report.xsl"], report_files(scan.folder))
        self.assertPageIsTheStylesheetsRendering(scan.report)

    def test_scan_of_every_shipped_profile_and_library_gets_its_page(self):
        runs = [(name, "default") for name in sorted(os.listdir(PROFILES_DIR)) if name.endswith(".json")]
        runs += [(None, "default"), (None, "legacy"), (None, None)]
        self.assertGreater(len(runs), 10)
        for profile, library in runs:
            with self.subTest(profile=profile, library=library):
                if profile and refused_device(profile):
                    # Refused before anything is written: no report, so no page either.
                    scan = self.scan(profile=profile, library=library, answers=["Return"])
                    self.assertEqual([], report_files(scan.folder))
                    continue
                scan = self.scan(profile=profile, library=library)
                self.assertEqual(["report.html", "report.xml", "report.xsl"], report_files(scan.folder))
                self.assertPageIsTheStylesheetsRendering(scan.report)


# Stylesheets the processor rejects. An unknown XSLT instruction is no such case under
# Wine: its processor reports the instruction, skips it and renders the rest (Windows'
# MSXML 6 refuses the stylesheet).
REJECTED_STYLESHEETS = {
    "not well-formed": b'<?xml version="1.0" encoding="UTF-8"?>\n'
                       b'<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">\n'
                       b'  <xsl:template match="/"><html><body><xsl:value-of select="1"/></body></html>\n'
                       b'</xsl:stylesheet>\n',
    "XPath syntax error": b'<?xml version="1.0" encoding="UTF-8"?>\n'
                          b'<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">\n'
                          b'  <xsl:template match="/"><html><body><xsl:value-of select="Header/ +"/></body></html>'
                          b'</xsl:template>\n'
                          b'</xsl:stylesheet>\n',
    "terminating message": b'<?xml version="1.0" encoding="UTF-8"?>\n'
                           b'<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">\n'
                           b'  <xsl:template match="/"><html><body><xsl:message terminate="yes">stop</xsl:message>'
                           b'</body></html></xsl:template>\n'
                           b'</xsl:stylesheet>\n',
    "empty file": b"",
}

VALID_OTHER_STYLESHEET = (b'<?xml version="1.0" encoding="UTF-8"?>\n'
                          b'<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">\n'
                          b'  <xsl:output method="html" encoding="UTF-8"/>\n'
                          b'  <xsl:template match="/"><html><body><p id="other">'
                          b'<xsl:value-of select="count(//Test)"/></p></body></html></xsl:template>\n'
                          b'</xsl:stylesheet>\n')


class FailedRenderingTest(ScanTestCase):

    def setUp(self):
        super().setUp()
        self.scanned = self.scan()
        self.assertEqual("</KvInspectraReport>", self.scanned.lines[-1])

    def report_copy(self, stylesheet_name, stylesheet, old_page=None):
        """A folder with a copy of the scan's report and stylesheet, the other stylesheet and maybe a page."""
        folder = self.make_folder()
        for name in ("report.xml", "report.xsl"):
            shutil.copy(os.path.join(self.scanned.folder, name), folder)
        with open(os.path.join(folder, stylesheet_name), "wb") as f:
            f.write(stylesheet)
        if old_page is not None:
            with open(os.path.join(folder, "report.html"), "wb") as f:
                f.write(old_page)
        return folder

    def render(self, folder, stylesheet_name):
        return subprocess.run(["timeout", "60", "wine", os.path.join(BIN_DIR, "kv_render_html.exe"),
                               to_windows(os.path.join(folder, "report.xml")),
                               to_windows(os.path.join(folder, stylesheet_name))],
                              env=wine_env(), stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              errors="replace")

    def snapshot(self, folder):
        return {name: read_bytes(os.path.join(folder, name)) for name in os.listdir(folder)}

    def test_report_in_another_encoding_renders_into_the_same_page(self):
        # The program's own reports (UTF-16 with byte-order mark) reach the processor as one text;
        # a report in any other form the processor reads from the file itself.
        folder = self.report_copy("report.xsl", read_bytes(os.path.join(self.scanned.folder, "report.xsl")))
        text = read_bytes(self.scanned.report)[2:].decode("utf-16-le")
        self.assertIn('encoding="utf-16"', text.splitlines()[0])
        with open(os.path.join(folder, "report.xml"), "wb") as f:
            f.write(text.replace('encoding="utf-16"', 'encoding="utf-8"', 1).encode("utf-8"))
        self.assertEqual("00000000", self.render(folder, "report.xsl").stdout.strip())
        self.assertEqual(canonical_lines(read_bytes(html_path(self.scanned.report)).decode("utf-8")),
                         canonical_lines(read_bytes(os.path.join(folder, "report.html")).decode("utf-8")))

    def test_rejected_stylesheet_leaves_no_page_and_changes_nothing_else(self):
        for case, stylesheet in REJECTED_STYLESHEETS.items():
            for old_page in (None, b"<html><body>an older scan</body></html>"):
                with self.subTest(stylesheet=case, old_page=old_page is not None):
                    folder = self.report_copy("bad.xsl", stylesheet, old_page)
                    before = self.snapshot(folder)
                    completed = self.render(folder, "bad.xsl")
                    self.assertNotEqual(124, completed.returncode)
                    self.assertNotEqual(0, completed.returncode)
                    # The printed HRESULT is a failure code.
                    self.assertRegex(completed.stdout.strip(), "^[89A-F][0-9A-F]{7}$")
                    after = self.snapshot(folder)
                    before.pop("report.html", None)
                    self.assertEqual(sorted(before), sorted(after))
                    self.assertEqual(before, after)

    def test_other_valid_stylesheet_renders_its_page_in_place_of_an_old_one(self):
        # The same run as above with a stylesheet the processor takes: the tool does
        # render a copied report, so a missing page above is the failure's doing.
        folder = self.report_copy("other.xsl", VALID_OTHER_STYLESHEET, b"<html><body>an older scan</body></html>")
        completed = self.render(folder, "other.xsl")
        self.assertEqual(0, completed.returncode, completed.stdout + completed.stderr)
        self.assertEqual("00000000", completed.stdout.strip())
        with open(os.path.join(folder, "report.html"), "rb") as f:
            page = f.read().decode("utf-8")
        expected = xsltproc(os.path.join(folder, "other.xsl"), os.path.join(folder, "report.xml"))
        self.assertEqual(canonical_lines(expected), canonical_lines(page))
        self.assertEqual(sorted(["other.xsl", "report.html", "report.xml", "report.xsl"]), sorted(os.listdir(folder)))


if __name__ == "__main__":
    unittest.main()
