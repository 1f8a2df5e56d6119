#include "tools/kvreport/check_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/raw_dump_text.h"
#include "tools/kvreport/report_inputs.h"
#include "tools/kvreport/report_reader.h"

#include <algorithm>
#include <cwctype>
#include <regex>

namespace kvreport {
namespace {

// Words that stand for a value of any Format: one the device does not provide, and a
// registry value of an unexpected type (the UPS service's settings).
const wchar_t* const kAnyFormat[] = {L"N/A", L"(unknown type)"};

bool AnyText(const std::wstring&) { return true; }

bool Digits(const std::wstring& text, size_t from, size_t to)
{
    return from < to && std::all_of(text.begin() + from, text.begin() + to, [](wchar_t c) {
               return c >= L'0' && c <= L'9';
           });
}

size_t SignLength(const std::wstring& text) { return !text.empty() && text[0] == L'-' ? 1 : 0; }

// "47", "-3"
bool IsInteger(const std::wstring& text) { return Digits(text, SignLength(text), text.size()); }

// "47", "-10.00", "0.24"
bool IsNumber(const std::wstring& text)
{
    size_t dot = text.find(L'.');
    if (dot == std::wstring::npos)
        return IsInteger(text);
    return Digits(text, SignLength(text), dot) && Digits(text, dot + 1, text.size());
}

// "1.234", "-0.5": a measurement printed with its decimals
bool IsDecimal(const std::wstring& text) { return text.find(L'.') != std::wstring::npos && IsNumber(text); }

bool IsHex(const std::wstring& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return iswxdigit(c) != 0; });
}

// The UPS service's "Shutdown on battery" says "Enabled" or "Disabled" with Format YesNo.
bool IsYesNo(const std::wstring& text)
{
    return text == L"Yes" || text == L"No" || text == L"Enabled" || text == L"Disabled";
}
bool IsEnableDisable(const std::wstring& text) { return text == L"Enabled" || text == L"Disabled"; }

// What a result of each Format holds, unless the test failed or holds a word of any Format
// (a raw dump: the layout of raw_dump_text.h).
struct FormatRule {
    const wchar_t* format;
    bool (*keeps)(const std::wstring&);
    const wchar_t* holds;
};
const FormatRule kFormatRules[] = {
    {L"String", AnyText, nullptr},
    {L"Unknown", AnyText, nullptr},
    {L"Dec", IsInteger, L"a decimal number"},
    {L"Hex", IsHex, L"hexadecimal digits"},
    {L"Raw", nullptr, L"a hexadecimal dump"},
    {L"MHz", IsNumber, L"a number"},
    {L"DegreeCentigrade", IsNumber, L"a number"},
    {L"GigaByte", IsNumber, L"a number"},
    {L"MegaByte", IsNumber, L"a number"},
    {L"KiloByte", IsNumber, L"a number"},
    {L"Percent", IsNumber, L"a number"},
    {L"Bytes", IsNumber, L"a number"},
    {L"Rpm", IsNumber, L"a number"},
    {L"Volt", IsDecimal, L"a number with decimals"},
    {L"Ampere", IsDecimal, L"a number with decimals"},
    {L"Watt", IsDecimal, L"a number with decimals"},
    {L"YesNo", IsYesNo, L"\"Yes\" or \"No\" (\"Enabled\" or \"Disabled\")"},
    {L"EnableDisable", IsEnableDisable, L"\"Enabled\" or \"Disabled\""},
    {L"Minutes", IsNumber, L"a number"},
    {L"Seconds", IsNumber, L"a number"},
    {L"MilliSeconds", IsNumber, L"a number"},
};

// The header's fields as the program writes them, by pattern; the other two hold any text.
struct HeaderRule {
    unsigned bit;
    const wchar_t* pattern;
    const wchar_t* holds;
};
const HeaderRule kHeaderRules[] = {
    {kHasVersion, L"Kavrol Inspectra( V[0-9]+\\.[0-9]+)?( \\(redacted\\))?", L"\"Kavrol Inspectra V2.0\""},
    {kHasDeviceType, L"Kavrol [A-Z][a-z]+ [A-Z][0-9]+|Unknown|Not supported",
     L"a model name (\"Kavrol Corvabox C90\"), \"Unknown\" or \"Not supported\""},
    {kHasTime, L"([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]", L"a time hh:mm:ss"},
    {kHasDate, L"([1-9]|[12][0-9]|3[01]) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec|Unknown) [0-9]{4}",
     L"a date such as \"8 Dec 2026\""},
};

std::wstring Quoted(const std::wstring& text) { return L"\"" + OneLine(text, 60) + L"\""; }

void CheckHeader(const ReportHeader& header, std::vector<Finding>& findings)
{
    int line = header.line;
    for (const HeaderElement& element : kHeaderElements) {
        if (!(header.fields & element.bit))
            continue;
        ++line;  // the fields stand one a line, in this order
        for (const HeaderRule& rule : kHeaderRules)
            if (rule.bit == element.bit && !std::regex_match(header.*element.field, std::wregex(rule.pattern)))
                findings.push_back({line, L"header <" + std::wstring(element.name) + L">",
                                    Quoted(header.*element.field) + L" is not " + rule.holds});
    }
}

// The line of one of a test's elements: they follow its start tag one a line, in this order
// (a raw dump's result takes a line more for every line break it holds).
int LineOf(const ReportTest& test, unsigned part)
{
    int line = test.line + 1;
    for (unsigned before : {kHasName, kHasDescription, kHasNumber, kHasResult}) {
        if (before == part)
            break;
        if (test.parts & before)
            ++line;
        if (before == kHasResult && (test.parts & before))
            line += static_cast<int>(std::count(test.result.begin(), test.result.end(), L'\n'));
    }
    return line;
}

int ResultLine(const ReportTest& test) { return LineOf(test, kHasResult); }

bool IsStatus(const std::wstring& status)
{
    return status == L"Passed" || status == L"Failed" || status == L"Alarm" || status.empty();
}

void CheckResult(const ReportTest& test, const std::wstring& where, std::vector<Finding>& findings)
{
    if ((test.parts & kHasStatus) && !IsStatus(test.status))
        findings.push_back({LineOf(test, kHasStatus), where,
                            Quoted(test.status) + L" is no status: \"Passed\", \"Failed\", \"Alarm\" or empty"});
    if (!(test.parts & kHasResult) || test.status == L"Failed" ||
        std::find(std::begin(kAnyFormat), std::end(kAnyFormat), test.result) != std::end(kAnyFormat))
        return;
    for (const FormatRule& rule : kFormatRules) {
        if (test.format != rule.format)
            continue;
        if (!rule.keeps) {
            std::vector<unsigned char> bytes;
            std::wstring problem;
            if (!ParseRawDump(test.result, bytes, problem))
                findings.push_back({ResultLine(test), where, L"a Raw result is " + std::wstring(rule.holds) + L": " + problem});
        } else if (!rule.keeps(test.result)) {
            findings.push_back({ResultLine(test), where,
                                L"a " + test.format + L" result is " + rule.holds + L", not " + Quoted(test.result)});
        }
        return;
    }
    findings.push_back({ResultLine(test), where, L"the Format \"" + test.format + L"\" is none of the report format"});
}

void CheckTests(const Report& report, std::vector<Finding>& findings)
{
    int next = 1;
    ForEachTest(report, [&](const ReportGroup& group, const ReportCategory& category,
                            const ReportSubCategory& subcategory, const ReportTest& test) {
        std::wstring number = (test.parts & kHasNumber) ? std::to_wstring(test.number) + L" " : L"";
        std::wstring where = L"test " + number + L"(" + TestLabel(group, category, subcategory, test) + L")";
        if (test.parts & kHasNumber) {
            if (test.number != next)
                findings.push_back({LineOf(test, kHasNumber), where,
                                    L"<TestNumber> is " + std::to_wstring(test.number) + L" where " +
                                        std::to_wstring(next) + L" follows"});
            next = test.number + 1;
        }
        CheckResult(test, where, findings);
    });
}

void CheckGroups(const Report& report, std::vector<Finding>& findings)
{
    int next = 1;
    for (const ReportGroup& group : report.groups) {
        if (!(group.parts & kHasGroupNumber))
            continue;
        if (group.number != next)
            findings.push_back({group.line + 1, L"group \"" + group.name + L"\"",
                                L"<GroupNumber> is " + std::to_wstring(group.number) + L" where " +
                                    std::to_wstring(next) + L" follows"});
        next = group.number + 1;
    }
}

}  // namespace

std::vector<Finding> CheckReport(const Report& report)
{
    std::vector<Finding> findings;
    CheckHeader(report.header, findings);
    CheckGroups(report, findings);
    CheckTests(report, findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings;
}

int RunCheck(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    if (!ParseArguments(args, {{L"--recursive", false, true}}, parsed, error))
        return UsageError(kCheckUsage, error);
    if (parsed.positional.empty())
        return UsageError(kCheckUsage, L"check wants reports or folders of reports");
    std::vector<std::wstring> inputs = CollectInputs(parsed.positional, parsed.Has(L"--recursive"));
    bool unreadable = inputs.empty();
    size_t found = 0;
    ReportReader reader;
    for (const std::wstring& input : inputs) {
        Report report;
        if (!reader.Read(input, report, error)) {
            WriteLine(Stream::Err, error);
            unreadable = true;
            continue;
        }
        if (!report.complete)
            WriteLine(Stream::Out, input + L": " + IncompleteText(report));
        std::vector<Finding> findings = CheckReport(report);
        for (const Finding& finding : findings)
            WriteLine(Stream::Out, input + L", line " + std::to_wstring(finding.line) + L", " + finding.where + L": " +
                                       finding.rule);
        found += findings.size();
    }
    WriteLine(Stream::Out, std::to_wstring(inputs.size()) + (inputs.size() == 1 ? L" report, " : L" reports, ") +
                               std::to_wstring(found) + (found == 1 ? L" finding." : L" findings."));
    return unreadable ? 2 : found ? 1 : 0;
}

}  // namespace kvreport
