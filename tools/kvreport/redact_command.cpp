#include "tools/kvreport/redact_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/report_reader.h"

#include "device/win_handles.h"
#include "report/report_document.h"
#include "report/xml_writer.h"
#include "resource.h"

#include <algorithm>
#include <cwctype>

namespace kvreport {

const wchar_t kRedactedMark[] = L" (redacted)";

namespace {

struct KeepName {
    const wchar_t* name;
    unsigned field;
};
const KeepName kKeepNames[] = {
    {L"computer", kRedactComputer},         {L"author", kRedactAuthor}, {L"owner", kRedactOwner},
    {L"organization", kRedactOrganization}, {L"user-serial-id", kRedactUserSerialId},
    {L"serial", kRedactSerial},             {L"raw", kRedactRaw},
};

// Tests whose result is private, by subcategory (null: any) and test name.
struct TestRule {
    unsigned field;
    const wchar_t* kind;  // the placeholder's stem
    const wchar_t* subcategory;
    const wchar_t* test;
};
const TestRule kTestRules[] = {
    {kRedactOwner, L"Owner", nullptr, L"Registered owner"},
    {kRedactOrganization, L"Organization", nullptr, L"Registered organization"},
    {kRedactUserSerialId, L"UserSerialID", L"User Serial ID", L"Value"},
    {kRedactSerial, L"Serial", nullptr, L"Serial number"},
};
// The raw factory data beside a serial number holds that number too.
const wchar_t kSerialNumberTest[] = L"Serial number";
const wchar_t kRawFormat[] = L"Raw";
const wchar_t kRawKind[] = L"RawData";
// A result that holds no value of the device: nothing to hide, and a placeholder
// would pretend there was one.
const wchar_t kNotAvailable[] = L"N/A";
// Shorter values are not looked for inside other texts: they would match words.
const size_t kShortestSearched = 2;

bool HoldsValue(const ReportTest& test)
{
    return !test.result.empty() && test.status != L"Failed" && test.result != kNotAvailable;
}

bool HoldsSerialNumber(const ReportSubCategory& subcategory)
{
    return std::any_of(subcategory.tests.begin(), subcategory.tests.end(),
                       [](const ReportTest& test) { return test.name == kSerialNumberTest; });
}

// The placeholder stem for a private test result; null for a result that stays.
const wchar_t* KindOf(const ReportSubCategory& subcategory, const ReportTest& test, bool nearSerial, unsigned keep)
{
    for (const TestRule& rule : kTestRules)
        if (test.name == rule.test && (!rule.subcategory || subcategory.name == rule.subcategory))
            return (keep & rule.field) ? nullptr : rule.kind;
    if (nearSerial && test.format == kRawFormat && !(keep & kRedactRaw))
        return kRawKind;
    return nullptr;
}

bool IsWordCharacter(wchar_t c) { return iswalnum(c) || c == L'_'; }

bool MatchesAt(const std::wstring& text, size_t at, const std::wstring& word)
{
    size_t end = at + word.size();
    if (end > text.size() || (at > 0 && IsWordCharacter(text[at - 1])) ||
        (end < text.size() && IsWordCharacter(text[end])))
        return false;
    return ::CompareStringOrdinal(text.c_str() + at, static_cast<int>(word.size()), word.c_str(),
                                  static_cast<int>(word.size()), TRUE) == CSTR_EQUAL;
}

// The parser hands line breaks over as line feeds; the program writes CR LF.
std::wstring WithLineEnds(const std::wstring& value)
{
    std::wstring text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'\n' && (i == 0 || value[i - 1] != L'\r'))
            text += L'\r';
        text += value[i];
    }
    return text;
}

// The Format attribute is written unescaped: only a plain word may pass.
std::wstring SafeFormat(const std::wstring& format)
{
    bool plain = std::all_of(format.begin(), format.end(), [](wchar_t c) { return c < 0x80 && iswalnum(c); });
    return plain ? format : L"Unknown";
}

// The report's lines through the program's own primitives, stopping at the first failure.
class LayoutWriter {
public:
    explicit LayoutWriter(HANDLE file) : m_file(file) {}
    bool ok() const { return m_ok; }

    void Start(const wchar_t* name, int depth) { Check(m_ok ? kv::WriteStartTag(m_file, name, depth) : 0); }
    void End(const wchar_t* name, int depth) { Check(m_ok ? kv::WriteEndTag(m_file, name, depth) : 0); }
    void Element(const wchar_t* name, const std::wstring& value, int depth, const wchar_t* format = nullptr)
    {
        if (m_ok)
            Check(kv::WriteElement(m_file, name, WithLineEnds(value).c_str(), format ? L"Format" : nullptr, format,
                                   depth));
    }

    void Header(const ReportHeader& header)
    {
        Start(L"Header", 1);
        Element(L"Version", header.version, 2);
        Element(L"KvDeviceType", header.deviceType, 2);
        Element(L"Time", header.time, 2);
        Element(L"Date", header.date, 2);
        Element(L"Author", header.author, 2);
        Element(L"ComputerName", header.computerName, 2);
        End(L"Header", 1);
    }

    void Group(const ReportGroup& group)
    {
        Start(L"TestGroup", 1);
        Element(L"GroupNumber", std::to_wstring(group.number), 2);
        Element(L"GroupName", group.name, 2);
        Element(L"GroupDescription", group.description, group.description == kDescrUndef ? 7 : 2);
        for (const ReportCategory& category : group.categories) {
            Start(L"Category", 2);
            Element(L"CategoryName", category.name, 3);
            for (const ReportSubCategory& subcategory : category.subcategories)
                SubCategory(subcategory);
            End(L"Category", 2);
        }
        End(L"TestGroup", 1);
    }

private:
    void SubCategory(const ReportSubCategory& subcategory)
    {
        if (subcategory.element) {
            Start(L"SubCategory", subcategory.depth);
            Element(L"SubCategoryName", subcategory.name, subcategory.depth + 1);
        }
        for (const ReportTest& test : subcategory.tests)
            Test(test);
        if (subcategory.element)
            End(L"SubCategory", 3);
    }

    void Test(const ReportTest& test)
    {
        Start(L"Test", 6);
        Element(L"TestName", test.name, 7);
        if (test.parts & kHasDescription)
            Element(L"TestDescription", test.description, 7);
        if (test.parts & kHasNumber)
            Element(L"TestNumber", std::to_wstring(test.number), 7);
        if (test.parts & kHasResult)
            Element(L"TestResult", test.result, 7, SafeFormat(test.format).c_str());
        if (test.parts & kHasStatus)
            Element(L"TestStatus", test.status, 7);
        End(L"Test", 6);
    }

    void Check(DWORD result)
    {
        if (result != ERROR_SUCCESS)
            m_ok = false;
    }

    HANDLE m_file;
    bool m_ok = true;
};

DWORD WriteReportFile(const Report& report, const std::wstring& path, const std::wstring& stylesheetName)
{
    wchar_t rootName[260] = {};
    kv::UniqueFile file(kv::CreateReportFile(rootName, path.c_str(), stylesheetName.c_str()));
    if (!file)
        return ::GetLastError() ? ::GetLastError() : ERROR_OPEN_FAILED;
    LayoutWriter writer(file.get());
    writer.Header(report.header);
    for (const ReportGroup& group : report.groups)
        writer.Group(group);
    if (!writer.ok())
        return ERROR_WRITE_FAULT;
    HANDLE handle = file.release();
    DWORD result = kv::CloseReport(rootName, handle);
    // CloseReport leaves the file open when its last line cannot be written.
    if (result == ERROR_WRITE_FAULT)
        ::CloseHandle(handle);
    return result;
}

DWORD WriteStylesheet(const std::wstring& path)
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(self, MAKEINTRESOURCEW(IDR_STYLESHEET), L"XSL");
    HGLOBAL loaded = resource ? ::LoadResource(self, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!bytes)
        return ERROR_NO_SYSTEM_RESOURCES;
    return WriteFileReplacing(path, std::string(bytes, ::SizeofResource(self, resource)));
}

std::wstring ReplacedText(int count) { return std::to_wstring(count) + (count == 1 ? L" value" : L" values"); }

// Reads, redacts and writes one report; false with the message told on failure.
bool RedactOne(Redactor& redactor, const std::wstring& input, const std::wstring& output, std::wstring& error)
{
    std::wstring stylesheet = kv::SiblingPath(output.c_str(), L".xsl");
    if (WouldReplaceInput(output, {input}) || WouldReplaceInput(stylesheet, {input})) {
        error = output + L": would replace the report redacted or its stylesheet; nothing is written";
        return false;
    }
    Report report;
    if (!ReadReport(input, report, error))
        return false;
    int replaced = redactor.Redact(report);
    DWORD result = WriteReport(report, output);
    if (result != ERROR_SUCCESS) {
        error = output + L": cannot be written: " + SystemMessage(result);
        return false;
    }
    WriteLine(Stream::Out, input + L" -> " + output + L": " + ReplacedText(replaced) + L" replaced");
    return true;
}

int RedactFolder(Redactor& redactor, const std::wstring& input, const std::wstring& output)
{
    if (!IsFolder(output) && !::CreateDirectoryW(output.c_str(), nullptr))
        return Failure(output + L": the folder cannot be made: " + SystemMessage(::GetLastError()));
    if (SameFile(input, output))
        return Failure(output + L": is the folder of the reports redacted; nothing is written");
    std::vector<std::wstring> reports = ReportsInFolder(input);
    if (reports.empty())
        return Failure(input + L": holds no .xml files");
    std::vector<std::wstring> errors;
    {
        Progress progress(reports.size());
        for (size_t i = 0; i < reports.size(); ++i) {
            progress.Show(i, reports[i]);
            std::wstring error;
            if (!RedactOne(redactor, reports[i], JoinPath(output, kv::FileNameOf(reports[i])), error))
                errors.push_back(error);
        }
    }
    for (const std::wstring& error : errors)
        WriteLine(Stream::Err, error);
    return errors.empty() ? 0 : 2;
}

}  // namespace

bool ParseKeep(const std::vector<std::wstring>& values, unsigned& keep, std::wstring& error)
{
    keep = 0;
    for (const std::wstring& value : values) {
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = std::min(value.find(L',', start), value.size());
            std::wstring name = value.substr(start, comma - start);
            const KeepName* found = nullptr;
            for (const KeepName& candidate : kKeepNames)
                if (name == candidate.name)
                    found = &candidate;
            if (!found) {
                error = L"--keep knows computer, author, owner, organization, user-serial-id, serial and raw, not \"" +
                        name + L"\"";
                return false;
            }
            keep |= found->field;
            start = comma + 1;
        }
    }
    return true;
}

std::wstring Redactor::Placeholder(const std::wstring& kind, const std::wstring& value)
{
    std::wstring key = kind + L'\x1f' + value;
    auto found = m_placeholders.find(key);
    if (found != m_placeholders.end())
        return found->second;
    std::wstring placeholder = kind + L"-" + std::to_wstring(++m_counters[kind]);
    m_placeholders[key] = placeholder;
    if (value.size() >= kShortestSearched) {
        m_replaced.push_back({value, placeholder});
        std::stable_sort(m_replaced.begin(), m_replaced.end(),
                         [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    }
    return placeholder;
}

// One pass over text, longest value first at every place, so that a placeholder
// just written is never searched again.
int Redactor::ReplaceInText(std::wstring& text) const
{
    int count = 0;
    std::wstring result;
    size_t i = 0;
    while (i < text.size()) {
        const std::pair<std::wstring, std::wstring>* match = nullptr;
        for (const auto& replaced : m_replaced)
            if (MatchesAt(text, i, replaced.first)) {
                match = &replaced;
                break;
            }
        if (!match) {
            result += text[i++];
            continue;
        }
        result += match->second;
        i += match->first.size();
        ++count;
    }
    text = result;
    return count;
}

int Redactor::Redact(Report& report)
{
    int replaced = 0;
    auto replace = [&](std::wstring& value, const wchar_t* kind) {
        if (!value.empty()) {
            value = Placeholder(kind, value);
            ++replaced;
        }
    };
    if (!(m_keep & kRedactComputer))
        replace(report.header.computerName, L"Computer");
    if (!(m_keep & kRedactAuthor))
        replace(report.header.author, L"User");

    std::vector<ReportTest*> others;
    for (ReportGroup& group : report.groups)
        for (ReportCategory& category : group.categories)
            for (ReportSubCategory& subcategory : category.subcategories) {
                bool nearSerial = HoldsSerialNumber(subcategory);
                for (ReportTest& test : subcategory.tests) {
                    const wchar_t* kind = KindOf(subcategory, test, nearSerial, m_keep);
                    if (kind && HoldsValue(test))
                        replace(test.result, kind);
                    else
                        others.push_back(&test);
                }
            }
    // The same values inside other results: a path with the user's name, a serial
    // number quoted in a text.
    for (ReportTest* test : others)
        replaced += ReplaceInText(test->result);

    std::wstring& version = report.header.version;
    size_t mark = wcslen(kRedactedMark);
    if (version.size() < mark || version.compare(version.size() - mark, mark, kRedactedMark) != 0)
        version += kRedactedMark;
    return replaced;
}

DWORD WriteReport(const Report& report, const std::wstring& path)
{
    std::wstring stylesheet = kv::SiblingPath(path.c_str(), L".xsl");
    std::wstring temporary = TemporaryFileBeside(path);
    if (temporary.empty())
        return ::GetLastError();
    DWORD result = WriteReportFile(report, temporary, kv::FileNameOf(stylesheet));
    // The stylesheet goes first: a report never stands without it.
    if (result == ERROR_SUCCESS)
        result = WriteStylesheet(stylesheet);
    if (result != ERROR_SUCCESS) {
        ::DeleteFileW(temporary.c_str());
        return result;
    }
    return MoveIntoPlace(temporary, path);
}

int RunRedact(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    if (!ParseArguments(args, {{L"--keep", true}}, parsed, error))
        return UsageError(kRedactUsage, error);
    if (parsed.positional.size() != 2)
        return UsageError(kRedactUsage, L"redact wants the report (or folder) to read and the one to write");
    unsigned keep = 0;
    if (parsed.Has(L"--keep") && !ParseKeep(parsed.options[L"--keep"], keep, error))
        return UsageError(kRedactUsage, error);

    Redactor redactor(keep);
    const std::wstring& input = parsed.positional[0];
    const std::wstring& output = parsed.positional[1];
    if (IsFolder(input))
        return RedactFolder(redactor, input, output);
    std::wstring target = IsFolder(output) ? JoinPath(output, kv::FileNameOf(input)) : output;
    if (!RedactOne(redactor, input, target, error))
        return Failure(error);
    return 0;
}

}  // namespace kvreport
