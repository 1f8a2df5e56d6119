// Counters: the statistics a report carries that only grow while a part stays in its
// device (power-on and backlight cycles and hours, fan and battery hours, times beyond
// a limit, FPGA updates). One that went down was reset, or its part exchanged.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>

namespace kvreport {

enum class CounterKind {
    Count,  // a whole number, Format "Dec": "1234"
    Hours,  // a duration, Format "String": "12h 30min"
};

// Where counters stand: a category or subcategory named place, a test of that name
// (any when null), a Format.
struct CounterRule {
    const wchar_t* place;
    const wchar_t* test;
    const wchar_t* format;
    CounterKind kind;
};

// The rule a test falls under, null when it is no counter.
const CounterRule* CounterRuleOf(const ReportCategory& category, const ReportSubCategory& subcategory,
                                 const ReportTest& test);

// A counter's reading: the count, or the duration in minutes; false when the result is
// no reading of its kind (a failed read, "N/A").
bool CounterReading(CounterKind kind, const std::wstring& result, long long& reading);

// A change of a counter, signed: "+13", "-23129", "+2h 30min", "-0h 15min".
std::wstring CounterChangeText(CounterKind kind, long long change);

}  // namespace kvreport
