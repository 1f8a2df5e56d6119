#include "tools/kvreport/report_index.h"

namespace kvreport {
namespace {

const wchar_t kKeySeparator = L'\x1f';
// The key part of tests that stand straight in their category, apart from any subcategory name.
const wchar_t kNoSubCategory[] = L"\x1e";

std::wstring LabelWith(const std::wstring& label, const std::wstring& name)
{
    if (name == kCatUndef)
        return label;
    return label.empty() ? name : label + L" > " + name;
}

// Adds the part under key, or counts into the one of that key already there.
void AddPart(ReportIndex& index, const std::wstring& key, const std::wstring& parentKey, PartLevel level,
             const std::wstring& label, size_t tests)
{
    auto found = index.partByKey.find(key);
    if (found != index.partByKey.end()) {
        index.parts[found->second].tests += tests;
        return;
    }
    index.partByKey[key] = index.parts.size();
    index.parts.push_back({key, parentKey, level, label, tests});
}

}  // namespace

ReportIndex IndexReport(const Report& report)
{
    ReportIndex index;
    std::map<std::wstring, int> groupsSeen;
    std::map<std::wstring, int> testsSeen;
    for (const ReportGroup& group : report.groups) {
        std::wstring groupKey = group.name + kKeySeparator + std::to_wstring(groupsSeen[group.name]++);
        size_t groupTests = 0;
        AddPart(index, groupKey, L"", PartLevel::Group, group.name, 0);
        for (const ReportCategory& category : group.categories) {
            std::wstring categoryKey = groupKey + kKeySeparator + category.name;
            std::wstring categoryLabel = LabelWith(group.name, category.name);
            size_t categoryTests = 0;
            AddPart(index, categoryKey, groupKey, PartLevel::Category, categoryLabel, 0);
            for (const ReportSubCategory& subcategory : category.subcategories) {
                std::wstring subKey =
                    categoryKey + kKeySeparator + (subcategory.element ? subcategory.name : kNoSubCategory);
                std::wstring subLabel = subcategory.element ? LabelWith(categoryLabel, subcategory.name) : categoryLabel;
                AddPart(index, subKey, categoryKey, PartLevel::SubCategory, subLabel, subcategory.tests.size());
                categoryTests += subcategory.tests.size();
                for (const ReportTest& test : subcategory.tests) {
                    std::wstring key = subKey + kKeySeparator + test.name;
                    int occurrence = testsSeen[key]++;
                    key += kKeySeparator + std::to_wstring(occurrence);
                    index.testByKey[key] = index.tests.size();
                    index.tests.push_back({key, subKey, &group, &category, &subcategory, &test, occurrence});
                }
            }
            index.parts[index.partByKey[categoryKey]].tests += categoryTests;
            groupTests += categoryTests;
        }
        index.parts[index.partByKey[groupKey]].tests += groupTests;
    }
    return index;
}

std::wstring LabelOf(const LocatedTest& at)
{
    std::wstring label = TestLabel(*at.group, *at.category, *at.subcategory, *at.test);
    if (at.occurrence > 0)
        label += L" #" + std::to_wstring(at.occurrence + 1);
    return label;
}

}  // namespace kvreport
