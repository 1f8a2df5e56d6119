// The numbered hierarchy of groups, categories, subcategories and tests.
//
// The tab counts are those of the report format, not the nesting depth: a
// description placeholder sits at 7 tabs, a subcategory opened together with its
// group or category at 4 and 5, tests at 6 and 7.
#include "device/text_helpers.h"
#include "report/xml_writer.h"

#include <cwchar>
#include <string>

namespace kv {
namespace {

const wchar_t kDescrUndef[] = L"DescrUndef";
const wchar_t kCatUndef[] = L"CatUndef";

bool IsEmpty(const wchar_t* text) { return !text || !*text; }

std::wstring Counter(int value) { return Format(L"%d", value); }

}  // namespace

const wchar_t* FormatWord(int format)
{
    static const wchar_t* const kWords[] = {
        L"String",   L"Dec",     L"Hex",           L"Raw",     L"MHz",     L"DegreeCentigrade",
        L"GigaByte", L"MegaByte", L"KiloByte",     L"Percent", L"Bytes",   L"Rpm",
        L"Volt",     L"YesNo",   L"Ampere",        L"Unknown", L"EnableDisable", L"Minutes",
        L"Seconds",  L"MilliSeconds", L"Watt",
    };
    if (format < 1 || format > 21)
        return L"Unknown";
    return kWords[format - 1];
}

const wchar_t* StatusWord(int status)
{
    switch (status) {
    case kPassed: return L"Passed";
    case kFailed: return L"Failed";
    case kAlarm: return L"Alarm";
    default: return L"";
    }
}

DWORD ReportWriter::CloseSubCategory()
{
    if (subCategoryOpen != 1)
        return ERROR_SUCCESS;
    if (WriteEndTag(file, L"SubCategory", 3) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    subCategoryOpen = 0;
    return ERROR_SUCCESS;
}

DWORD ReportWriter::OpenSubCategory(const wchar_t* subCategory, int startDepth)
{
    if (WriteStartTag(file, L"SubCategory", startDepth) != ERROR_SUCCESS ||
        WriteElement(file, L"SubCategoryName", subCategory ? subCategory : kCatUndef, nullptr, nullptr,
                     startDepth + 1) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    subCategoryOpen = 1;
    return ERROR_SUCCESS;
}

DWORD ReportWriter::BeginGroup(const wchar_t* name, const wchar_t* description, const wchar_t* category,
                               const wchar_t* subCategory)
{
    ++groupCounter;
    if (WriteStartTag(file, L"TestGroup", 1) != ERROR_SUCCESS ||
        WriteElement(file, L"GroupNumber", Counter(groupCounter).c_str(), nullptr, nullptr, 2) != ERROR_SUCCESS ||
        WriteElement(file, L"GroupName", name, nullptr, nullptr, 2) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    DWORD descriptionResult = IsEmpty(description)
                                  ? WriteElement(file, L"GroupDescription", kDescrUndef, nullptr, nullptr, 7)
                                  : WriteElement(file, L"GroupDescription", description, nullptr, nullptr, 2);
    if (descriptionResult != ERROR_SUCCESS || WriteStartTag(file, L"Category", 2) != ERROR_SUCCESS ||
        WriteElement(file, L"CategoryName", category ? category : kCatUndef, nullptr, nullptr, 3) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    if (subCategory && wcscmp(subCategory, kManualSubCats) == 0)
        return ERROR_SUCCESS;
    return OpenSubCategory(subCategory, 4);
}

DWORD ReportWriter::BeginGroup(UINT nameId, UINT descriptionId)
{
    return BeginGroup(LoadResourceString(nameId).c_str(), LoadResourceString(descriptionId).c_str(), nullptr,
                      nullptr);
}

DWORD ReportWriter::BeginGroup(UINT nameId, UINT descriptionId, UINT categoryId)
{
    return BeginGroup(LoadResourceString(nameId).c_str(), LoadResourceString(descriptionId).c_str(),
                      LoadResourceString(categoryId).c_str(), nullptr);
}

DWORD ReportWriter::BeginDriversAndToolsGroup()
{
    return BeginGroup(LoadResourceString(281).c_str(), LoadResourceString(282).c_str(),
                      LoadResourceString(283).c_str(), LoadResourceString(284).c_str());
}

DWORD ReportWriter::BeginGeneralGroup()
{
    return BeginGroup(LoadResourceString(391).c_str(), LoadResourceString(392).c_str(),
                      LoadResourceString(393).c_str(), kManualSubCats);
}

DWORD ReportWriter::EndGroup()
{
    if (CloseSubCategory() != ERROR_SUCCESS || WriteEndTag(file, L"Category", 2) != ERROR_SUCCESS ||
        WriteEndTag(file, L"TestGroup", 1) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

DWORD ReportWriter::BeginCategory(const wchar_t* category, const wchar_t* subCategory)
{
    // A null category name is not replaced here: the element cannot be written.
    if (CloseSubCategory() != ERROR_SUCCESS || WriteEndTag(file, L"Category", 2) != ERROR_SUCCESS ||
        WriteStartTag(file, L"Category", 2) != ERROR_SUCCESS ||
        WriteElement(file, L"CategoryName", category, nullptr, nullptr, 3) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    if (subCategory && wcscmp(subCategory, kManualSubCats) == 0)
        return ERROR_SUCCESS;
    return OpenSubCategory(subCategory, 4);
}

DWORD ReportWriter::BeginCategory(UINT categoryId)
{
    return BeginCategory(LoadResourceString(categoryId).c_str(), nullptr);
}

DWORD ReportWriter::BeginCategoryManual(UINT categoryId)
{
    return BeginCategory(LoadResourceString(categoryId).c_str(), kManualSubCats);
}

DWORD ReportWriter::BeginCategory(UINT categoryId, UINT subCategoryId)
{
    return BeginCategory(LoadResourceString(categoryId).c_str(), LoadResourceString(subCategoryId).c_str());
}

DWORD ReportWriter::BeginSubCategory(const wchar_t* subCategory)
{
    if (CloseSubCategory() != ERROR_SUCCESS || WriteStartTag(file, L"SubCategory", 3) != ERROR_SUCCESS ||
        WriteElement(file, L"SubCategoryName", subCategory, nullptr, nullptr, 4) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    subCategoryOpen = 1;
    return ERROR_SUCCESS;
}

DWORD ReportWriter::BeginSubCategory(UINT subCategoryId)
{
    return BeginSubCategory(LoadResourceString(subCategoryId).c_str());
}

DWORD ReportWriter::BeginTest(const wchar_t* name, const wchar_t* description)
{
    if (WriteStartTag(file, L"Test", 6) != ERROR_SUCCESS ||
        WriteElement(file, L"TestName", name, nullptr, nullptr, 7) != ERROR_SUCCESS ||
        WriteElement(file, L"TestDescription", IsEmpty(description) ? kDescrUndef : description, nullptr, nullptr,
                     7) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    ++testCounter;
    if (WriteElement(file, L"TestNumber", Counter(testCounter).c_str(), nullptr, nullptr, 7) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

DWORD ReportWriter::BeginTest(UINT nameId) { return BeginTest(LoadResourceString(nameId).c_str(), nullptr); }

DWORD ReportWriter::BeginTest(UINT nameId, UINT descriptionId)
{
    return BeginTest(LoadResourceString(nameId).c_str(), LoadResourceString(descriptionId).c_str());
}

DWORD ReportWriter::EndTest()
{
    return WriteEndTag(file, L"Test", 6) == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

DWORD ReportWriter::WriteResult(const wchar_t* text, int status, int format)
{
    // The result loses one trailing line feed here and WriteElement takes another,
    // so a text ending in two line feeds is written without either.
    std::wstring result(text ? text : L"");
    if (!result.empty() && result.back() == L'\n')
        result.pop_back();
    if (WriteElement(file, L"TestResult", text ? result.c_str() : nullptr, L"Format", FormatWord(format), 7) !=
            ERROR_SUCCESS ||
        WriteElement(file, L"TestStatus", StatusWord(status), nullptr, nullptr, 7) != ERROR_SUCCESS)
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

DWORD ReportWriter::WriteResult(UINT textId, int format)
{
    return WriteResult(LoadResourceString(textId).c_str(), kPassed, format);
}

}  // namespace kv
