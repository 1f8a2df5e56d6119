// What a test's result means as data, by its Format: a number with a unit, or text.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>

namespace kvreport {

// A result that is a quantity by its Format ("47" of "DegreeCentigrade", "2400" of
// "Rpm"); false for texts, hexadecimal values, raw dumps and failed reads.
bool NumericValue(const ReportTest& test, double& value);

// The unit of a Format as data, without the blank the page puts before it: "°C",
// "V", "%"; "" for a Format without one ("Dec", "String").
std::wstring UnitName(const std::wstring& format);

// A number as JSON and query engines read it: "47", "12.05", "-0.5".
std::wstring NumberText(double value);

// The name of a category or subcategory as data: "" for the writer's placeholder.
std::wstring PlainName(const std::wstring& name);

}  // namespace kvreport
