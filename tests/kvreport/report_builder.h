// Reports for the tests of KvReport: models from compact rows, texts from lines.
#pragma once

#include "tools/kvreport/report_model.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace kvreport {

// One test; consecutive rows of the same group, category and subcategory share them.
// A null subcategory puts the test straight into its category.
struct Row {
    const wchar_t* group;
    const wchar_t* category;
    const wchar_t* subcategory;
    const wchar_t* test;
    const wchar_t* result;
    const wchar_t* format = L"String";
    const wchar_t* status = L"Passed";
};

inline Report MakeReport(std::initializer_list<Row> rows, const wchar_t* deviceType = L"Kavrol Corvabox C90")
{
    Report report;
    report.path = L"r.xml";
    report.header = {L"Kavrol Inspectra V2.0", deviceType, L"10:00:00", L"1 Dec 2026", L"tech", L"PC1"};
    int number = 0;
    for (const Row& row : rows) {
        if (report.groups.empty() || report.groups.back().name != row.group) {
            report.groups.emplace_back();
            report.groups.back().number = static_cast<int>(report.groups.size());
            report.groups.back().name = row.group;
            report.groups.back().description = kDescrUndef;
        }
        auto& categories = report.groups.back().categories;
        if (categories.empty() || categories.back().name != row.category)
            categories.push_back({row.category, {}});
        auto& subcategories = categories.back().subcategories;
        std::wstring subcategory = row.subcategory ? row.subcategory : L"";
        if (subcategories.empty() || subcategories.back().name != subcategory ||
            subcategories.back().element != (row.subcategory != nullptr))
            subcategories.push_back({subcategory, row.subcategory != nullptr, 4, {}});
        ReportTest test;
        test.name = row.test;
        test.description = kDescrUndef;
        test.number = ++number;
        test.result = row.result;
        test.format = row.format;
        test.status = row.status;
        test.parts = kHasDescription | kHasNumber | kHasResult | kHasStatus;
        subcategories.back().tests.push_back(test);
    }
    return report;
}

// Lines joined with CR LF, as a report file holds them.
inline std::wstring JoinLines(const std::vector<std::wstring>& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\r\n";
    return text;
}

// Text split at CR LF, without the empty rest after the last one.
inline std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

}  // namespace kvreport
