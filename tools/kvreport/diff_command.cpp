#include "tools/kvreport/diff_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/html_page.h"
#include "tools/kvreport/report_reader.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <map>

namespace kvreport {
namespace {

// Results that are readings: they move a little from scan to scan of the same device.
// Percentages are compared by points, the others relative to the old value.
struct MeasuredFormat {
    const wchar_t* format;
    bool points;
};
const MeasuredFormat kMeasuredFormats[] = {
    {L"DegreeCentigrade", false}, {L"Rpm", false},      {L"Volt", false},     {L"Ampere", false},
    {L"Watt", false},             {L"GigaByte", false}, {L"MegaByte", false}, {L"KiloByte", false},
    {L"Percent", true},
};

// Header fields that tell one device or program from another; time, date and author
// differ between any two scans and are shown, not compared.
struct HeaderRow {
    const wchar_t* label;
    std::wstring ReportHeader::*field;
};
const HeaderRow kComparedHeader[] = {
    {L"Device type", &ReportHeader::deviceType},
    {L"Computer", &ReportHeader::computerName},
    {L"Program version", &ReportHeader::version},
};

struct Section {
    ChangeKind kind;
    const wchar_t* title;
};
const Section kSections[] = {
    {ChangeKind::Header, L"Header changed"},
    {ChangeKind::Status, L"Status changed"},
    {ChangeKind::Result, L"Results changed"},
    {ChangeKind::Measured, L"Measured values beyond the tolerance"},
    {ChangeKind::TestAdded, L"Tests added"},
    {ChangeKind::TestRemoved, L"Tests removed"},
    {ChangeKind::GroupAdded, L"Groups added"},
    {ChangeKind::GroupRemoved, L"Groups removed"},
};

const wchar_t kKeySeparator = L'\x1f';

struct Located {
    const ReportGroup* group;
    const ReportCategory* category;
    const ReportSubCategory* subcategory;
    const ReportTest* test;
    int occurrence;  // among tests of the same key, from 0
};

// A group's key: its name and its place among groups of that name.
std::vector<std::wstring> GroupKeys(const Report& report)
{
    std::map<std::wstring, int> seen;
    std::vector<std::wstring> keys;
    for (const ReportGroup& group : report.groups)
        keys.push_back(group.name + kKeySeparator + std::to_wstring(seen[group.name]++));
    return keys;
}

// Every test of the report under its key, in report order.
std::vector<std::pair<std::wstring, Located>> TestsByKey(const Report& report, const std::vector<std::wstring>& groups)
{
    std::map<std::wstring, int> seen;
    std::vector<std::pair<std::wstring, Located>> tests;
    for (size_t g = 0; g < report.groups.size(); ++g) {
        const ReportGroup& group = report.groups[g];
        for (const ReportCategory& category : group.categories)
            for (const ReportSubCategory& subcategory : category.subcategories)
                for (const ReportTest& test : subcategory.tests) {
                    std::wstring key = groups[g] + kKeySeparator + category.name + kKeySeparator +
                                       (subcategory.element ? subcategory.name : L"\x1e") + kKeySeparator +
                                       test.name;
                    int occurrence = seen[key]++;
                    key += kKeySeparator + std::to_wstring(occurrence);
                    tests.push_back({key, {&group, &category, &subcategory, &test, occurrence}});
                }
    }
    return tests;
}

std::wstring LabelOf(const Located& at)
{
    std::wstring label = TestLabel(*at.group, *at.category, *at.subcategory, *at.test);
    if (at.occurrence > 0)
        label += L" #" + std::to_wstring(at.occurrence + 1);
    return label;
}

std::wstring ShownResult(const ReportTest& test)
{
    std::wstring shown = ResultWithUnit(test);
    if (test.status != L"Passed" && !test.status.empty())
        shown += L" [" + test.status + L"]";
    return shown;
}

const MeasuredFormat* MeasuredFormatOf(const std::wstring& format)
{
    for (const MeasuredFormat& measured : kMeasuredFormats)
        if (format == measured.format)
            return &measured;
    return nullptr;
}

int DecimalsOf(const std::wstring& text)
{
    size_t dot = text.find(L'.');
    if (dot == std::wstring::npos)
        return 0;
    size_t end = text.find_last_of(L"0123456789");
    return end == std::wstring::npos || end < dot ? 0 : static_cast<int>(end - dot);
}

// "+13 °C": the drift of a measured value, as precise as its texts.
std::wstring DriftText(const ReportTest& before, const ReportTest& after, double delta)
{
    int decimals = std::max(DecimalsOf(before.result), DecimalsOf(after.result));
    wchar_t text[64];
    swprintf(text, 64, L"%+.*f", decimals, delta);
    return text + std::wstring(UnitOf(after.format));
}

// A measured value within the tolerance is no change; true when the result pair was
// judged here (as within, or as a drift added to changes).
bool CompareMeasured(const Located& before, const Located& after, double tolerance, std::vector<Change>& changes)
{
    const ReportTest& old = *before.test;
    const ReportTest& now = *after.test;
    const MeasuredFormat* measured = MeasuredFormatOf(now.format);
    double oldValue = 0;
    double newValue = 0;
    if (!measured || old.format != now.format || !ParseNumber(old.result, oldValue) ||
        !ParseNumber(now.result, newValue))
        return false;
    double delta = newValue - oldValue;
    double limit = measured->points ? tolerance : std::fabs(oldValue) * tolerance / 100;
    if (std::fabs(delta) > limit + 1e-9)
        changes.push_back({ChangeKind::Measured, LabelOf(after), ResultWithUnit(old), ResultWithUnit(now),
                           DriftText(old, now, delta), false});
    return true;
}

void CompareTest(const Located& before, const Located& after, double tolerance, std::vector<Change>& changes)
{
    const ReportTest& old = *before.test;
    const ReportTest& now = *after.test;
    if (old.status != now.status) {
        bool worse = old.status == L"Passed" && (now.status == L"Failed" || now.status == L"Alarm");
        std::wstring results = old.result == now.result && old.format == now.format
                                   ? ResultWithUnit(now)
                                   : ResultWithUnit(old) + L" -> " + ResultWithUnit(now);
        changes.push_back({ChangeKind::Status, LabelOf(after), old.status.empty() ? L"(none)" : old.status,
                           now.status.empty() ? L"(none)" : now.status, results, worse});
        return;
    }
    if (old.result == now.result && old.format == now.format)
        return;
    if (CompareMeasured(before, after, tolerance, changes))
        return;
    std::wstring note = old.format == now.format ? L"" : L"Format " + old.format + L" -> " + now.format;
    changes.push_back({ChangeKind::Result, LabelOf(after), ResultWithUnit(old), ResultWithUnit(now), note, false});
}

std::wstring TestCountText(const ReportGroup& group)
{
    size_t count = 0;
    for (const ReportCategory& category : group.categories)
        for (const ReportSubCategory& subcategory : category.subcategories)
            count += subcategory.tests.size();
    return std::to_wstring(count) + (count == 1 ? L" test" : L" tests");
}

void CompareGroups(const Report& before, const Report& after, const std::vector<std::wstring>& oldKeys,
                   const std::vector<std::wstring>& newKeys, std::vector<Change>& changes)
{
    for (size_t i = 0; i < after.groups.size(); ++i)
        if (std::find(oldKeys.begin(), oldKeys.end(), newKeys[i]) == oldKeys.end())
            changes.push_back({ChangeKind::GroupAdded, after.groups[i].name, L"", TestCountText(after.groups[i]),
                               L"", false});
    for (size_t i = 0; i < before.groups.size(); ++i)
        if (std::find(newKeys.begin(), newKeys.end(), oldKeys[i]) == newKeys.end())
            changes.push_back({ChangeKind::GroupRemoved, before.groups[i].name, TestCountText(before.groups[i]),
                               L"", L"", false});
}

bool GroupOfKey(const std::wstring& testKey, const std::vector<std::wstring>& groupKeys)
{
    for (const std::wstring& group : groupKeys)
        if (testKey.compare(0, group.size(), group) == 0 && testKey.size() > group.size() &&
            testKey[group.size()] == kKeySeparator)
            return true;
    return false;
}

void CompareTests(const Report& before, const Report& after, const std::vector<std::wstring>& oldKeys,
                  const std::vector<std::wstring>& newKeys, double tolerance, std::vector<Change>& changes)
{
    auto oldTests = TestsByKey(before, oldKeys);
    auto newTests = TestsByKey(after, newKeys);
    std::map<std::wstring, const Located*> oldByKey;
    std::map<std::wstring, const Located*> newByKey;
    for (const auto& entry : oldTests)
        oldByKey[entry.first] = &entry.second;
    for (const auto& entry : newTests)
        newByKey[entry.first] = &entry.second;

    // Tests of a group that came or went are counted with their group, not one by one.
    for (const auto& entry : newTests) {
        auto old = oldByKey.find(entry.first);
        if (old != oldByKey.end())
            CompareTest(*old->second, entry.second, tolerance, changes);
        else if (GroupOfKey(entry.first, oldKeys))
            changes.push_back({ChangeKind::TestAdded, LabelOf(entry.second), L"", ShownResult(*entry.second.test),
                               L"", false});
    }
    for (const auto& entry : oldTests)
        if (!newByKey.count(entry.first) && GroupOfKey(entry.first, newKeys))
            changes.push_back({ChangeKind::TestRemoved, LabelOf(entry.second), ShownResult(*entry.second.test), L"",
                               L"", false});
}

std::wstring ToleranceText(double tolerance)
{
    wchar_t text[32];
    swprintf(text, 32, L"%g%%", tolerance);
    return text;
}

std::wstring SectionTitle(const Section& section, const Comparison& comparison)
{
    if (section.kind == ChangeKind::Measured)
        return L"Measured values beyond " + ToleranceText(comparison.tolerance);
    return section.title;
}

std::wstring ChangeLine(const Change& change)
{
    std::wstring line = change.label + L": ";
    if (change.before.empty())
        line += change.after;
    else if (change.after.empty())
        line += change.before;
    else
        line += change.before + L" -> " + change.after;
    if (!change.note.empty())
        line += L" (" + change.note + L")";
    return line;
}

std::wstring Describe(const Report& report)
{
    const ReportHeader& header = report.header;
    std::wstring text = report.path + L": " + header.deviceType + L", " + header.computerName + L", " + header.date +
                        L" " + header.time + L", " + header.version;
    return report.complete ? text : text + L" (" + IncompleteText(report) + L")";
}

std::wstring CountText(size_t count)
{
    if (count == 0)
        return L"No differences.";
    return std::to_wstring(count) + (count == 1 ? L" difference." : L" differences.");
}

std::wstring HeaderTableRow(const wchar_t* which, const Report& report)
{
    const ReportHeader& header = report.header;
    const std::wstring cells[] = {which, report.path, header.deviceType, header.computerName,
                                  header.date + L" " + header.time, header.version, IncompleteText(report)};
    std::wstring row = L"<tr>";
    for (const std::wstring& cell : cells)
        row += L"<td>" + HtmlEscape(cell) + L"</td>";
    return row + L"</tr>\r\n";
}

std::wstring SectionTable(const Section& section, const Comparison& comparison)
{
    std::wstring rows;
    size_t count = 0;
    for (const Change& change : comparison.changes) {
        if (change.kind != section.kind)
            continue;
        ++count;
        rows += change.worse ? L"<tr class=\"attention\">" : L"<tr>";
        for (const std::wstring* cell : {&change.label, &change.before, &change.after, &change.note})
            rows += L"<td>" + HtmlEscape(*cell) + L"</td>";
        rows += L"</tr>\r\n";
    }
    if (count == 0)
        return std::wstring();
    return L"<h2>" + HtmlEscape(SectionTitle(section, comparison)) + L" (" + std::to_wstring(count) +
           L")</h2>\r\n<table>\r\n<tr><th>Where</th><th>Old</th><th>New</th><th>Note</th></tr>\r\n" + rows +
           L"</table>\r\n";
}

bool ParseTolerance(const std::wstring& text, double& tolerance)
{
    return ParseNumber(text, tolerance) && tolerance >= 0 && text.find(L'-') == std::wstring::npos;
}

}  // namespace

Comparison CompareReports(const Report& before, const Report& after, double tolerance)
{
    Comparison comparison;
    comparison.tolerance = tolerance;
    std::vector<Change>& changes = comparison.changes;
    for (const HeaderRow& row : kComparedHeader)
        if (before.header.*row.field != after.header.*row.field)
            changes.push_back({ChangeKind::Header, row.label, before.header.*row.field, after.header.*row.field,
                               L"", false});
    std::vector<std::wstring> oldKeys = GroupKeys(before);
    std::vector<std::wstring> newKeys = GroupKeys(after);
    CompareGroups(before, after, oldKeys, newKeys, changes);
    CompareTests(before, after, oldKeys, newKeys, tolerance, changes);
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        return a.worse && !b.worse;
    });
    return comparison;
}

std::wstring ComparisonText(const Report& before, const Report& after, const Comparison& comparison)
{
    std::wstring text = L"Old: " + Describe(before) + L"\r\nNew: " + Describe(after) + L"\r\n";
    for (const Section& section : kSections) {
        std::wstring lines;
        size_t count = 0;
        for (const Change& change : comparison.changes)
            if (change.kind == section.kind) {
                lines += L"  " + ChangeLine(change) + L"\r\n";
                ++count;
            }
        if (count)
            text += L"\r\n" + SectionTitle(section, comparison) + L" (" + std::to_wstring(count) + L"):\r\n" + lines;
    }
    return text + L"\r\n" + CountText(comparison.changes.size()) + L"\r\n";
}

std::string ComparisonHtml(const Report& before, const Report& after, const Comparison& comparison)
{
    std::wstring body = L"<table>\r\n<tr><th></th><th>Report</th><th>Device type</th><th>Computer</th>"
                        L"<th>Date and time</th><th>Program version</th><th>Note</th></tr>\r\n" +
                        HeaderTableRow(L"Old", before) + HeaderTableRow(L"New", after) + L"</table>\r\n";
    for (const Section& section : kSections)
        body += SectionTable(section, comparison);
    body += L"<p>" + HtmlEscape(CountText(comparison.changes.size())) + L"</p>\r\n";
    return HtmlPage(L"Kavrol Inspectra: comparison of two reports", body);
}

int RunDiff(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    if (!ParseArguments(args, {{L"--tolerance", false}, {L"--html", false}}, parsed, error))
        return UsageError(kDiffUsage, error);
    if (parsed.positional.size() != 2)
        return UsageError(kDiffUsage, L"diff compares two reports");
    double tolerance = kDefaultTolerance;
    if (parsed.Has(L"--tolerance") && !ParseTolerance(parsed.Value(L"--tolerance"), tolerance))
        return UsageError(kDiffUsage, L"--tolerance wants a percentage, 0 or more: " + parsed.Value(L"--tolerance"));

    Report before;
    Report after;
    if (!ReadReport(parsed.positional[0], before, error) || !ReadReport(parsed.positional[1], after, error))
        return Failure(error);
    Comparison comparison = CompareReports(before, after, tolerance);

    std::wstring html = parsed.Value(L"--html");
    if (!html.empty()) {
        if (WouldReplaceInput(html, parsed.positional))
            return Failure(html + L": is one of the reports compared; the page is not written");
        DWORD result = WriteFileReplacing(html, ComparisonHtml(before, after, comparison));
        if (result != ERROR_SUCCESS)
            return Failure(html + L": cannot be written: " + SystemMessage(result));
    }
    Write(Stream::Out, ComparisonText(before, after, comparison));
    return comparison.changes.empty() ? 0 : 1;
}

}  // namespace kvreport
