// summary: one row per report over a fleet of devices, the devices that need
// attention (alarms, failed tests, heat) first.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>
#include <vector>

namespace kvreport {

struct SummaryRow {
    std::wstring path;
    std::wstring computer;
    std::wstring deviceType;
    std::wstring date;
    std::wstring time;
    std::wstring version;
    std::wstring biosVersion;
    std::wstring note;  // where an incomplete report stops
    TestCounts counts;
    bool hasHottest = false;
    std::wstring hottestSensor;  // its label
    std::wstring hottestText;    // its result as written
    double hottest = 0;
};

SummaryRow Summarise(const Report& report);

// Most alarms first, then most failed tests, then the hottest; ties by file path.
void SortForAttention(std::vector<SummaryRow>& rows);

std::wstring SummaryText(const std::vector<SummaryRow>& rows);
// UTF-8 with byte-order mark (spreadsheets then read it as UTF-8), CR LF line ends.
std::string SummaryCsv(const std::vector<SummaryRow>& rows);
std::string SummaryHtml(const std::vector<SummaryRow>& rows);

// KvReport summary FILE|FOLDER... [--csv FILE] [--html FILE]: 0, or 2 when an input
// could not be read (the others are still summarised) or an output not written.
int RunSummary(const std::vector<std::wstring>& args);

}  // namespace kvreport
