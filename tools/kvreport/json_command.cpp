#include "tools/kvreport/json_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/report_reader.h"

#include <cwchar>

namespace kvreport {
namespace {

// Formats whose results are quantities: a numeric result also goes out as "value".
const wchar_t* const kNumericFormats[] = {
    L"Dec",  L"MHz", L"DegreeCentigrade", L"GigaByte", L"MegaByte", L"KiloByte",     L"Percent", L"Bytes",
    L"Rpm",  L"Volt", L"Ampere",          L"Minutes",  L"Seconds",  L"MilliSeconds", L"Watt",
};

struct HeaderField {
    const wchar_t* key;
    std::wstring ReportHeader::*field;
};
const HeaderField kHeaderFields[] = {
    {L"version", &ReportHeader::version}, {L"deviceType", &ReportHeader::deviceType},
    {L"time", &ReportHeader::time},       {L"date", &ReportHeader::date},
    {L"author", &ReportHeader::author},   {L"computerName", &ReportHeader::computerName},
};

std::wstring Quoted(const std::wstring& text)
{
    std::wstring json = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'"': json += L"\\\""; break;
        case L'\\': json += L"\\\\"; break;
        case L'\n': json += L"\\n"; break;
        case L'\r': json += L"\\r"; break;
        case L'\t': json += L"\\t"; break;
        default:
            if (c < 0x20) {
                wchar_t escaped[8];
                swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
                json += escaped;
            } else {
                json += c;
            }
        }
    }
    return json + L"\"";
}

std::wstring Field(const wchar_t* key, const std::wstring& json) { return Quoted(key) + L": " + json; }

bool IsNumericFormat(const std::wstring& format)
{
    for (const wchar_t* numeric : kNumericFormats)
        if (format == numeric)
            return true;
    return false;
}

std::wstring TestJson(const ReportTest& test)
{
    std::wstring json = L"{" + Field(L"number", (test.parts & kHasNumber) ? std::to_wstring(test.number) : L"null");
    json += L", " + Field(L"name", Quoted(test.name));
    json += L", " + Field(L"description", (test.parts & kHasDescription) ? Quoted(test.description) : L"null");
    json += L", " + Field(L"result", (test.parts & kHasResult) ? Quoted(test.result) : L"null");
    json += L", " + Field(L"format", (test.parts & kHasResult) ? Quoted(test.format) : L"null");
    json += L", " + Field(L"status", (test.parts & kHasStatus) ? Quoted(test.status) : L"null");
    double value = 0;
    if ((test.parts & kHasResult) && IsNumericFormat(test.format) && ParseNumber(test.result, value)) {
        wchar_t number[40];
        swprintf(number, 40, L"%.15g", value);
        json += L", " + Field(L"value", number);
    }
    return json + L"}";
}

// Items, one per line at the given indentation, as the inside of a JSON array.
std::wstring ArrayOf(const std::vector<std::wstring>& items, const std::wstring& indent)
{
    if (items.empty())
        return L"[]";
    std::wstring json = L"[\r\n";
    for (size_t i = 0; i < items.size(); ++i)
        json += indent + L"  " + items[i] + (i + 1 < items.size() ? L",\r\n" : L"\r\n");
    return json + indent + L"]";
}

std::wstring SubCategoryJson(const ReportSubCategory& subcategory, const std::wstring& indent)
{
    std::vector<std::wstring> tests;
    for (const ReportTest& test : subcategory.tests)
        tests.push_back(TestJson(test));
    // Tests written straight into their category have no subcategory name.
    return L"{" + Field(L"name", subcategory.element ? Quoted(subcategory.name) : L"null") + L", " +
           Field(L"tests", ArrayOf(tests, indent)) + L"}";
}

std::wstring CategoryJson(const ReportCategory& category, const std::wstring& indent)
{
    std::vector<std::wstring> subcategories;
    for (const ReportSubCategory& subcategory : category.subcategories)
        subcategories.push_back(SubCategoryJson(subcategory, indent + L"  "));
    return L"{" + Field(L"name", Quoted(category.name)) + L", " +
           Field(L"subcategories", ArrayOf(subcategories, indent)) + L"}";
}

std::wstring GroupJson(const ReportGroup& group, const std::wstring& indent)
{
    std::vector<std::wstring> categories;
    for (const ReportCategory& category : group.categories)
        categories.push_back(CategoryJson(category, indent + L"  "));
    return L"{" + Field(L"number", std::to_wstring(group.number)) + L", " + Field(L"name", Quoted(group.name)) +
           L", " + Field(L"description", Quoted(group.description)) + L", " +
           Field(L"categories", ArrayOf(categories, indent)) + L"}";
}

// null for a complete report; where an incomplete one stops.
std::wstring IncompleteJson(const Report& report)
{
    if (report.complete)
        return L"null";
    bool inGroup = !report.groups.empty();
    const ReportGroup* group = inGroup ? &report.groups.back() : nullptr;
    std::wstring number = inGroup && (group->parts & kHasGroupNumber) ? std::to_wstring(group->number) : L"null";
    std::wstring name = inGroup && (group->parts & kHasGroupName) ? Quoted(group->name) : L"null";
    return L"{" + Field(L"group", number) + L", " + Field(L"groupName", name) + L", " +
           Field(L"text", Quoted(IncompleteText(report))) + L"}";
}

}  // namespace

std::wstring ReportJsonText(const Report& report)
{
    std::wstring json = L"{\r\n  \"header\": {";
    for (const HeaderField& field : kHeaderFields)
        json += (&field == kHeaderFields ? L"" : L", ") + Field(field.key, Quoted(report.header.*field.field));
    TestCounts counts = CountTests(report);
    json += L"},\r\n  " + Field(L"counts", L"{" + Field(L"tests", std::to_wstring(counts.tests)) + L", " +
                                             Field(L"failed", std::to_wstring(counts.failed)) + L", " +
                                             Field(L"alarms", std::to_wstring(counts.alarms)) + L"}");
    json += L",\r\n  " + Field(L"incomplete", IncompleteJson(report));
    std::vector<std::wstring> groups;
    for (const ReportGroup& group : report.groups)
        groups.push_back(GroupJson(group, L"    "));
    return json + L",\r\n  " + Field(L"groups", ArrayOf(groups, L"  ")) + L"\r\n}\r\n";
}

std::string ReportJson(const Report& report) { return ToUtf8(ReportJsonText(report)); }

int RunJson(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    if (!ParseArguments(args, {}, parsed, error))
        return UsageError(kJsonUsage, error);
    if (parsed.positional.empty() || parsed.positional.size() > 2)
        return UsageError(kJsonUsage, L"json wants one report and, if it is to go into a file, its name");
    const std::wstring& input = parsed.positional[0];
    if (parsed.positional.size() == 2 && WouldReplaceInput(parsed.positional[1], {input}))
        return Failure(parsed.positional[1] + L": is the report read or its stylesheet; nothing is written");
    Report report;
    if (!ReadReport(input, report, error))
        return Failure(error);
    if (parsed.positional.size() == 1) {
        Write(Stream::Out, ReportJsonText(report));
        return 0;
    }
    DWORD result = WriteFileReplacing(parsed.positional[1], ReportJson(report));
    if (result != ERROR_SUCCESS)
        return Failure(parsed.positional[1] + L": cannot be written: " + SystemMessage(result));
    if (!report.complete)
        WriteLine(Stream::Out, input + L": " + IncompleteText(report));
    return 0;
}

}  // namespace kvreport
