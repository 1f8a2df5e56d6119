// table's rows, summary's dates and links: what a query engine and a browser get.
#include "report_builder.h"

#include "tools/kvreport/device_identity.h"
#include "tools/kvreport/report_page.h"
#include "tools/kvreport/summary_command.h"
#include "tools/kvreport/table_rows.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace kvreport {
namespace {

Report FleetReport()
{
    Report report = MakeReport({
        {L"General", L"User Settings", L"User Serial ID", L"Value", L"00C90017h"},
        {L"System Unit", L"Factory Settings", L"CatUndef", L"Serial number", L"E9C50172913"},
        {L"System Unit", L"Statistics", L"CatUndef", L"Power-on hours", L"23541", L"Dec"},
        {L"System Unit", L"Fans", nullptr, L"Case fan 1", L"2400", L"Rpm", L"Alarm"},
        {L"CPU", L"Temperatures", L"CatUndef", L"Internal", L"52.00", L"DegreeCentigrade"},
        {L"CPU Board", L"Factory Settings", L"CatUndef", L"Vendor ID", L"0000001A", L"Hex"},
        {L"Drivers", L"Files", L"CatUndef", L"Path, \"quoted\"", L"C:\\a,b\nnext"},
    });
    report.header.date = L"8 Dec 2026";
    ReportTest& last = report.groups.back().categories.back().subcategories.back().tests.back();
    last.parts = kHasName | kHasDescription | kHasNumber;  // the scan stopped before its result
    last.result.clear();
    last.format.clear();
    last.status.clear();
    report.complete = false;
    return report;
}

const char kShared[] = "r.xml,PC1,Kavrol Corvabox C90,E9C50172913,00C90017h,2026-12-08,10:00:00,Kavrol Inspectra V2.0,";

TEST(TableRows, CsvHasOneRowPerTestWithDeviceAndScanOnEvery)
{
    std::string expected =
        std::string(kShared) + "General,User Settings,User Serial ID,Value,1,00C90017h,String,,,Passed,1\r\n" + kShared +
        "System Unit,Factory Settings,,Serial number,2,E9C50172913,String,,,Passed,1\r\n" + kShared +
        "System Unit,Statistics,,Power-on hours,3,23541,Dec,23541,,Passed,1\r\n" + kShared +
        "System Unit,Fans,,Case fan 1,4,2400,Rpm,2400,rpm,Alarm,1\r\n" + kShared +
        "CPU,Temperatures,,Internal,5,52.00,DegreeCentigrade,52,\xC2\xB0" "C,Passed,1\r\n" + kShared +
        "CPU Board,Factory Settings,,Vendor ID,6,0000001A,Hex,,,Passed,1\r\n" + kShared +
        "Drivers,Files,,\"Path, \"\"quoted\"\"\",7,,,,,,1\r\n";
    EXPECT_EQ(expected, TableRows(FleetReport(), TableFormat::Csv));
    EXPECT_EQ("file,computer,device_type,device_serial,user_serial_id,scan_date,scan_time,program_version,group,"
              "category,subcategory,test,test_number,result,format,value,unit,status,incomplete\r\n",
              TableHeader(TableFormat::Csv));
}

TEST(TableRows, JsonLinesHaveNullForWhatIsNotThere)
{
    std::string text = TableRows(FleetReport(), TableFormat::JsonLines);
    std::vector<nlohmann::json> rows;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        rows.push_back(nlohmann::json::parse(text.substr(start, end - start)));
    ASSERT_EQ(7u, rows.size());
    nlohmann::json fan = {{"file", "r.xml"},           {"computer", "PC1"},
                          {"device_type", "Kavrol Corvabox C90"}, {"device_serial", "E9C50172913"},
                          {"user_serial_id", "00C90017h"}, {"scan_date", "2026-12-08"},
                          {"scan_time", "10:00:00"},      {"program_version", "Kavrol Inspectra V2.0"},
                          {"group", "System Unit"},       {"category", "Fans"},
                          {"subcategory", nullptr},       {"test", "Case fan 1"},
                          {"test_number", 4},             {"result", "2400"},
                          {"format", "Rpm"},              {"value", 2400},
                          {"unit", "rpm"},                {"status", "Alarm"},
                          {"incomplete", true}};
    EXPECT_EQ(fan, rows[3]);
    EXPECT_EQ(52, rows[4]["value"]);
    EXPECT_EQ("\xC2\xB0" "C", rows[4]["unit"]);
    EXPECT_EQ("Path, \"quoted\"", rows[6]["test"]);
    for (const char* missing : {"result", "format", "value", "unit", "status"})
        EXPECT_TRUE(rows[6][missing].is_null()) << missing;
    // Members in the order of the CSV's columns.
    std::string first = text.substr(0, text.find('\n'));
    size_t previous = 0;
    for (const wchar_t* column : kTableColumns) {
        size_t at = first.find("\"" + ToUtf8(column) + "\": ");
        EXPECT_TRUE(at != std::string::npos && at >= previous) << ToUtf8(column);
        previous = at;
    }
}

struct DateCase {
    const wchar_t* written;
    const wchar_t* iso;
};
const DateCase kDates[] = {
    {L"8 Dec 2026", L"2026-12-08"}, {L"31 Jan 2027", L"2027-01-31"}, {L"1 May 2026", L"2026-05-01"},
    {L"8 Dez 2026", L"8 Dez 2026"}, {L"", L""},                      {L"8 Dec", L"8 Dec"},
    {L"8 Dec 2026 x", L"8 Dec 2026 x"}, {L"The device is not ready.", L"The device is not ready."},
};

TEST(Summary, DatesAreIsoWhereTheProgramWroteThem)
{
    for (const DateCase& date : kDates)
        EXPECT_EQ(date.iso, IsoDate(date.written)) << date.written;
}

TEST(Summary, NamesTheDeviceAndShowsTemperaturesInOneFormat)
{
    std::string csv = SummaryCsv({Summarise(FleetReport())});
    std::string expected =
        "\xEF\xBB\xBF"
        "Computer,Device type,Serial number,User Serial ID,Date,Time,Program version,BIOS version,Tests,Failed,Alarms,"
        "Hottest sensor,\xC2\xB0" "C,Note,File\r\n"
        "PC1,Kavrol Corvabox C90,E9C50172913,00C90017h,2026-12-08,10:00:00,Kavrol Inspectra V2.0,,7,0,1,"
        "CPU > Temperatures > Internal,52.00,\"incomplete: stopped in group 5, Drivers\",r.xml\r\n";
    EXPECT_EQ(expected, csv);
}

struct LinkCase {
    const wchar_t* folder;
    const wchar_t* target;
    const wchar_t* link;
};
const LinkCase kLinks[] = {
    {L"C:\\fleet", L"C:\\fleet\\line4.html", L"line4.html"},
    {L"C:\\fleet\\out", L"C:\\fleet\\line 4\\r#1.html", L"../line%204/r%231.html"},
    {L"c:\\Fleet", L"C:\\FLEET\\a\\b.html", L"a/b.html"},
    {L"C:\\", L"C:\\x.html", L"x.html"},
    {L"C:\\out", L"D:\\fleet\\x y.html", L"file:///D:/fleet/x%20y.html"},
    {L"C:\\out", L"\\\\server\\share\\r.html", L"file://server/share/r.html"},
    {L"\\\\server\\share\\out", L"\\\\server\\share\\in\\r.html", L"../in/r.html"},
    {L"C:\\out", L"C:\\\u00DCbersicht\\r.html", L"../%C3%9Cbersicht/r.html"},
};

TEST(Summary, RowsLinkToThePagesRelatively)
{
    for (const LinkCase& link : kLinks)
        EXPECT_EQ(link.link, RelativeLink(link.folder, link.target)) << link.target;
}

}  // namespace
}  // namespace kvreport
