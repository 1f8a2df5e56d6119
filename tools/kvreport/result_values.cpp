#include "tools/kvreport/result_values.h"

#include <cwchar>

namespace kvreport {
namespace {

// Formats whose results are quantities.
const wchar_t* const kNumericFormats[] = {
    L"Dec",  L"MHz", L"DegreeCentigrade", L"GigaByte", L"MegaByte", L"KiloByte",     L"Percent", L"Bytes",
    L"Rpm",  L"Volt", L"Ampere",          L"Minutes",  L"Seconds",  L"MilliSeconds", L"Watt",
};

bool IsNumericFormat(const std::wstring& format)
{
    for (const wchar_t* numeric : kNumericFormats)
        if (format == numeric)
            return true;
    return false;
}

}  // namespace

bool NumericValue(const ReportTest& test, double& value)
{
    return (test.parts & kHasResult) && IsNumericFormat(test.format) && ParseNumber(test.result, value);
}

std::wstring UnitName(const std::wstring& format)
{
    const wchar_t* unit = UnitOf(format);
    return unit[0] == L' ' ? unit + 1 : unit;
}

std::wstring NumberText(double value)
{
    wchar_t number[40];
    swprintf(number, 40, L"%.15g", value);
    return number;
}

std::wstring PlainName(const std::wstring& name) { return name == kCatUndef ? std::wstring() : name; }

}  // namespace kvreport
