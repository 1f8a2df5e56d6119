#include "tools/kvreport/report_model.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace kvreport {

const wchar_t kCatUndef[] = L"CatUndef";
const wchar_t kDescrUndef[] = L"DescrUndef";

const HeaderElement kHeaderElements[6] = {
    {L"Version", &ReportHeader::version, kHasVersion},
    {L"KvDeviceType", &ReportHeader::deviceType, kHasDeviceType},
    {L"Time", &ReportHeader::time, kHasTime},
    {L"Date", &ReportHeader::date, kHasDate},
    {L"Author", &ReportHeader::author, kHasAuthor},
    {L"ComputerName", &ReportHeader::computerName, kHasComputerName},
};

namespace {

// The units the report page shows after a result, by Format word.
struct UnitRow {
    const wchar_t* format;
    const wchar_t* unit;
};
const UnitRow kUnits[] = {
    {L"MHz", L" MHz"},     {L"DegreeCentigrade", L" \u00B0C"}, {L"GigaByte", L" GB"},
    {L"MegaByte", L" MB"}, {L"KiloByte", L" KB"},                {L"Percent", L"%"},
    {L"Bytes", L" bytes"}, {L"Hex", L"h"},                       {L"Rpm", L" rpm"},
    {L"Volt", L" V"},      {L"Ampere", L" A"},                   {L"Minutes", L" min"},
    {L"Seconds", L" sec"}, {L"MilliSeconds", L" ms"},            {L"Watt", L" W"},
};

void AppendPart(std::wstring& label, const std::wstring& part)
{
    if (part == kCatUndef)
        return;
    if (!label.empty())
        label += L" > ";
    label += part;
}

}  // namespace

std::wstring TestLabel(const ReportGroup& group, const ReportCategory& category,
                       const ReportSubCategory& subcategory, const ReportTest& test)
{
    std::wstring label;
    AppendPart(label, group.name);
    AppendPart(label, category.name);
    if (subcategory.element)
        AppendPart(label, subcategory.name);
    AppendPart(label, test.name);
    return label;
}

const wchar_t* UnitOf(const std::wstring& format)
{
    for (const UnitRow& row : kUnits)
        if (format == row.format)
            return row.unit;
    return L"";
}

bool ParseNumber(const std::wstring& text, double& value)
{
    size_t i = 0;
    while (i < text.size() && text[i] == L' ')
        ++i;
    size_t start = i;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+'))
        ++i;
    size_t digits = 0;
    while (i < text.size() && iswdigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == L'.') {
        ++i;
        while (i < text.size() && iswdigit(text[i]))
            ++i, ++digits;
    }
    size_t end = i;
    while (i < text.size() && text[i] == L' ')
        ++i;
    if (digits == 0 || i != text.size())
        return false;
    value = wcstod(text.substr(start, end - start).c_str(), nullptr);
    return true;
}

std::wstring OneLine(const std::wstring& text, size_t maxLength)
{
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\n' || c == L'\r' || c == L'\t')
            c = L' ';
        if (c == L' ' && (line.empty() || line.back() == L' '))
            continue;
        line += c;
    }
    while (!line.empty() && line.back() == L' ')
        line.pop_back();
    if (line.size() > maxLength)
        line = line.substr(0, maxLength) + L"...";
    return line;
}

std::wstring ResultWithUnit(const ReportTest& test, size_t maxLength)
{
    std::wstring value = OneLine(test.result, maxLength);
    if (value.empty())
        return L"(empty)";
    return value + UnitOf(test.format);
}

bool Report::IsOpen(const wchar_t* element) const
{
    for (const std::wstring& name : open)
        if (name == element)
            return true;
    return false;
}

std::wstring IncompleteText(const Report& report)
{
    if (report.complete)
        return std::wstring();
    if (report.groups.empty())
        return L"incomplete: stopped before the first group";
    const ReportGroup& group = report.groups.back();
    int number = (group.parts & kHasGroupNumber) ? group.number : static_cast<int>(report.groups.size());
    std::wstring text = L"incomplete: stopped in group " + std::to_wstring(number);
    if (group.parts & kHasGroupName)
        text += L", " + group.name;
    return text;
}

TestCounts CountTests(const Report& report)
{
    TestCounts counts;
    ForEachTest(report, [&](const ReportGroup&, const ReportCategory&, const ReportSubCategory&,
                            const ReportTest& test) {
        ++counts.tests;
        if (test.status == L"Failed")
            ++counts.failed;
        else if (test.status == L"Alarm")
            ++counts.alarms;
    });
    return counts;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                     nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], size, nullptr, nullptr);
    return utf8;
}

}  // namespace kvreport
