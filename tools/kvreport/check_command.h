// check: the rules of the report format that the schema (XML Schema 1.0) cannot state:
// each result's text against its Format, the numbering of groups and tests, the forms of
// the header's fields. docs/REPORT-FORMAT.md lists which rules are whose.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>
#include <vector>

namespace kvreport {

struct Finding {
    int line;
    std::wstring where;  // "test 57 (CPU > Temperatures > Core 1)", "header <Date>"
    std::wstring rule;   // what the text breaks
};

// The findings of one report, in report order; none for a report that keeps every rule.
// An incomplete report is checked as far as it goes.
std::vector<Finding> CheckReport(const Report& report);

// KvReport check FILE|FOLDER...: 0 when every report keeps the rules, 1 with findings
// (one line each: file, line, test, rule), 2 when a report cannot be read.
int RunCheck(const std::vector<std::wstring>& args);

}  // namespace kvreport
