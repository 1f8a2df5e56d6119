#include "tools/kvreport/redactor.h"

#include "tools/kvreport/private_values.h"
#include "tools/kvreport/raw_dump_text.h"

#include <algorithm>

namespace kvreport {

const wchar_t kRedactedMark[] = L" (redacted)";

namespace {

struct KeepName {
    const wchar_t* name;
    unsigned field;
};
const KeepName kKeepNames[] = {
    {L"computer", kRedactComputer},         {L"author", kRedactAuthor}, {L"owner", kRedactOwner},
    {L"organization", kRedactOrganization}, {L"user-serial-id", kRedactUserSerialId},
    {L"serial", kRedactSerial},             {L"raw", kRedactRaw},
};

// The header fields that are private.
struct HeaderRule {
    unsigned field;
    const wchar_t* kind;  // the placeholder's stem
    const wchar_t* what;
    std::wstring ReportHeader::*member;
    unsigned bit;
};
const HeaderRule kHeaderRules[] = {
    {kRedactComputer, L"Computer", L"computer name", &ReportHeader::computerName, kHasComputerName},
    {kRedactAuthor, L"User", L"user name", &ReportHeader::author, kHasAuthor},
};

// Tests whose result is private, by subcategory (null: any) and test name.
struct TestRule {
    unsigned field;
    const wchar_t* kind;
    const wchar_t* what;
    const wchar_t* subcategory;
    const wchar_t* test;
};
const TestRule kTestRules[] = {
    {kRedactOwner, L"Owner", L"registered owner", nullptr, L"Registered owner"},
    {kRedactOrganization, L"Organization", L"registered organization", nullptr, L"Registered organization"},
    {kRedactUserSerialId, L"UserSerialID", L"User Serial ID", L"User Serial ID", L"Value"},
    {kRedactSerial, L"Serial", L"serial number", nullptr, L"Serial number"},
};

const wchar_t kRawFormat[] = L"Raw";
const wchar_t kRawKind[] = L"RawData";
// A placeholder is no value of any Format but text.
const wchar_t kPlaceholderFormat[] = L"String";
// A result that holds no value of the device: nothing to hide, and a placeholder
// would pretend there was one.
const wchar_t kNotAvailable[] = L"N/A";

bool HoldsValue(const ReportTest& test)
{
    return (test.parts & kHasResult) && !test.result.empty() && test.status != L"Failed" &&
           test.result != kNotAvailable;
}

const TestRule* RuleOf(const ReportSubCategory& subcategory, const ReportTest& test)
{
    for (const TestRule& rule : kTestRules)
        if (test.name == rule.test && (!rule.subcategory || (subcategory.element && subcategory.name == rule.subcategory)))
            return &rule;
    return nullptr;
}

struct Searched {
    std::wstring folded;
    const PrivateValue* value;
    bool asWord;
};

// The values to look for in other texts of one report, longest first, so that a value
// inside a longer one ("E9D2" in "E9D20177341") never splits it.
std::vector<Searched> SearchList(const std::vector<PrivateValue>& values, const Vocabulary& vocabulary)
{
    std::vector<Searched> list;
    for (const PrivateValue& value : values)
        list.push_back({Folded(value.value), &value, SearchedAsWord(value.value, vocabulary)});
    std::stable_sort(list.begin(), list.end(),
                     [](const Searched& a, const Searched& b) { return a.folded.size() > b.folded.size(); });
    return list;
}

// One pass over text, at every place the longest value that stands there, so that a
// placeholder just written is never searched again.
int ReplaceInText(std::wstring& text, const std::vector<Searched>& list)
{
    std::wstring folded = Folded(text);
    std::wstring result;
    int count = 0;
    size_t i = 0;
    while (i < text.size()) {
        const Searched* match = nullptr;
        for (const Searched& searched : list)
            if (StandsAt(folded, i, searched.folded, searched.asWord)) {
                match = &searched;
                break;
            }
        if (!match) {
            result += text[i++];
            continue;
        }
        result += match->value->placeholder;
        i += match->folded.size();
        ++count;
    }
    text = result;
    return count;
}

void MarkRedacted(std::wstring& version)
{
    size_t mark = wcslen(kRedactedMark);
    if (version.size() < mark || version.compare(version.size() - mark, mark, kRedactedMark) != 0)
        version += kRedactedMark;
}

}  // namespace

bool ParseKeep(const std::vector<std::wstring>& values, unsigned& keep, std::wstring& error)
{
    keep = 0;
    for (const std::wstring& value : values) {
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = std::min(value.find(L',', start), value.size());
            std::wstring name = value.substr(start, comma - start);
            const KeepName* found = nullptr;
            for (const KeepName& candidate : kKeepNames)
                if (name == candidate.name)
                    found = &candidate;
            if (!found) {
                error = L"--keep knows computer, author, owner, organization, user-serial-id, serial and raw, not \"" +
                        name + L"\"";
                return false;
            }
            keep |= found->field;
            start = comma + 1;
        }
    }
    return true;
}

std::wstring Redactor::Placeholder(const wchar_t* kind, const wchar_t* what, const std::wstring& value)
{
    std::wstring key = std::wstring(kind) + L'\x1f' + value;
    auto found = m_byKindAndValue.find(key);
    if (found != m_byKindAndValue.end())
        return m_values[found->second].placeholder;
    std::wstring placeholder = std::wstring(kind) + L"-" + std::to_wstring(++m_counters[kind]);
    m_byKindAndValue[key] = m_values.size();
    m_values.push_back({value, placeholder, what});
    return placeholder;
}

std::vector<std::wstring> Redactor::Placeholders() const
{
    std::vector<std::wstring> placeholders;
    for (const PrivateValue& value : m_values)
        placeholders.push_back(value.placeholder);
    for (const auto& dump : m_rawDumps)
        placeholders.push_back(dump.second);
    return placeholders;
}

void Redactor::Learn(const Report& report)
{
    for (const HeaderRule& rule : kHeaderRules) {
        const std::wstring& value = report.header.*rule.member;
        if (!(m_keep & rule.field) && (report.header.fields & rule.bit) && !IsTrivial(value))
            Placeholder(rule.kind, rule.what, value);
    }
    ForEachTest(report, [&](const ReportGroup&, const ReportCategory&, const ReportSubCategory& subcategory,
                            const ReportTest& test) {
        const TestRule* rule = RuleOf(subcategory, test);
        if (rule && !(m_keep & rule->field) && HoldsValue(test) && !IsTrivial(test.result))
            Placeholder(rule->kind, rule->what, test.result);
    });
}

// With --keep raw a dump stays unless it holds a private value in any form; one that
// cannot be read as a dump cannot be searched and goes.
bool Redactor::RawDumpStays(const std::wstring& dump) const
{
    if (!(m_keep & kRedactRaw))
        return false;
    std::vector<unsigned char> bytes;
    std::wstring problem;
    if (!ParseRawDump(dump, bytes, problem))
        return false;
    return std::none_of(m_values.begin(), m_values.end(),
                        [&](const PrivateValue& value) { return BytesHold(bytes, value.value); });
}

int Redactor::Redact(Report& report)
{
    Learn(report);
    int replaced = 0;
    for (const HeaderRule& rule : kHeaderRules) {
        std::wstring& value = report.header.*rule.member;
        if (!(m_keep & rule.field) && (report.header.fields & rule.bit) && !IsTrivial(value)) {
            value = Placeholder(rule.kind, rule.what, value);
            ++replaced;
        }
    }
    std::vector<Searched> list = SearchList(m_values, Vocabulary(report));
    ForEachTest(report, [&](ReportGroup&, ReportCategory&, ReportSubCategory& subcategory, ReportTest& test) {
        const TestRule* rule = RuleOf(subcategory, test);
        if (rule && !(m_keep & rule->field) && HoldsValue(test) && !IsTrivial(test.result)) {
            test.result = Placeholder(rule->kind, rule->what, test.result);
        } else if (test.format == kRawFormat && HoldsValue(test) && !RawDumpStays(test.result)) {
            std::wstring& placeholder = m_rawDumps[test.result];
            if (placeholder.empty())
                placeholder = std::wstring(kRawKind) + L"-" + std::to_wstring(++m_counters[kRawKind]);
            test.result = placeholder;
        } else {
            replaced += ReplaceInText(test.result, list);
            return;
        }
        test.format = kPlaceholderFormat;
        ++replaced;
    });
    if (report.header.fields & kHasVersion)
        MarkRedacted(report.header.version);
    return replaced;
}

}  // namespace kvreport
