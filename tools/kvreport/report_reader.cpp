#include "tools/kvreport/report_reader.h"

#include "tools/kvreport/com_helpers.h"
#include "tools/kvreport/files.h"

#include <msxml2.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace kvreport {
namespace {

enum class Node { Document, Root, Header, Group, Category, SubCategory, Test, Text };

// Which element may stand in which: the report format, element by element.
struct ChildRule {
    Node parent;
    const wchar_t* name;
    Node child;
};
const ChildRule kChildren[] = {
    {Node::Document, L"KvInspectraReport", Node::Root},
    {Node::Root, L"Header", Node::Header},
    {Node::Root, L"TestGroup", Node::Group},
    {Node::Header, L"Version", Node::Text},
    {Node::Header, L"KvDeviceType", Node::Text},
    {Node::Header, L"Time", Node::Text},
    {Node::Header, L"Date", Node::Text},
    {Node::Header, L"Author", Node::Text},
    {Node::Header, L"ComputerName", Node::Text},
    {Node::Group, L"GroupNumber", Node::Text},
    {Node::Group, L"GroupName", Node::Text},
    {Node::Group, L"GroupDescription", Node::Text},
    {Node::Group, L"Category", Node::Category},
    {Node::Category, L"CategoryName", Node::Text},
    {Node::Category, L"SubCategory", Node::SubCategory},
    {Node::Category, L"Test", Node::Test},
    {Node::SubCategory, L"SubCategoryName", Node::Text},
    {Node::SubCategory, L"Test", Node::Test},
    {Node::Test, L"TestName", Node::Text},
    {Node::Test, L"TestDescription", Node::Text},
    {Node::Test, L"TestNumber", Node::Text},
    {Node::Test, L"TestResult", Node::Text},
    {Node::Test, L"TestStatus", Node::Text},
};

// What an element must hold to be of use.
struct RequiredRule {
    Node node;
    const wchar_t* child;
};
const RequiredRule kRequired[] = {
    {Node::Root, L"Header"},
    {Node::Group, L"GroupName"},
    {Node::Category, L"CategoryName"},
    {Node::SubCategory, L"SubCategoryName"},
    {Node::Test, L"TestName"},
};


struct Frame {
    Node node;
    std::wstring name;
    int line;
    std::vector<std::wstring> children;  // names of the single-occurrence children seen so far
};

bool IsBlank(const std::wstring& text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; });
}

bool ParseInteger(const std::wstring& text, int& value)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), iswdigit))
        return false;
    value = static_cast<int>(wcstol(text.c_str(), nullptr, 10));
    return true;
}

// Tabs after the last line break of the whitespace before a tag.
int IndentOf(const std::wstring& whitespace)
{
    size_t lineStart = whitespace.find_last_of(L'\n');
    lineStart = lineStart == std::wstring::npos ? 0 : lineStart + 1;
    return static_cast<int>(std::count(whitespace.begin() + lineStart, whitespace.end(), L'\t'));
}

std::wstring Tag(const std::wstring& name) { return L"<" + name + L">"; }

}  // namespace

class ReportHandler : public ISAXContentHandler, public ISAXErrorHandler {
public:
    ReportHandler(Report& report, int endLine) : m_report(report), m_endLine(endLine)
    {
        m_stack.push_back({Node::Document, L"", 0, {}});
    }

    const std::wstring& error() const { return m_error; }
    bool complete() const { return m_complete; }
    // The text ended with elements still open and nothing else wrong: a stopped scan.
    bool stopped() const { return m_stopped; }

    // The elements open where the text ended, outermost first; with texts, also an
    // element whose text was cut.
    std::vector<std::wstring> OpenElements(bool withTexts) const
    {
        std::vector<std::wstring> open;
        for (const Frame& frame : m_stack)
            if (frame.node != Node::Document && (withTexts || frame.node != Node::Text))
                open.push_back(frame.name);
        return open;
    }

    // Lives on the caller's stack for one parse: no reference counting.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override
    {
        if (id == IID_IUnknown || id == kIidSaxContentHandler)
            *object = static_cast<ISAXContentHandler*>(this);
        else if (id == kIidSaxErrorHandler)
            *object = static_cast<ISAXErrorHandler*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE putDocumentLocator(ISAXLocator* locator) override
    {
        m_locator = locator;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE startDocument() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE endDocument() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE endPrefixMapping(const wchar_t*, int) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE processingInstruction(const wchar_t*, int, const wchar_t*, int) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE skippedEntity(const wchar_t* name, int length) override
    {
        return Fail(L"the entity &" + std::wstring(name, length) + L"; is not known");
    }
    HRESULT STDMETHODCALLTYPE characters(const wchar_t* text, int length) override
    {
        m_text.append(text, length);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ignorableWhitespace(const wchar_t* text, int length) override
    {
        m_text.append(text, length);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* qName, int qLength,
                                           ISAXAttributes* attributes) override
    {
        std::wstring name(qName, qLength);
        Frame& parent = m_stack.back();
        const ChildRule* rule = FindRule(parent.node, name);
        if (!rule)
            return Fail(UnexpectedElement(parent, name));
        if (!IsBlank(m_text))
            return Fail(L"text outside of the elements of " + Tag(parent.name));
        bool single = rule->child == Node::Text || rule->child == Node::Header;
        if (single && std::find(parent.children.begin(), parent.children.end(), name) != parent.children.end())
            return Fail(L"a second " + Tag(name) + L" in " + Tag(parent.name));
        if (single)
            parent.children.push_back(name);
        HRESULT hr = Begin(rule->child, parent.node, name, attributes);
        m_text.clear();
        if (FAILED(hr))
            return hr;
        m_stack.push_back({rule->child, name, Line(), {}});
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) override
    {
        Frame frame = m_stack.back();
        m_stack.pop_back();
        HRESULT hr = S_OK;
        // An end tag past the report's last line closes what a stopped scan left open: an
        // element whose text was cut goes with it, and nothing is asked of the rest.
        if (Line() >= m_endLine)
            hr = frame.node == Node::Text || IsBlank(m_text) ? S_OK : Fail(L"text outside of the elements");
        else
            hr = frame.node == Node::Text ? StoreText(m_stack.back().node, frame.name) : End(frame);
        m_text.clear();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE error(ISAXLocator* locator, const wchar_t* message, HRESULT code) override
    {
        return fatalError(locator, message, code);
    }
    HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator*, const wchar_t* message, HRESULT code) override
    {
        if (!m_error.empty() || m_stopped)
            return code;
        // An error on the line after the last one of the report is the end itself.
        if (Line() >= m_endLine) {
            m_stopped = true;
            return code;
        }
        std::wstring reason = message ? message : L"";
        while (!reason.empty() && iswspace(reason.back()))
            reason.pop_back();
        int column = 0;
        if (m_locator)
            m_locator->getColumnNumber(&column);
        m_error = L"line " + std::to_wstring(Line()) + L", column " + std::to_wstring(column) +
                  L": the XML is damaged: " + reason;
        return code;
    }
    HRESULT STDMETHODCALLTYPE ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }

private:
    static const ChildRule* FindRule(Node parent, const std::wstring& name)
    {
        for (const ChildRule& rule : kChildren)
            if (rule.parent == parent && name == rule.name)
                return &rule;
        return nullptr;
    }

    static std::wstring UnexpectedElement(const Frame& parent, const std::wstring& name)
    {
        if (parent.node == Node::Document)
            return L"not a report of Kavrol Inspectra: its root element is " + Tag(name) + L", not <KvInspectraReport>";
        if (parent.node == Node::Text)
            return Tag(name) + L" inside " + Tag(parent.name) + L", which holds text only";
        return L"unexpected element " + Tag(name) + L" in " + Tag(parent.name);
    }

    int Line() const
    {
        int line = 0;
        if (m_locator)
            m_locator->getLineNumber(&line);
        return line;
    }

    HRESULT Fail(const std::wstring& message)
    {
        if (m_error.empty())
            m_error = L"line " + std::to_wstring(Line()) + L": " + message;
        return E_FAIL;
    }

    ReportGroup& CurrentGroup() { return m_report.groups.back(); }
    ReportCategory& CurrentCategory() { return CurrentGroup().categories.back(); }
    ReportSubCategory& CurrentSubCategory() { return CurrentCategory().subcategories.back(); }
    ReportTest& CurrentTest() { return CurrentSubCategory().tests.back(); }

    HRESULT Begin(Node node, Node parent, const std::wstring& name, ISAXAttributes* attributes)
    {
        switch (node) {
        case Node::Header:
            m_report.header.fields = 0;
            m_report.header.line = Line();
            break;
        case Node::Group:
            m_report.groups.emplace_back();
            CurrentGroup().line = Line();
            CurrentGroup().parts = 0;
            break;
        case Node::Category:
            CurrentGroup().categories.emplace_back();
            CurrentCategory().named = false;
            break;
        case Node::SubCategory: {
            ReportSubCategory subcategory;
            subcategory.depth = IndentOf(m_text) >= 4 ? 4 : 3;
            subcategory.named = false;
            CurrentCategory().subcategories.push_back(subcategory);
            break;
        }
        case Node::Test:
            BeginTest(parent);
            break;
        case Node::Text:
            if (name == L"TestResult")
                return ReadFormat(attributes);
            break;
        default:
            break;
        }
        return S_OK;
    }

    void BeginTest(Node parent)
    {
        // A test straight under its category goes into an unnamed run of its own.
        std::vector<ReportSubCategory>& runs = CurrentCategory().subcategories;
        if (parent == Node::Category && (runs.empty() || runs.back().element)) {
            ReportSubCategory direct;
            direct.element = false;
            runs.push_back(direct);
        }
        CurrentSubCategory().tests.emplace_back();
        CurrentTest().line = Line();
    }

    HRESULT ReadFormat(ISAXAttributes* attributes)
    {
        m_format.clear();
        const wchar_t* value = nullptr;
        int length = 0;
        if (attributes && SUCCEEDED(attributes->getValueFromQName(L"Format", 6, &value, &length)) && value)
            m_format.assign(value, length);
        return S_OK;
    }

    HRESULT StoreText(Node parent, const std::wstring& name)
    {
        switch (parent) {
        case Node::Header:
            for (const HeaderElement& element : kHeaderElements)
                if (name == element.name) {
                    m_report.header.*element.field = m_text;
                    m_report.header.fields |= element.bit;
                }
            return S_OK;
        case Node::Group:
            return StoreGroupText(name);
        case Node::Category:
            CurrentCategory().name = m_text;
            CurrentCategory().named = true;
            return S_OK;
        case Node::SubCategory:
            CurrentSubCategory().name = m_text;
            CurrentSubCategory().named = true;
            return S_OK;
        case Node::Test:
            return StoreTestText(name);
        default:
            return S_OK;
        }
    }

    HRESULT StoreGroupText(const std::wstring& name)
    {
        ReportGroup& group = CurrentGroup();
        if (name == L"GroupName") {
            group.name = m_text;
            group.parts |= kHasGroupName;
        } else if (name == L"GroupDescription") {
            group.description = m_text;
            group.parts |= kHasGroupDescription;
        } else if (ParseInteger(m_text, group.number)) {
            group.parts |= kHasGroupNumber;
        } else {
            return Fail(L"<GroupNumber> holds \"" + m_text + L"\", not a number");
        }
        return S_OK;
    }

    HRESULT StoreTestText(const std::wstring& name)
    {
        ReportTest& test = CurrentTest();
        if (name == L"TestName") {
            test.name = m_text;
            test.parts |= kHasName;
        } else if (name == L"TestDescription") {
            test.description = m_text;
            test.parts |= kHasDescription;
        } else if (name == L"TestNumber") {
            if (!ParseInteger(m_text, test.number))
                return Fail(L"<TestNumber> holds \"" + m_text + L"\", not a number");
            test.parts |= kHasNumber;
        } else if (name == L"TestResult") {
            test.result = m_text;
            test.format = m_format;
            test.parts |= kHasResult;
        } else {
            test.status = m_text;
            test.parts |= kHasStatus;
        }
        return S_OK;
    }

    HRESULT End(const Frame& frame)
    {
        if (!IsBlank(m_text))
            return Fail(L"text outside of the elements of " + Tag(frame.name));
        for (const RequiredRule& rule : kRequired) {
            if (rule.node == frame.node &&
                std::find(frame.children.begin(), frame.children.end(), rule.child) == frame.children.end())
                return Fail(L"the " + Tag(frame.name) + L" of line " + std::to_wstring(frame.line) + L" has no " +
                            Tag(rule.child));
        }
        if (frame.node == Node::Root)
            m_complete = true;
        return S_OK;
    }

    Report& m_report;
    int m_endLine;
    ISAXLocator* m_locator = nullptr;
    std::vector<Frame> m_stack;
    std::wstring m_text;
    std::wstring m_format;
    std::wstring m_error;
    bool m_complete = false;
    bool m_stopped = false;
};

namespace {

// The lines a report holds before its root element: the declaration and the stylesheet
// instruction, as the program writes them.
bool OnlyPrologue(const std::wstring& lines)
{
    const wchar_t* const kPrologue[] = {L"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n",
                                        L"<?xml-stylesheet type=\"text/xsl\" href=\""};
    if (lines.compare(0, wcslen(kPrologue[0]), kPrologue[0]) != 0)
        return false;
    std::wstring rest = lines.substr(wcslen(kPrologue[0]));
    return rest.empty() || (rest.compare(0, wcslen(kPrologue[1]), kPrologue[1]) == 0 &&
                            rest.find(L'\n') == rest.size() - 1 && rest.size() >= 4 &&
                            rest.compare(rest.size() - 4, 4, L"?>\r\n") == 0);
}

std::wstring HresultText(HRESULT hr)
{
    wchar_t text[16];
    swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Why bytes that do not start with the UTF-16 byte-order mark are no report.
std::wstring EncodingProblem(const std::string& bytes)
{
    const unsigned char first = static_cast<unsigned char>(bytes[0]);
    const unsigned char second = bytes.size() > 1 ? static_cast<unsigned char>(bytes[1]) : 0;
    if (first == 0xEF && second == 0xBB)
        return L"the file is UTF-8 text; reports of Kavrol Inspectra are UTF-16 with a byte-order mark";
    if (first == 0xFE && second == 0xFF)
        return L"the file is big-endian UTF-16; reports of Kavrol Inspectra are little-endian UTF-16 with a "
               L"byte-order mark";
    if (first == '<' || first == ' ' || first == '\t' || first == '\r' || first == '\n')
        return L"the file is 8-bit or UTF-8 text without a byte-order mark; reports of Kavrol Inspectra are UTF-16 "
               L"with a byte-order mark";
    return L"the file is not a report of Kavrol Inspectra: it does not start with the UTF-16 byte-order mark";
}

std::wstring EndTags(const std::vector<std::wstring>& open)
{
    std::wstring tags;
    for (auto name = open.rbegin(); name != open.rend(); ++name)
        tags += L"</" + *name + L">";
    return tags;
}

}  // namespace

ReportReader::ReportReader()
    : m_made(::CoCreateInstance(kSaxXmlReader60, nullptr, CLSCTX_INPROC_SERVER, kIidSaxXmlReader, m_sax.putVoid()))
{
    // A report has no document type; one in a file is refused rather than expanded.
    if (SUCCEEDED(m_made))
        m_sax->putFeature(L"prohibit-dtd", VARIANT_TRUE);
}

ReportReader::~ReportReader() = default;

// One pass of the SAX reader over the text and then end into handler.
HRESULT ReportReader::Run(const wchar_t* text, size_t length, const std::wstring& end, ReportHandler& handler)
{
    if (FAILED(m_made))
        return m_made;
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocStringLen(nullptr, static_cast<UINT>(length + end.size()));
    if (!source.bstrVal)
        return E_OUTOFMEMORY;
    memcpy(source.bstrVal, text, length * sizeof(wchar_t));
    memcpy(source.bstrVal + length, end.data(), end.size() * sizeof(wchar_t));
    m_sax->putContentHandler(&handler);
    m_sax->putErrorHandler(&handler);
    HRESULT hr = m_sax->parse(source);
    m_sax->putContentHandler(nullptr);
    m_sax->putErrorHandler(nullptr);
    ::VariantClear(&source);
    return hr;
}

bool ReportReader::Parse(const std::wstring& path, const wchar_t* text, size_t length, Report& report,
                         std::wstring& error)
{
    report = Report();
    report.path = path;
    report.header.fields = 0;
    if (FAILED(m_made)) {
        error = path + L": MSXML 6 cannot be started (" + HresultText(m_made) + L")";
        return false;
    }
    // The program writes whole lines; a scan stopped halfway through one leaves a part
    // line, which is dropped.
    size_t whole = length;
    while (whole > 0 && text[whole - 1] != L'\n')
        --whole;
    if (std::all_of(text, text + whole, [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n'; })) {
        error = path + (length == 0 ? L": the file holds only the byte-order mark: the scan stopped before it wrote "
                                      L"its first line"
                                    : L": the file ends inside its first line: the scan stopped before it wrote a "
                                      L"whole line, or it is no report");
        return false;
    }
    const int endLine = static_cast<int>(std::count(text, text + whole, L'\n')) + 1;
    // A comment on a line of its own after the last: the end of a report cut at a line
    // end is then found on that line, damage on the report's own lines on theirs.
    ReportHandler handler(report, endLine);
    HRESULT hr = Run(text, whole, L"<!-- end of the file -->", handler);
    if (handler.stopped() && handler.OpenElements(true).empty()) {
        report.complete = false;
        if (OnlyPrologue(std::wstring(text, whole)))
            return true;
        error = path + L": not a report of Kavrol Inspectra: there is no <KvInspectraReport> element";
        return false;
    }
    if (handler.stopped()) {
        // Read again with the open elements closed after the last line: what the file
        // holds must be a whole report but for its end.
        std::vector<std::wstring> open = handler.OpenElements(true);
        report = Report();
        report.path = path;
        report.header.fields = 0;
        ReportHandler closing(report, endLine);
        hr = Run(text, whole, EndTags(open), closing);
        report.complete = false;
        report.open = handler.OpenElements(false);
        if (closing.error().empty() && SUCCEEDED(hr))
            return true;
        error = closing.error().empty()
                    ? path + L": the XML parser gave up on its end without saying why (" + HresultText(hr) + L")"
                    : path + L", " + closing.error();
        return false;
    }
    if (!handler.error().empty())
        error = path + L", " + handler.error();
    else if (FAILED(hr))
        error = path + L": the XML parser gave up on it without saying why (" + HresultText(hr) + L")";
    else if (!handler.complete())
        error = path + L": not a report of Kavrol Inspectra: there is no <KvInspectraReport> element";
    else
        return true;
    return false;
}

bool ReportReader::Read(const std::wstring& path, Report& report, std::wstring& error)
{
    if (IsFolder(path)) {
        error = path + L": is a folder, not a report file";
        return false;
    }
    std::string bytes;
    DWORD code = 0;
    if (!ReadWholeFile(path, bytes, code)) {
        error = path + L": cannot be read: " + SystemMessage(code);
        return false;
    }
    if (bytes.empty()) {
        error = path + L": the file is empty, not a report of Kavrol Inspectra";
        return false;
    }
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE) {
        error = path + L", line 1: " + EncodingProblem(bytes);
        return false;
    }
    // An odd byte at the end is half a character of a line the scan never finished: that
    // line is dropped anyway. The bytes after the mark are the text as it is.
    return Parse(path, reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2, report, error);
}

bool ReadReport(const std::wstring& path, Report& report, std::wstring& error)
{
    return ReportReader().Read(path, report, error);
}

bool ParseReport(const std::wstring& path, const std::wstring& text, Report& report, std::wstring& error)
{
    return ReportReader().Parse(path, text.data(), text.size(), report, error);
}

}  // namespace kvreport
