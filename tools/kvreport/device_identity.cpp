#include "tools/kvreport/device_identity.h"

#include <cwchar>
#include <cwctype>

namespace kvreport {
namespace {

// Where the identifying values stand. The system unit is a group of its own in both test
// sequences (in the module family it is PC module 0); the other serial numbers belong to
// parts that are exchanged (CPU board, memory, fan kits).
struct IdentityRule {
    std::wstring DeviceIdentity::*field;
    const wchar_t* group;
    const wchar_t* category;
    const wchar_t* subcategory;
    const wchar_t* test;
};
const IdentityRule kIdentityRules[] = {
    {&DeviceIdentity::serialNumber, L"System Unit", L"Factory Settings", L"CatUndef", L"Serial number"},
    {&DeviceIdentity::userSerialId, L"General", L"User Settings", L"User Serial ID", L"Value"},
};

const wchar_t* const kMonths[] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                  L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};

// A value read: not a failed read's error text, not "N/A", not empty.
bool HoldsValue(const ReportTest& test)
{
    return (test.parts & kHasResult) && test.status == L"Passed" && !test.result.empty() && test.result != L"N/A";
}

}  // namespace

DeviceIdentity IdentifyDevice(const Report& report)
{
    DeviceIdentity identity;
    ForEachTest(report, [&](const ReportGroup& group, const ReportCategory& category,
                            const ReportSubCategory& subcategory, const ReportTest& test) {
        for (const IdentityRule& rule : kIdentityRules) {
            std::wstring& field = identity.*rule.field;
            if (field.empty() && group.name == rule.group && category.name == rule.category &&
                subcategory.name == rule.subcategory && test.name == rule.test && HoldsValue(test))
                field = OneLine(test.result);
        }
    });
    return identity;
}

std::wstring IsoDate(const std::wstring& reportDate)
{
    int day = 0;
    int year = 0;
    wchar_t month[4] = {};
    int consumed = 0;
    if (swscanf(reportDate.c_str(), L"%2d %3ls %4d%n", &day, month, &year, &consumed) != 3 ||
        consumed != static_cast<int>(reportDate.size()) || day < 1 || day > 31 || year < 1000 ||
        !iswdigit(reportDate[0]))
        return reportDate;
    for (int m = 0; m < 12; ++m) {
        if (wcscmp(month, kMonths[m]) != 0)
            continue;
        wchar_t iso[16];
        swprintf(iso, 16, L"%04d-%02d-%02d", year, m + 1, day);
        return iso;
    }
    return reportDate;
}

}  // namespace kvreport
