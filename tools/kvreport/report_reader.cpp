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

struct HeaderField {
    const wchar_t* name;
    std::wstring ReportHeader::*field;
};
const HeaderField kHeaderFields[] = {
    {L"Version", &ReportHeader::version}, {L"KvDeviceType", &ReportHeader::deviceType},
    {L"Time", &ReportHeader::time},       {L"Date", &ReportHeader::date},
    {L"Author", &ReportHeader::author},   {L"ComputerName", &ReportHeader::computerName},
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

class ReportHandler : public ISAXContentHandler, public ISAXErrorHandler {
public:
    ReportHandler(Report& report, int lastLine) : m_report(report), m_lastLine(lastLine)
    {
        m_stack.push_back({Node::Document, L"", 0, {}});
    }

    const std::wstring& error() const { return m_error; }
    bool complete() const { return m_complete; }

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
        HRESULT hr = frame.node == Node::Text ? StoreText(m_stack.back().node, frame.name) : End(frame);
        m_text.clear();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE error(ISAXLocator* locator, const wchar_t* message, HRESULT code) override
    {
        return fatalError(locator, message, code);
    }
    HRESULT STDMETHODCALLTYPE fatalError(ISAXLocator*, const wchar_t* message, HRESULT code) override
    {
        if (!m_error.empty())
            return code;
        if (CutShort()) {
            m_error = CutShortMessage();
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
            m_error = CutShort() ? CutShortMessage() : L"line " + std::to_wstring(Line()) + L": " + message;
        return E_FAIL;
    }

    // A report the scan did not finish ends inside its elements, possibly halfway
    // through a name: whatever goes wrong on its last line is that.
    bool CutShort() const { return m_stack.size() > 1 && Line() >= m_lastLine; }

    std::wstring CutShortMessage() const
    {
        const Frame& open = m_stack.size() > 2 ? m_stack[2] : m_stack[1];
        return L"line " + std::to_wstring(Line()) + L": the report ends inside " + Tag(open.name) + L" of line " +
               std::to_wstring(open.line) + L": the scan did not finish, or the file was cut short";
    }

    ReportGroup& CurrentGroup() { return m_report.groups.back(); }
    ReportCategory& CurrentCategory() { return CurrentGroup().categories.back(); }
    ReportSubCategory& CurrentSubCategory() { return CurrentCategory().subcategories.back(); }
    ReportTest& CurrentTest() { return CurrentSubCategory().tests.back(); }

    HRESULT Begin(Node node, Node parent, const std::wstring& name, ISAXAttributes* attributes)
    {
        switch (node) {
        case Node::Group:
            m_report.groups.emplace_back();
            CurrentGroup().line = Line();
            break;
        case Node::Category:
            CurrentGroup().categories.emplace_back();
            break;
        case Node::SubCategory: {
            ReportSubCategory subcategory;
            subcategory.depth = IndentOf(m_text) >= 4 ? 4 : 3;
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
            for (const HeaderField& field : kHeaderFields)
                if (name == field.name)
                    m_report.header.*field.field = m_text;
            return S_OK;
        case Node::Group:
            return StoreGroupText(name);
        case Node::Category:
            CurrentCategory().name = m_text;
            return S_OK;
        case Node::SubCategory:
            CurrentSubCategory().name = m_text;
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
        if (name == L"GroupName")
            group.name = m_text;
        else if (name == L"GroupDescription")
            group.description = m_text;
        else if (!ParseInteger(m_text, group.number))
            return Fail(L"<GroupNumber> holds \"" + m_text + L"\", not a number");
        return S_OK;
    }

    HRESULT StoreTestText(const std::wstring& name)
    {
        ReportTest& test = CurrentTest();
        if (name == L"TestName") {
            test.name = m_text;
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
    int m_lastLine;
    ISAXLocator* m_locator = nullptr;
    std::vector<Frame> m_stack;
    std::wstring m_text;
    std::wstring m_format;
    std::wstring m_error;
    bool m_complete = false;
};

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

}  // namespace

bool ParseReport(const std::wstring& path, const std::wstring& text, Report& report, std::wstring& error)
{
    report = Report();
    report.path = path;
    int lastLine = static_cast<int>(std::count(text.begin(), text.end(), L'\n')) + 1;
    // The handler outlives the parser, which holds it until it is released.
    ReportHandler handler(report, lastLine);
    ComPtr<ISAXXMLReader> reader;
    HRESULT hr = ::CoCreateInstance(kSaxXmlReader60, nullptr, CLSCTX_INPROC_SERVER, kIidSaxXmlReader,
                                    reader.putVoid());
    if (FAILED(hr)) {
        error = path + L": MSXML 6 cannot be started (" + HresultText(hr) + L")";
        return false;
    }
    // A report has no document type; one in a file is refused rather than expanded.
    reader->putFeature(L"prohibit-dtd", VARIANT_TRUE);
    reader->putContentHandler(&handler);
    reader->putErrorHandler(&handler);
    BstrVariant source(text);
    hr = source.valid() ? reader->parse(source.get()) : E_OUTOFMEMORY;
    reader->putContentHandler(nullptr);
    reader->putErrorHandler(nullptr);

    if (!handler.error().empty())
        error = path + L", " + handler.error();
    else if (FAILED(hr))
        error = path + L": the XML cannot be read (" + HresultText(hr) + L")";
    else if (!handler.complete())
        error = path + L": not a report of Kavrol Inspectra: there is no <KvInspectraReport> element";
    else
        return true;
    return false;
}

bool ReadReport(const std::wstring& path, Report& report, std::wstring& error)
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
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    if (!text.empty())
        memcpy(&text[0], bytes.data() + 2, text.size() * sizeof(wchar_t));
    if (bytes.size() % 2 != 0) {
        int line = static_cast<int>(std::count(text.begin(), text.end(), L'\n')) + 1;
        error = path + L", line " + std::to_wstring(line) +
                L": the file ends in the middle of a character: it was cut short";
        return false;
    }
    return ParseReport(path, text, report, error);
}

}  // namespace kvreport
