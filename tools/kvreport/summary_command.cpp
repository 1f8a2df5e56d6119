#include "tools/kvreport/summary_command.h"

#include "tools/kvreport/command_line.h"
#include "tools/kvreport/console.h"
#include "tools/kvreport/csv_text.h"
#include "tools/kvreport/device_identity.h"
#include "tools/kvreport/files.h"
#include "tools/kvreport/html_page.h"
#include "tools/kvreport/ordered_reading.h"
#include "tools/kvreport/report_inputs.h"
#include "tools/kvreport/report_page.h"

#include <algorithm>
#include <cwchar>

namespace kvreport {
namespace {

// Where the BIOS version stands in a report.
const wchar_t kBiosGroup[] = L"BIOS";
const wchar_t kBiosVersionTest[] = L"Version";

struct Column {
    const wchar_t* title;
    std::wstring (*value)(const SummaryRow&);
    bool number;  // right-aligned, sorted as a number, never treated as text by a spreadsheet
};

// Temperatures come with no decimals from some sensors and two from others; the column
// shows all with two.
std::wstring HottestValue(const SummaryRow& row)
{
    if (!row.hasHottest)
        return std::wstring();
    wchar_t text[32];
    swprintf(text, 32, L"%.2f", row.hottest);
    return text;
}

const Column kColumns[] = {
    {L"Computer", [](const SummaryRow& r) { return r.computer; }, false},
    {L"Device type", [](const SummaryRow& r) { return r.deviceType; }, false},
    {L"Serial number", [](const SummaryRow& r) { return r.serialNumber; }, false},
    {L"User Serial ID", [](const SummaryRow& r) { return r.userSerialId; }, false},
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
const size_t kFileColumn = sizeof kColumns / sizeof kColumns[0] - 1;

// Sorts the table by the column whose title is clicked, again for the other way round;
// numbers as numbers. Without scripts the page shows the table in the order written.
const wchar_t kSortScript[] =
    L"document.querySelectorAll('table.sortable th').forEach(function (th, column) {\r\n"
    L"  th.addEventListener('click', function () {\r\n"
    L"    var body = th.closest('table').tBodies[0];\r\n"
    L"    var up = th.getAttribute('aria-sort') !== 'ascending';\r\n"
    L"    th.parentNode.querySelectorAll('th').forEach(function (h) { h.removeAttribute('aria-sort'); });\r\n"
    L"    th.setAttribute('aria-sort', up ? 'ascending' : 'descending');\r\n"
    L"    var key = function (row) {\r\n"
    L"      var text = row.cells[column].textContent;\r\n"
    L"      return th.classList.contains('number') ? (text === '' ? -Infinity : parseFloat(text)) : text;\r\n"
    L"    };\r\n"
    L"    Array.prototype.slice.call(body.rows).sort(function (a, b) {\r\n"
    L"      var x = key(a), y = key(b);\r\n"
    L"      return (x < y ? -1 : x > y ? 1 : 0) * (up ? 1 : -1);\r\n"
    L"    }).forEach(function (row) { body.appendChild(row); });\r\n"
    L"  });\r\n"
    L"});\r\n";

bool NeedsAttention(const SummaryRow& row) { return row.counts.failed > 0 || row.counts.alarms > 0; }

std::wstring AttentionText(const std::vector<SummaryRow>& rows)
{
    size_t attention = std::count_if(rows.begin(), rows.end(), NeedsAttention);
    return std::to_wstring(rows.size()) + (rows.size() == 1 ? L" report, " : L" reports, ") +
           std::to_wstring(attention) + L" with failed tests or alarms.";
}

std::wstring HtmlCell(const Column& column, const SummaryRow& row, bool file)
{
    std::wstring text = HtmlEscape(column.value(row));
    if (file && !row.pageLink.empty())
        text = L"<a href=\"" + HtmlEscape(row.pageLink) + L"\">" + text + L"</a>";
    return (column.number ? L"<td class=\"number\">" : L"<td>") + text + L"</td>";
}

// Rows while a fleet is read: each packed into one text by the thread that read its
// report, kept in one growing text. Many small blocks of every report, kept or freed on
// another thread, made the heap grow by tens of kilobytes a report (a 10,000-report
// summary peaked at 209 MB); one block a report does not.
std::wstring SummaryRow::*const kPackedTexts[] = {
    &SummaryRow::path,         &SummaryRow::computer, &SummaryRow::deviceType,    &SummaryRow::serialNumber,
    &SummaryRow::userSerialId, &SummaryRow::date,     &SummaryRow::time,          &SummaryRow::version,
    &SummaryRow::biosVersion,  &SummaryRow::note,     &SummaryRow::hottestSensor, &SummaryRow::pageLink,
};

// The row's fields, each ended by a NUL.
std::wstring PackRow(const SummaryRow& row)
{
    std::wstring packed;
    for (auto field : kPackedTexts)
        packed += row.*field + L'\0';
    wchar_t numbers[96];
    swprintf(numbers, 96, L"%d %d %d %d %.17g", row.counts.tests, row.counts.failed, row.counts.alarms,
             row.hasHottest ? 1 : 0, row.hottest);
    return packed + numbers + L'\0';
}

// The row packed at packed[at]; at moves past it.
SummaryRow UnpackRow(const std::wstring& packed, size_t& at)
{
    SummaryRow row;
    auto next = [&]() {
        size_t end = packed.find(L'\0', at);
        std::wstring field = packed.substr(at, end - at);
        at = end + 1;
        return field;
    };
    for (auto field : kPackedTexts)
        row.*field = next();
    int hasHottest = 0;
    swscanf(next().c_str(), L"%d %d %d %d %lf", &row.counts.tests, &row.counts.failed, &row.counts.alarms,
            &hasHottest, &row.hottest);
    row.hasHottest = hasHottest != 0;
    return row;
}

// Every readable report's row, in the order of inputs; with a page, each report's page
// rendered where missing and linked. The messages of what failed are returned.
std::vector<std::wstring> SummariseAll(const std::vector<std::wstring>& inputs, const std::wstring& page,
                                       unsigned threads, std::vector<SummaryRow>& rows)
{
    std::vector<std::wstring> packed(inputs.size());
    std::vector<DWORD> pageResults(inputs.size(), ERROR_SUCCESS);
    std::wstring kept;
    std::vector<std::wstring> messages;
    {
        Progress progress(inputs.size());
        ReadReportsInOrder(
            inputs,
            [&](size_t index, const Report& report) {
                SummaryRow row = Summarise(report);
                if (!page.empty()) {
                    pageResults[index] = EnsureReportPage(report);
                    if (pageResults[index] == ERROR_SUCCESS)
                        row.pageLink = LinkFromPage(page, PageOf(report.path));
                }
                packed[index] = PackRow(row);
            },
            [&](size_t index, const std::wstring& error) {
                progress.Show(index, inputs[index]);
                if (!error.empty()) {
                    messages.push_back(error);
                    return;
                }
                if (pageResults[index] != ERROR_SUCCESS)
                    messages.push_back(inputs[index] + L": its page cannot be written: " +
                                       SystemMessage(pageResults[index]));
                kept += packed[index];
                std::wstring().swap(packed[index]);
            },
            threads);
    }
    for (size_t at = 0; at < kept.size();)
        rows.push_back(UnpackRow(kept, at));
    return messages;
}

}  // namespace

SummaryRow Summarise(const Report& report)
{
    SummaryRow row;
    DeviceIdentity identity = IdentifyDevice(report);
    row.path = report.path;
    row.computer = report.header.computerName;
    row.deviceType = report.header.deviceType;
    row.serialNumber = identity.serialNumber;
    row.userSerialId = identity.userSerialId;
    row.date = IsoDate(report.header.date);
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
    for (const Column& column : kColumns)
        text += (text.empty() ? L"" : L",") + SpreadsheetField(column.title, false);
    text += L"\r\n";
    for (const SummaryRow& row : rows) {
        for (const Column& column : kColumns)
            text += (&column == kColumns ? L"" : L",") + SpreadsheetField(column.value(row), column.number);
        text += L"\r\n";
    }
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

std::string SummaryHtml(const std::vector<SummaryRow>& rows)
{
    std::wstring body = L"<table class=\"sortable\">\r\n<thead><tr>";
    for (const Column& column : kColumns)
        body += (column.number ? L"<th class=\"number\">" : L"<th>") + HtmlEscape(column.title) + L"</th>";
    body += L"</tr></thead>\r\n<tbody>\r\n";
    for (const SummaryRow& row : rows) {
        body += NeedsAttention(row) ? L"<tr class=\"attention\">" : L"<tr>";
        for (const Column& column : kColumns)
            body += HtmlCell(column, row, &column == &kColumns[kFileColumn]);
        body += L"</tr>\r\n";
    }
    body += L"</tbody>\r\n</table>\r\n<p>" + HtmlEscape(AttentionText(rows)) + L"</p>\r\n";
    return HtmlPage(L"Kavrol Inspectra: summary of reports", body, kSortScript);
}

int RunSummary(const std::vector<std::wstring>& args)
{
    Arguments parsed;
    std::wstring error;
    unsigned threads = 0;
    if (!ParseArguments(args,
                        {{L"--csv", false}, {L"--html", false}, {L"--recursive", false, true}, {L"--threads", false}},
                        parsed, error) ||
        !ReaderThreadsOption(parsed, threads, error))
        return UsageError(kSummaryUsage, error);
    if (parsed.positional.empty())
        return UsageError(kSummaryUsage, L"summary wants reports or folders of reports");

    std::vector<std::wstring> inputs = CollectInputs(parsed.positional, parsed.Has(L"--recursive"));
    std::wstring csv = parsed.Value(L"--csv");
    std::wstring html = parsed.Value(L"--html");
    std::vector<SummaryRow> rows;
    std::vector<std::wstring> messages = SummariseAll(inputs, html, threads, rows);
    // Told after the progress line is gone.
    for (const std::wstring& message : messages)
        WriteLine(Stream::Err, message);
    bool failed = !messages.empty();
    if (rows.empty())
        return Failure(L"KvReport: no report to summarise");
    SortForAttention(rows);

    if (!csv.empty() && !WriteOutputFile(csv, SummaryCsv(rows), inputs, L"summarised"))
        failed = true;
    if (!html.empty() && !WriteOutputFile(html, SummaryHtml(rows), inputs, L"summarised"))
        failed = true;
    Write(Stream::Out, SummaryText(rows));
    return failed ? 2 : 0;
}

}  // namespace kvreport
