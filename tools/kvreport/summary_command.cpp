#include "tools/kvreport/summary_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/html_page.h"
#include "tools/kvreport/report_reader.h"

#include <algorithm>

namespace kvreport {
namespace {

// Where the BIOS version stands in a report.
const wchar_t kBiosGroup[] = L"BIOS";
const wchar_t kBiosVersionTest[] = L"Version";

struct Column {
    const wchar_t* title;
    std::wstring (*value)(const SummaryRow&);
    bool number;  // right-aligned, never treated as text by a spreadsheet
};

std::wstring HottestValue(const SummaryRow& row) { return row.hasHottest ? row.hottestText : std::wstring(); }

const Column kColumns[] = {
    {L"Computer", [](const SummaryRow& r) { return r.computer; }, false},
    {L"Device type", [](const SummaryRow& r) { return r.deviceType; }, false},
    {L"Date", [](const SummaryRow& r) { return r.date; }, false},
    {L"Time", [](const SummaryRow& r) { return r.time; }, false},
    {L"Program version", [](const SummaryRow& r) { return r.version; }, false},
    {L"BIOS version", [](const SummaryRow& r) { return r.biosVersion; }, false},
    {L"Tests", [](const SummaryRow& r) { return std::to_wstring(r.counts.tests); }, true},
    {L"Failed", [](const SummaryRow& r) { return std::to_wstring(r.counts.failed); }, true},
    {L"Alarms", [](const SummaryRow& r) { return std::to_wstring(r.counts.alarms); }, true},
    {L"Hottest sensor", [](const SummaryRow& r) { return r.hottestSensor; }, false},
    {L"\u00B0C", HottestValue, true},
    {L"Note", [](const SummaryRow& r) { return r.note; }, false},
    {L"File", [](const SummaryRow& r) { return r.path; }, false},
};

bool NeedsAttention(const SummaryRow& row) { return row.counts.failed > 0 || row.counts.alarms > 0; }

std::wstring CsvField(const std::wstring& value, bool number)
{
    std::wstring field = value;
    // A text a spreadsheet would run as a formula is kept as text.
    if (!number && !field.empty() && wcschr(L"=+-@\t\r", field[0]))
        field = L"'" + field;
    if (field.find_first_of(L",\"\r\n") == std::wstring::npos)
        return field;
    std::wstring quoted = L"\"";
    for (wchar_t c : field) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    return quoted + L"\"";
}

std::wstring AttentionText(const std::vector<SummaryRow>& rows)
{
    size_t attention = std::count_if(rows.begin(), rows.end(), NeedsAttention);
    return std::to_wstring(rows.size()) + (rows.size() == 1 ? L" report, " : L" reports, ") +
           std::to_wstring(attention) + L" with failed tests or alarms.";
}

// The reports named on the command line: files as given, folders by their *.xml files.
std::vector<std::wstring> CollectInputs(const std::vector<std::wstring>& arguments)
{
    std::vector<std::wstring> inputs;
    for (const std::wstring& argument : arguments) {
        if (!IsFolder(argument)) {
            inputs.push_back(argument);
            continue;
        }
        std::vector<std::wstring> found = ReportsInFolder(argument);
        if (found.empty())
            WriteLine(Stream::Err, argument + L": holds no .xml files");
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    return inputs;
}

bool WriteOutput(const std::wstring& path, const std::string& bytes, const std::vector<std::wstring>& inputs)
{
    if (WouldReplaceInput(path, inputs)) {
        WriteLine(Stream::Err, path + L": is one of the reports summarised; it is not written");
        return false;
    }
    DWORD result = WriteFileReplacing(path, bytes);
    if (result != ERROR_SUCCESS) {
        WriteLine(Stream::Err, path + L": cannot be written: " + SystemMessage(result));
        return false;
    }
    return true;
}

}  // namespace

SummaryRow Summarise(const Report& report)
{
    SummaryRow row;
    row.path = report.path;
    row.computer = report.header.computerName;
    row.deviceType = report.header.deviceType;
    row.date = report.header.date;
    row.time = report.header.time;
    row.version = report.header.version;
    row.note = IncompleteText(report);
    row.counts = CountTests(report);
    bool biosFound = false;
    ForEachTest(report, [&](const ReportGroup& group, const ReportCategory& category,
                            const ReportSubCategory& subcategory, const ReportTest& test) {
        if (!biosFound && group.name == kBiosGroup && test.name == kBiosVersionTest) {
            row.biosVersion = OneLine(test.result);
            biosFound = true;
        }
        double value = 0;
        if (test.format == L"DegreeCentigrade" && ParseNumber(test.result, value) &&
            (!row.hasHottest || value > row.hottest)) {
            row.hasHottest = true;
            row.hottest = value;
            row.hottestText = OneLine(test.result);
            row.hottestSensor = TestLabel(group, category, subcategory, test);
        }
    });
    return row;
}

void SortForAttention(std::vector<SummaryRow>& rows)
{
    std::stable_sort(rows.begin(), rows.end(), [](const SummaryRow& a, const SummaryRow& b) {
        if (a.counts.alarms != b.counts.alarms)
            return a.counts.alarms > b.counts.alarms;
        if (a.counts.failed != b.counts.failed)
            return a.counts.failed > b.counts.failed;
        if (a.hasHottest != b.hasHottest)
            return a.hasHottest;
        if (a.hasHottest && a.hottest != b.hottest)
            return a.hottest > b.hottest;
        return a.path < b.path;
    });
}

std::wstring SummaryText(const std::vector<SummaryRow>& rows)
{
    std::vector<size_t> widths;
    for (const Column& column : kColumns) {
        size_t width = wcslen(column.title);
        for (const SummaryRow& row : rows)
            width = std::max(width, OneLine(column.value(row), 200).size());
        widths.push_back(width);
    }
    auto line = [&](auto cell) {
        std::wstring text;
        for (size_t i = 0; i < widths.size(); ++i) {
            std::wstring value = cell(i);
            std::wstring padding(widths[i] - value.size(), L' ');
            text += kColumns[i].number ? padding + value : value + padding;
            text += i + 1 < widths.size() ? L"  " : L"";
        }
        while (!text.empty() && text.back() == L' ')
            text.pop_back();
        return text + L"\r\n";
    };
    std::wstring text = line([](size_t i) { return std::wstring(kColumns[i].title); });
    for (const SummaryRow& row : rows)
        text += line([&](size_t i) { return OneLine(kColumns[i].value(row), 200); });
    return text + L"\r\n" + AttentionText(rows) + L"\r\n";
}

std::string SummaryCsv(const std::vector<SummaryRow>& rows)
{
    std::wstring text;
    for (size_t i = 0; i < sizeof kColumns / sizeof kColumns[0]; ++i)
        text += (i ? L"," : L"") + CsvField(kColumns[i].title, false);
    text += L"\r\n";
    for (const SummaryRow& row : rows) {
        for (size_t i = 0; i < sizeof kColumns / sizeof kColumns[0]; ++i)
            text += (i ? L"," : L"") + CsvField(kColumns[i].value(row), kColumns[i].number);
        text += L"\r\n";
    }
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

std::string SummaryHtml(const std::vector<SummaryRow>& rows)
{
    std::wstring body = L"<table>\r\n<tr>";
    for (const Column& column : kColumns)
        body += L"<th>" + HtmlEscape(column.title) + L"</th>";
    body += L"</tr>\r\n";
    for (const SummaryRow& row : rows) {
        body += NeedsAttention(row) ? L"<tr class=\"attention\">" : L"<tr>";
        for (const Column& column : kColumns)
            body += (column.number ? L"<td class=\"number\">" : L"<td>") + HtmlEscape(column.value(row)) + L"</td>";
        body += L"</tr>\r\n";
    }
    body += L"</table>\r\n<p>" + HtmlEscape(AttentionText(rows)) + L"</p>\r\n";
    return HtmlPage(L"Kavrol Inspectra: summary of reports", body);
}

int RunSummary(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    if (!ParseArguments(args, {{L"--csv", false}, {L"--html", false}}, parsed, error))
        return UsageError(kSummaryUsage, error);
    if (parsed.positional.empty())
        return UsageError(kSummaryUsage, L"summary wants reports or folders of reports");

    std::vector<std::wstring> inputs = CollectInputs(parsed.positional);
    std::vector<SummaryRow> rows;
    std::vector<std::wstring> unreadable;
    {
        Progress progress(inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) {
            progress.Show(i, inputs[i]);
            Report report;
            if (ReadReport(inputs[i], report, error)) {
                rows.push_back(Summarise(report));
                continue;
            }
            unreadable.push_back(error);
        }
    }
    // Told after the progress line is gone.
    for (const std::wstring& message : unreadable)
        WriteLine(Stream::Err, message);
    bool failed = !unreadable.empty();
    if (rows.empty())
        return Failure(L"KvReport: no report to summarise");
    SortForAttention(rows);

    std::wstring csv = parsed.Value(L"--csv");
    std::wstring html = parsed.Value(L"--html");
    if (!csv.empty() && !WriteOutput(csv, SummaryCsv(rows), inputs))
        failed = true;
    if (!html.empty() && !WriteOutput(html, SummaryHtml(rows), inputs))
        failed = true;
    Write(Stream::Out, SummaryText(rows));
    return failed ? 2 : 0;
}

}  // namespace kvreport
