#include "tools/kvreport/report_writer.h"

#include "tools/kvreport/files.h"

#include "device/win_handles.h"
#include "report/report_document.h"
#include "report/xml_writer.h"
#include "resource.h"

#include <algorithm>
#include <cwctype>

namespace kvreport {
namespace {

// The parser hands line breaks over as line feeds; the program writes CR LF.
std::wstring WithLineEnds(const std::wstring& value)
{
    std::wstring text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == L'\n' && (i == 0 || value[i - 1] != L'\r'))
            text += L'\r';
        text += value[i];
    }
    return text;
}

// The Format attribute is written unescaped: only a plain word may pass.
std::wstring SafeFormat(const std::wstring& format)
{
    bool plain = std::all_of(format.begin(), format.end(), [](wchar_t c) { return c < 0x80 && iswalnum(c); });
    return plain ? format : L"Unknown";
}

// The report's lines through the program's own primitives, stopping at the first
// failure. Of an incomplete report only what it holds is written: the elements it
// leaves open stay open.
class LayoutWriter {
public:
    LayoutWriter(HANDLE file, const Report& report) : m_file(file), m_report(report) {}
    bool ok() const { return m_ok; }

    void Body()
    {
        if (m_report.open.empty() && !m_report.complete)
            return;
        Header(m_report.header);
        for (const ReportGroup& group : m_report.groups)
            Group(group, &group == &m_report.groups.back());
    }

private:
    void Start(const wchar_t* name, int depth) { Check(m_ok ? kv::WriteStartTag(m_file, name, depth) : 0); }
    void End(const wchar_t* name, int depth, bool last)
    {
        // Only the last element of its kind can be one the scan never closed.
        if (!(last && m_report.IsOpen(name)))
            Check(m_ok ? kv::WriteEndTag(m_file, name, depth) : 0);
    }
    void Element(const wchar_t* name, const std::wstring& value, int depth, const wchar_t* format = nullptr)
    {
        if (m_ok)
            Check(kv::WriteElement(m_file, name, WithLineEnds(value).c_str(), format ? L"Format" : nullptr, format,
                                   depth));
    }

    void Header(const ReportHeader& header)
    {
        if (!m_report.complete && !m_report.IsOpen(L"Header") && header.fields == 0)
            return;  // stopped before the header
        Start(L"Header", 1);
        for (const HeaderElement& element : kHeaderElements)
            if (header.fields & element.bit)
                Element(element.name, header.*element.field, 2);
        End(L"Header", 1, true);
    }

    void Group(const ReportGroup& group, bool last)
    {
        Start(L"TestGroup", 1);
        if (group.parts & kHasGroupNumber)
            Element(L"GroupNumber", std::to_wstring(group.number), 2);
        if (group.parts & kHasGroupName)
            Element(L"GroupName", group.name, 2);
        if (group.parts & kHasGroupDescription)
            Element(L"GroupDescription", group.description, group.description == kDescrUndef ? 7 : 2);
        for (const ReportCategory& category : group.categories) {
            bool lastCategory = last && &category == &group.categories.back();
            Start(L"Category", 2);
            if (category.named)
                Element(L"CategoryName", category.name, 3);
            for (const ReportSubCategory& subcategory : category.subcategories)
                SubCategory(subcategory, lastCategory && &subcategory == &category.subcategories.back());
            End(L"Category", 2, lastCategory);
        }
        End(L"TestGroup", 1, last);
    }

    void SubCategory(const ReportSubCategory& subcategory, bool last)
    {
        if (subcategory.element) {
            Start(L"SubCategory", subcategory.depth);
            if (subcategory.named)
                Element(L"SubCategoryName", subcategory.name, subcategory.depth + 1);
        }
        for (const ReportTest& test : subcategory.tests)
            Test(test, last && &test == &subcategory.tests.back());
        if (subcategory.element)
            End(L"SubCategory", 3, last);
    }

    void Test(const ReportTest& test, bool last)
    {
        Start(L"Test", 6);
        if (test.parts & kHasName)
            Element(L"TestName", test.name, 7);
        if (test.parts & kHasDescription)
            Element(L"TestDescription", test.description, 7);
        if (test.parts & kHasNumber)
            Element(L"TestNumber", std::to_wstring(test.number), 7);
        if (test.parts & kHasResult)
            Element(L"TestResult", test.result, 7, SafeFormat(test.format).c_str());
        if (test.parts & kHasStatus)
            Element(L"TestStatus", test.status, 7);
        End(L"Test", 6, last);
    }

    void Check(DWORD result)
    {
        if (result != ERROR_SUCCESS)
            m_ok = false;
    }

    HANDLE m_file;
    const Report& m_report;
    bool m_ok = true;
};

// The first two lines alone: a report that stops before its root element.
DWORD WritePrologue(const std::wstring& path, const std::wstring& stylesheetName)
{
    std::wstring text = L"\xFEFF<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<?xml-stylesheet type=\"text/xsl\" href=\"" +
                        stylesheetName + L"\"?>\r\n";
    kv::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (!file)
        return ::GetLastError();
    return ::WriteFile(file.get(), text.data(), bytes, &written, nullptr) && written == bytes ? ERROR_SUCCESS
                                                                                               : ERROR_WRITE_FAULT;
}

}  // namespace

DWORD WriteReportFile(const Report& report, const std::wstring& path, const std::wstring& stylesheetName)
{
    if (!report.complete && report.open.empty())
        return WritePrologue(path, stylesheetName);
    wchar_t rootName[260] = {};
    kv::UniqueFile file(kv::CreateReportFile(rootName, path.c_str(), stylesheetName.c_str()));
    if (!file)
        return ::GetLastError() ? ::GetLastError() : ERROR_OPEN_FAILED;
    LayoutWriter writer(file.get(), report);
    writer.Body();
    if (!writer.ok())
        return ERROR_WRITE_FAULT;
    if (!report.complete)
        return ::CloseHandle(file.release()) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    HANDLE handle = file.release();
    DWORD result = kv::CloseReport(rootName, handle);
    // CloseReport leaves the file open when its last line cannot be written.
    if (result == ERROR_WRITE_FAULT)
        ::CloseHandle(handle);
    return result;
}

DWORD WriteStylesheet(const std::wstring& path)
{
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(self, MAKEINTRESOURCEW(IDR_STYLESHEET), L"XSL");
    HGLOBAL loaded = resource ? ::LoadResource(self, resource) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!bytes)
        return ERROR_NO_SYSTEM_RESOURCES;
    return WriteFileReplacing(path, std::string(bytes, ::SizeofResource(self, resource)));
}

DWORD WriteReport(const Report& report, const std::wstring& path)
{
    std::wstring stylesheet = kv::SiblingPath(path.c_str(), L".xsl");
    std::wstring temporary = TemporaryFileBeside(path);
    if (temporary.empty())
        return ::GetLastError();
    DWORD result = WriteReportFile(report, temporary, kv::FileNameOf(stylesheet));
    // The stylesheet goes first: a report never stands without it.
    if (result == ERROR_SUCCESS)
        result = WriteStylesheet(stylesheet);
    if (result != ERROR_SUCCESS) {
        ::DeleteFileW(temporary.c_str());
        return result;
    }
    return MoveIntoPlace(temporary, path);
}

}  // namespace kvreport
