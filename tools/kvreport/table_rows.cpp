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

struct Cell {
    enum Kind { Null, Text, Number, Flag } kind = Null;
    std::wstring text;  // a Flag's is "true" or "false"
};

Cell TextCell(const std::wstring& text) { return {Cell::Text, text}; }
Cell TextCellIf(bool present, const std::wstring& text) { return present ? TextCell(text) : Cell(); }
Cell TextCellUnlessEmpty(const std::wstring& text) { return TextCellIf(!text.empty(), text); }

// The cells every row of a report shares: file, device, scan.
std::vector<Cell> ReportCells(const Report& report)
{
    const ReportHeader& header = report.header;
    DeviceIdentity identity = IdentifyDevice(report);
    auto field = [&](unsigned bit, const std::wstring& text) { return TextCellIf((header.fields & bit) != 0, text); };
    return {TextCell(report.path),
            field(kHasComputerName, header.computerName),
            field(kHasDeviceType, header.deviceType),
            TextCellUnlessEmpty(identity.serialNumber),
            TextCellUnlessEmpty(identity.userSerialId),
            field(kHasDate, IsoDate(header.date)),
            field(kHasTime, header.time),
            field(kHasVersion, header.version)};
}

void AppendTestCells(std::vector<Cell>& cells, const ReportGroup& group, const ReportCategory& category,
                     const ReportSubCategory& subcategory, const ReportTest& test, bool incomplete)
{
    bool hasResult = (test.parts & kHasResult) != 0;
    double value = 0;
    bool numeric = NumericValue(test, value);
    std::wstring unit = numeric ? UnitName(test.format) : std::wstring();
    cells.push_back(TextCellIf((group.parts & kHasGroupName) != 0, group.name));
    cells.push_back(TextCellUnlessEmpty(PlainName(category.name)));
    cells.push_back(TextCellUnlessEmpty(subcategory.element ? PlainName(subcategory.name) : std::wstring()));
    cells.push_back(TextCellIf((test.parts & kHasName) != 0 || !test.name.empty(), test.name));
    cells.push_back((test.parts & kHasNumber) ? Cell{Cell::Number, std::to_wstring(test.number)} : Cell());
    cells.push_back(TextCellIf(hasResult, test.result));
    cells.push_back(TextCellIf(hasResult, test.format));
    cells.push_back(numeric ? Cell{Cell::Number, NumberText(value)} : Cell());
    cells.push_back(TextCellUnlessEmpty(unit));
    cells.push_back(TextCellIf((test.parts & kHasStatus) != 0, test.status));
    cells.push_back({Cell::Flag, incomplete ? L"true" : L"false"});
}

// Cells as the text of a row: CSV fields or JSON members, each after a separator, first
// the column's name for JSON. first is the column of cells[0].
std::wstring CellsText(const std::vector<Cell>& cells, size_t first, TableFormat format)
{
    std::wstring text;
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        if (first + i > 0)
            text += format == TableFormat::Csv ? L"," : L", ";
        if (format == TableFormat::JsonLines) {
            text += JsonMember(kTableColumns[first + i], cell.kind == Cell::Null   ? std::wstring(L"null")
                                                          : cell.kind == Cell::Text ? JsonString(cell.text)
                                                                                    : cell.text);
        } else if (cell.kind == Cell::Flag) {
            text += cell.text == L"true" ? L"1" : L"0";
        } else if (cell.kind != Cell::Null) {
            text += CsvQuoted(cell.text);
        }
    }
    return text;
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
    std::vector<Cell> shared = ReportCells(report);
    const std::wstring start = (format == TableFormat::Csv ? L"" : L"{") + CellsText(shared, 0, format);
    const wchar_t* end = format == TableFormat::Csv ? L"\r\n" : L"}\n";
    std::wstring rows;
    std::vector<Cell> cells;
    ForEachTest(report, [&](const ReportGroup& group, const ReportCategory& category,
                            const ReportSubCategory& subcategory, const ReportTest& test) {
        cells.clear();
        AppendTestCells(cells, group, category, subcategory, test, !report.complete);
        rows += start + CellsText(cells, shared.size(), format) + end;
    });
    return ToUtf8(rows);
}

}  // namespace kvreport
