// table: every test of every report as one row of one table, for the query engines a
// service organisation already has (SQLite, DuckDB, Spark): which devices have a fan
// alarm, backlight hours by model, which firmware is in the field.
#pragma once

#include <string>
#include <vector>

namespace kvreport {

// KvReport table FILE|FOLDER... --csv OUT | --jsonl OUT [--recursive]: 0, or 2 when an
// input could not be read (the rows of the others are still written) or an output not.
int RunTable(const std::vector<std::wstring>& args);

}  // namespace kvreport
