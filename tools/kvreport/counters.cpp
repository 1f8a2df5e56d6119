#include "tools/kvreport/counters.h"

#include <cwctype>

namespace kvreport {
namespace {

// Every counter the program writes, by the category or subcategory it stands in, its
// name and its Format. Module counters of the module way write their hours as
// "%dh %dmin", every other counter as a decimal number.
const CounterRule kCounterRules[] = {
    // Statistics of the system unit, CPU board, UPS, module groups, panels, PC and panel modules.
    {L"Statistics", nullptr, L"Dec", CounterKind::Count},
    {L"Statistics", nullptr, L"String", CounterKind::Hours},
    // The fan statistics of a PC module: cycles, running time, time below the log and alarm limits.
    {L"Fans", L"Power-on cycles", L"Dec", CounterKind::Count},
    {L"Fans", L"Power-on hours", L"String", CounterKind::Hours},
    {L"Fans", L"Log", L"String", CounterKind::Hours},
    {L"Fans", L"Alarm", L"String", CounterKind::Hours},
    // The temperature statistics of a PC or panel module: time beyond the log and alarm limits.
    {L"Temperatures", L"Log", L"String", CounterKind::Hours},
    {L"Temperatures", L"Alarm", L"String", CounterKind::Hours},
    {L"FPGA", L"FPGA update counter", L"Dec", CounterKind::Count},
};

bool ReadDigits(const std::wstring& text, size_t& at, long long& value)
{
    size_t start = at;
    value = 0;
    while (at < text.size() && iswdigit(text[at]) && at - start < 12)
        value = value * 10 + (text[at++] - L'0');
    return at > start && (at == text.size() || !iswdigit(text[at]));
}

// "12h 30min" as minutes.
bool ParseHours(const std::wstring& text, long long& minutes)
{
    size_t at = 0;
    long long hours = 0;
    long long rest = 0;
    if (!ReadDigits(text, at, hours) || text.compare(at, 2, L"h ") != 0)
        return false;
    at += 2;
    if (!ReadDigits(text, at, rest) || rest > 59 || text.compare(at, std::wstring::npos, L"min") != 0)
        return false;
    minutes = hours * 60 + rest;
    return true;
}

}  // namespace

const CounterRule* CounterRuleOf(const ReportCategory& category, const ReportSubCategory& subcategory,
                                 const ReportTest& test)
{
    for (const CounterRule& rule : kCounterRules) {
        bool placed = category.name == rule.place || (subcategory.element && subcategory.name == rule.place);
        if (placed && (!rule.test || test.name == rule.test) && test.format == rule.format)
            return &rule;
    }
    return nullptr;
}

bool CounterReading(CounterKind kind, const std::wstring& result, long long& reading)
{
    if (kind == CounterKind::Hours)
        return ParseHours(result, reading);
    size_t at = 0;
    return ReadDigits(result, at, reading) && at == result.size();
}

std::wstring CounterChangeText(CounterKind kind, long long change)
{
    std::wstring sign = change < 0 ? L"-" : L"+";
    long long amount = change < 0 ? -change : change;
    if (kind == CounterKind::Count)
        return sign + std::to_wstring(amount);
    return sign + std::to_wstring(amount / 60) + L"h " + std::to_wstring(amount % 60) + L"min";
}

}  // namespace kvreport
