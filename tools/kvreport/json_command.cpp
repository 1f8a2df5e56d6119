#include "tools/kvreport/json_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/json_text.h"
#include "tools/kvreport/report_reader.h"
#include "tools/kvreport/result_values.h"

namespace kvreport {
namespace {

struct HeaderField {
    const wchar_t* key;
    std::wstring ReportHeader::*field;
};
const HeaderField kHeaderFields[] = {
    {L"version", &ReportHeader::version}, {L"deviceType", &ReportHeader::deviceType},
    {L"time", &ReportHeader::time},       {L"date", &ReportHeader::date},
    {L"author", &ReportHeader::author},   {L"computerName", &ReportHeader::computerName},
};

// A text, or null where the report has none: the writer's placeholders mean none.
std::wstring TextOrNull(bool present, const std::wstring& text)
{
    return present && text != kCatUndef && text != kDescrUndef ? JsonString(text) : L"null";
}

std::wstring TestJson(const ReportTest& test)
{
    std::wstring json = L"{" + JsonMember(L"number", (test.parts & kHasNumber) ? std::to_wstring(test.number) : L"null");
    json += L", " + JsonMember(L"name", JsonString(test.name));
    json += L", " + JsonMember(L"description", TextOrNull((test.parts & kHasDescription) != 0, test.description));
    json += L", " + JsonMember(L"result", (test.parts & kHasResult) ? JsonString(test.result) : L"null");
    json += L", " + JsonMember(L"format", (test.parts & kHasResult) ? JsonString(test.format) : L"null");
    json += L", " + JsonMember(L"status", (test.parts & kHasStatus) ? JsonString(test.status) : L"null");
    double value = 0;
    if (NumericValue(test, value))
        json += L", " + JsonMember(L"value", NumberText(value));
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
    return L"{" + JsonMember(L"name", TextOrNull(subcategory.element, subcategory.name)) + L", " +
           JsonMember(L"tests", ArrayOf(tests, indent)) + L"}";
}

std::wstring CategoryJson(const ReportCategory& category, const std::wstring& indent)
{
    std::vector<std::wstring> subcategories;
    for (const ReportSubCategory& subcategory : category.subcategories)
        subcategories.push_back(SubCategoryJson(subcategory, indent + L"  "));
    return L"{" + JsonMember(L"name", TextOrNull(true, category.name)) + L", " +
           JsonMember(L"subcategories", ArrayOf(subcategories, indent)) + L"}";
}

std::wstring GroupJson(const ReportGroup& group, const std::wstring& indent)
{
    std::vector<std::wstring> categories;
    for (const ReportCategory& category : group.categories)
        categories.push_back(CategoryJson(category, indent + L"  "));
    return L"{" + JsonMember(L"number", std::to_wstring(group.number)) + L", " + JsonMember(L"name", JsonString(group.name)) +
           L", " + JsonMember(L"description", TextOrNull((group.parts & kHasGroupDescription) != 0, group.description)) + L", " +
           JsonMember(L"categories", ArrayOf(categories, indent)) + L"}";
}

// null for a complete report; where an incomplete one stops.
std::wstring IncompleteJson(const Report& report)
{
    if (report.complete)
        return L"null";
    bool inGroup = !report.groups.empty();
    const ReportGroup* group = inGroup ? &report.groups.back() : nullptr;
    std::wstring number = inGroup && (group->parts & kHasGroupNumber) ? std::to_wstring(group->number) : L"null";
    std::wstring name = inGroup && (group->parts & kHasGroupName) ? JsonString(group->name) : L"null";
    return L"{" + JsonMember(L"group", number) + L", " + JsonMember(L"groupName", name) + L", " +
           JsonMember(L"text", JsonString(IncompleteText(report))) + L"}";
}

}  // namespace

std::wstring ReportJsonText(const Report& report)
{
    std::wstring json = L"{\r\n  \"header\": {";
    for (const HeaderField& field : kHeaderFields)
        json += (&field == kHeaderFields ? L"" : L", ") + JsonMember(field.key, JsonString(report.header.*field.field));
    TestCounts counts = CountTests(report);
    json += L"},\r\n  " + JsonMember(L"counts", L"{" + JsonMember(L"tests", std::to_wstring(counts.tests)) + L", " +
                                             JsonMember(L"failed", std::to_wstring(counts.failed)) + L", " +
                                             JsonMember(L"alarms", std::to_wstring(counts.alarms)) + L"}");
    json += L",\r\n  " + JsonMember(L"incomplete", IncompleteJson(report));
    std::vector<std::wstring> groups;
    for (const ReportGroup& group : report.groups)
        groups.push_back(GroupJson(group, L"    "));
    return json + L",\r\n  " + JsonMember(L"groups", ArrayOf(groups, L"  ")) + L"\r\n}\r\n";
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
