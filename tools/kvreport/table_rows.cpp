#include "tools/kvreport/table_rows.h"

#include "tools/kvreport/csv_text.h"
#include "tools/kvreport/device_identity.h"
#include "tools/kvreport/json_text.h"
#include "tools/kvreport/result_values.h"

#include <vector>

namespace kvreport {

const wchar_t* const kTableColumns[19] = {
    L"file",  L"computer", L"device_type", L"device_serial", L"user_serial_id", L"scan_date", L"scan_time",
    L"program_version", L"group", L"category", L"subcategory", L"test", L"test_number", L"result", L"format",
    L"value", L"unit", L"status", L"incomplete",
};

namespace {

// The cells of rows appended to one text, column by column, without a text per cell: a
// fleet's table has hundreds of thousands of rows.
class RowText {
public:
    RowText(std::wstring& text, TableFormat format) : m_text(text), m_format(format) {}

    // A row from its first column, or going on from column after cells made before.
    void Start(size_t column)
    {
        m_column = column;
        if (m_format == TableFormat::JsonLines && column == 0)
            m_text += L'{';
    }
    void End() { m_text += m_format == TableFormat::Csv ? L"\r\n" : L"}\n"; }

    void Null()
    {
        Next();
        if (m_format == TableFormat::JsonLines)
            m_text += L"null";
    }
    void Text(const std::wstring& text)
    {
        Next();
        if (m_format == TableFormat::Csv)
            AppendCsvQuoted(m_text, text);
        else
            AppendJsonString(m_text, text);
    }
    void TextIf(bool present, const std::wstring& text) { present ? Text(text) : Null(); }
    void TextUnlessEmpty(const std::wstring& text) { TextIf(!text.empty(), text); }
    void Number(const std::wstring& number)
    {
        Next();
        m_text += number;
    }
    void Flag(bool flag)
    {
        Next();
        m_text += m_format == TableFormat::Csv ? (flag ? L"1" : L"0") : (flag ? L"true" : L"false");
    }

private:
    // The separator before every cell but the first, and a JSON member's name.
    void Next()
    {
        if (m_column > 0)
            m_text += m_format == TableFormat::Csv ? L"," : L", ";
        if (m_format == TableFormat::JsonLines) {
            AppendJsonString(m_text, kTableColumns[m_column]);
            m_text += L": ";
        }
        ++m_column;
    }

    std::wstring& m_text;
    TableFormat m_format;
    size_t m_column = 0;
};

// The cells every row of a report shares: file, device, scan.
void ReportCells(RowText& row, const Report& report)
{
    const ReportHeader& header = report.header;
    DeviceIdentity identity = IdentifyDevice(report);
    row.Text(report.path);
    row.TextIf((header.fields & kHasComputerName) != 0, header.computerName);
    row.TextIf((header.fields & kHasDeviceType) != 0, header.deviceType);
    row.TextUnlessEmpty(identity.serialNumber);
    row.TextUnlessEmpty(identity.userSerialId);
    row.TextIf((header.fields & kHasDate) != 0, IsoDate(header.date));
    row.TextIf((header.fields & kHasTime) != 0, header.time);
    row.TextIf((header.fields & kHasVersion) != 0, header.version);
}

const size_t kReportColumns = 8;

void TestCells(RowText& row, const ReportGroup& group, const ReportCategory& category,
               const ReportSubCategory& subcategory, const ReportTest& test, bool incomplete)
{
    bool hasResult = (test.parts & kHasResult) != 0;
    double value = 0;
    bool numeric = NumericValue(test, value);
    row.TextIf((group.parts & kHasGroupName) != 0, group.name);
    row.TextUnlessEmpty(PlainName(category.name));
    row.TextUnlessEmpty(subcategory.element ? PlainName(subcategory.name) : std::wstring());
    row.TextIf((test.parts & kHasName) != 0 || !test.name.empty(), test.name);
    if (test.parts & kHasNumber)
        row.Number(std::to_wstring(test.number));
    else
        row.Null();
    row.TextIf(hasResult, test.result);
    row.TextIf(hasResult, test.format);
    if (numeric)
        row.Number(NumberText(value));
    else
        row.Null();
    row.TextUnlessEmpty(numeric ? UnitName(test.format) : std::wstring());
    row.TextIf((test.parts & kHasStatus) != 0, test.status);
    row.Flag(incomplete);
}

}  // namespace

std::string TableHeader(TableFormat format)
{
    if (format != TableFormat::Csv)
        return std::string();
    std::wstring line;
    for (const wchar_t* column : kTableColumns)
        line += (line.empty() ? L"" : L",") + std::wstring(column);
    return ToUtf8(line + L"\r\n");
}

std::string TableRows(const Report& report, TableFormat format)
{
    // The cells of file, device and scan are the same on every row: made into text once.
    std::wstring shared;
    RowText start(shared, format);
    start.Start(0);
    ReportCells(start, report);
    std::wstring rows;
    ForEachTest(report, [&](const ReportGroup& group, const ReportCategory& category,
                            const ReportSubCategory& subcategory, const ReportTest& test) {
        rows += shared;
        RowText row(rows, format);
        row.Start(kReportColumns);
        TestCells(row, group, category, subcategory, test, !report.complete);
        row.End();
    });
    return ToUtf8(rows);
}

}  // namespace kvreport
