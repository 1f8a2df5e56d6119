// A report's parts and tests under keys that match them between two reports: by group
// name and its place among groups of that name, category name, subcategory name, test
// name and its place among tests of that name; never by numbers, which shift when a
// group comes or goes.
#pragma once

#include "tools/kvreport/report_model.h"

#include <map>
#include <string>
#include <vector>

namespace kvreport {

// Outermost first.
enum class PartLevel { Group, Category, SubCategory };

struct ReportPart {
    std::wstring key;
    std::wstring parentKey;  // empty for a group
    PartLevel level;
    std::wstring label;  // "Memory > Memory Module 2", leaving out the names "CatUndef"
    size_t tests = 0;    // in all parts of this key
};

struct LocatedTest {
    std::wstring key;
    std::wstring partKey;  // of its subcategory (or of the category it stands in straight)
    const ReportGroup* group;
    const ReportCategory* category;
    const ReportSubCategory* subcategory;
    const ReportTest* test;
    int occurrence;  // among tests of the same names, from 0
};

struct ReportIndex {
    std::vector<ReportPart> parts;  // each key once, in report order
    std::map<std::wstring, size_t> partByKey;
    std::vector<LocatedTest> tests;  // in report order
    std::map<std::wstring, size_t> testByKey;

    bool HasPart(const std::wstring& key) const { return partByKey.count(key) != 0; }
};

ReportIndex IndexReport(const Report& report);

// "Group > Category > Test", "#2" added for the second test of those names.
std::wstring LabelOf(const LocatedTest& at);

}  // namespace kvreport
