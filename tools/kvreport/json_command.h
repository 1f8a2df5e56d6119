// json: the report as UTF-8 JSON for monitoring systems: the header, counts of
// tests, failed tests and alarms, and groups -> categories -> subcategories -> tests
// with result, Format word and status; numeric results also as numbers. The writer's
// placeholders for a missing name or description ("CatUndef", "DescrUndef") are null.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>
#include <vector>

namespace kvreport {

// The JSON text, CR LF line ends; as a file it is UTF-8 without byte-order mark.
std::wstring ReportJsonText(const Report& report);
std::string ReportJson(const Report& report);

// KvReport json IN.xml [OUT.json]: to OUT, or to the standard output; 0, or 2 on an error.
int RunJson(const std::vector<std::wstring>& args);

}  // namespace kvreport
