// The rows of table: one per test of a report, with what identifies the device and the
// scan on every row, so that a folder of reports becomes one table a query engine reads
// (CSV or JSON lines, UTF-8, without byte-order mark).
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>

namespace kvreport {

enum class TableFormat { Csv, JsonLines };

// The names of the columns, which are also the members of a JSON line.
extern const wchar_t* const kTableColumns[19];

// The CSV's header line (CR LF); nothing for JSON lines.
std::string TableHeader(TableFormat format);

// One row per test of the report, in report order: CSV lines (CR LF; a missing value is
// an empty field) or JSON lines (LF; a missing value is null).
std::string TableRows(const Report& report, TableFormat format);

}  // namespace kvreport
