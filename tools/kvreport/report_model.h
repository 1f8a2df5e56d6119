// One report of Kavrol Inspectra as the commands of KvReport see it: the header and
// the tree of groups, categories, subcategories and tests, texts as written (entities
// decoded, line breaks as single line feeds, the way an XML parser hands them over).
#pragma once

#include <string>
#include <vector>

namespace kvreport {

// The six header fields, in the order the program writes them.
enum HeaderFields : unsigned {
    kHasVersion = 1,
    kHasDeviceType = 2,
    kHasTime = 4,
    kHasDate = 8,
    kHasAuthor = 16,
    kHasComputerName = 32,
    kAllHeaderFields = 63,
};

struct ReportHeader {
    std::wstring version;
    std::wstring deviceType;
    std::wstring time;
    std::wstring date;
    std::wstring author;
    std::wstring computerName;
    // Which fields the file holds: all of them, but in a report that stops inside its header.
    unsigned fields = kAllHeaderFields;
    int line = 0;  // of its Header start tag
};

// The header's elements in the order the program writes them.
struct HeaderElement {
    const wchar_t* name;  // "ComputerName"
    std::wstring ReportHeader::*field;
    unsigned bit;
};
extern const HeaderElement kHeaderElements[6];

// Which of a test's elements the report holds: a result line that could not be
// written leaves its TestResult and TestStatus out; a report that stops inside a test
// holds only the lines written before.
enum TestParts : unsigned {
    kHasDescription = 1,
    kHasNumber = 2,
    kHasResult = 4,
    kHasStatus = 8,
    kHasName = 16,
};

struct ReportTest {
    std::wstring name;
    std::wstring description;
    int number = 0;
    std::wstring result;
    std::wstring format;
    std::wstring status;
    unsigned parts = 0;
    int line = 0;  // of its Test start tag
};

struct ReportSubCategory {
    std::wstring name;
    // False for tests written straight into the category, without a SubCategory element.
    bool element = true;
    // Tabs before the start tag: 4 when opened together with its category, 3 on its own.
    int depth = 3;
    std::vector<ReportTest> tests;
    bool named = true;  // false only where a report stops before the name line
};

struct ReportCategory {
    std::wstring name;
    std::vector<ReportSubCategory> subcategories;
    bool named = true;  // false only where a report stops before the name line
};

// Which of a group's own elements the report holds.
enum GroupParts : unsigned {
    kHasGroupNumber = 1,
    kHasGroupName = 2,
    kHasGroupDescription = 4,
    kAllGroupParts = 7,
};

struct ReportGroup {
    int number = 0;
    std::wstring name;
    std::wstring description;
    std::vector<ReportCategory> categories;
    int line = 0;
    unsigned parts = kAllGroupParts;
};

// A scan that hangs or loses power leaves a report that is whole up to its last line:
// the program writes it line by line for exactly this. Such a report is read as far as
// it goes and marked incomplete.
struct Report {
    std::wstring path;
    ReportHeader header;
    std::vector<ReportGroup> groups;
    bool complete = true;
    // Of an incomplete report: the elements still open where it ends, outermost first
    // ("KvInspectraReport", "TestGroup", "Category", ...); always the last of their kind.
    // Empty when it ends before its root element. An element whose text was cut is
    // left out, with its text.
    std::vector<std::wstring> open;

    bool IsOpen(const wchar_t* element) const;
};

// The placeholders the writer puts where a name or description was not given.
extern const wchar_t kCatUndef[];
extern const wchar_t kDescrUndef[];

// Calls visit(group, category, subcategory, test) for every test in report order.
template <typename Report_, typename Visit>
void ForEachTest(Report_& report, Visit visit)
{
    for (auto& group : report.groups)
        for (auto& category : group.categories)
            for (auto& subcategory : category.subcategories)
                for (auto& test : subcategory.tests)
                    visit(group, category, subcategory, test);
}

// "Group > Category > Subcategory > Test", leaving out the parts named "CatUndef", as the
// report page labels its failed tests and alarms.
std::wstring TestLabel(const ReportGroup& group, const ReportCategory& category,
                       const ReportSubCategory& subcategory, const ReportTest& test);

// The unit the report page puts after a result of this Format ("" for none): " °C", " V".
const wchar_t* UnitOf(const std::wstring& format);

// A result that is a plain decimal number ("47", "-3", "12.05", blanks around allowed).
bool ParseNumber(const std::wstring& text, double& value);

// The result on one line, for a console: line breaks and tabs as blanks, runs of
// blanks as one, cut after maxLength characters with "...".
std::wstring OneLine(const std::wstring& text, size_t maxLength = 80);

// The result with its unit: "47 °C"; an empty result reads "(empty)".
std::wstring ResultWithUnit(const ReportTest& test, size_t maxLength = 80);

// "" for a complete report; else "incomplete: stopped in group 7, UPS" (the last group
// the report holds) or "incomplete: stopped before the first group".
std::wstring IncompleteText(const Report& report);

struct TestCounts {
    int tests = 0;
    int failed = 0;
    int alarms = 0;
};
TestCounts CountTests(const Report& report);

std::string ToUtf8(const std::wstring& text);

}  // namespace kvreport
