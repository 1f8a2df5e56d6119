#include "report/html_rendering.h"

#include "device/win_handles.h"
#include "report/report_document.h"

#include <msxml2.h>
#include <oleauto.h>

namespace kv {
namespace {

// MinGW declares neither MSXML 6's document class nor, in a library, the interface id.
const CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kIXMLDOMDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : m_b(::SysAllocString(text)) {}
    ~Bstr() { ::SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return m_b; }
    BSTR* put() { return &m_b; }
    UINT length() const { return ::SysStringLen(m_b); }

private:
    BSTR m_b = nullptr;
};

HRESULT CreateDocument(bool stylesheet, ComPtr<IXMLDOMDocument2>& document)
{
    HRESULT hr = ::CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIXMLDOMDocument2,
                                    reinterpret_cast<void**>(document.put()));
    if (FAILED(hr))
        return hr;
    document->put_async(VARIANT_FALSE);
    // Whitespace is content here: leading blanks of values, line breaks of raw dumps, the
    // blank before a unit sign (a parser may split " &#176;C" into a blank-only node).
    document->put_preserveWhiteSpace(VARIANT_TRUE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    if (stylesheet) {
        // The stylesheet is plain XSLT 1.0: no script, no document(), no includes.
        Bstr language(L"SelectionLanguage");
        VARIANT xpath;
        ::VariantInit(&xpath);
        xpath.vt = VT_BSTR;
        xpath.bstrVal = ::SysAllocString(L"XPath");
        document->setProperty(language.get(), xpath);
        ::VariantClear(&xpath);
    }
    return S_OK;
}

HRESULT LoadDocument(const wchar_t* path, bool stylesheet, ComPtr<IXMLDOMDocument2>& document)
{
    HRESULT hr = CreateDocument(stylesheet, document);
    if (FAILED(hr))
        return hr;
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocString(path);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = document->load(source, &loaded);
    ::VariantClear(&source);
    if (FAILED(hr))
        return hr;
    return loaded == VARIANT_TRUE ? S_OK : E_FAIL;
}

// The text of a UTF-16 LE file with byte-order mark, without the mark: S_OK, or S_FALSE
// for a file in any other form (then the parser reads the file itself).
HRESULT ReadUtf16File(const wchar_t* path, Bstr& text)
{
    UniqueFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    LARGE_INTEGER size = {};
    if (!file || !::GetFileSizeEx(file.get(), &size))
        return HRESULT_FROM_WIN32(::GetLastError());
    if (size.QuadPart < 2 || size.QuadPart % 2 != 0 || size.QuadPart > 0x40000000)
        return S_FALSE;
    wchar_t mark = 0;
    DWORD got = 0;
    if (!::ReadFile(file.get(), &mark, sizeof mark, &got, nullptr))
        return HRESULT_FROM_WIN32(::GetLastError());
    if (got != sizeof mark || mark != 0xFEFF)
        return S_FALSE;
    const DWORD bytes = static_cast<DWORD>(size.QuadPart) - sizeof mark;
    *text.put() = ::SysAllocStringLen(nullptr, bytes / sizeof(wchar_t));
    if (text.get() == nullptr)
        return E_OUTOFMEMORY;
    for (DWORD done = 0; done < bytes; done += got) {
        if (!::ReadFile(file.get(), reinterpret_cast<char*>(text.get()) + done, bytes - done, &got, nullptr))
            return HRESULT_FROM_WIN32(::GetLastError());
        if (got == 0)
            return S_FALSE;  // shorter than it was a moment ago: let the parser read what is there
    }
    return S_OK;
}

// The parser reads a file in small pieces through its URL machinery, which costs more
// than the parse itself for a report of megabytes; the report is handed over whole.
HRESULT LoadReport(const wchar_t* path, ComPtr<IXMLDOMDocument2>& document)
{
    Bstr text;
    HRESULT hr = ReadUtf16File(path, text);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE)
        return LoadDocument(path, false, document);
    hr = CreateDocument(false, document);
    if (FAILED(hr))
        return hr;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = document->loadXML(text.get(), &loaded);
    if (FAILED(hr))
        return hr;
    return loaded == VARIANT_TRUE ? S_OK : E_FAIL;
}

HRESULT Transform(const wchar_t* reportPath, const wchar_t* stylesheetPath, Bstr& html)
{
    ComPtr<IXMLDOMDocument2> report;
    ComPtr<IXMLDOMDocument2> stylesheet;
    HRESULT hr = LoadReport(reportPath, report);
    if (SUCCEEDED(hr))
        hr = LoadDocument(stylesheetPath, true, stylesheet);
    if (SUCCEEDED(hr))
        hr = report->transformNode(stylesheet.get(), html.put());
    if (SUCCEEDED(hr) && html.length() == 0)
        hr = E_FAIL;
    return hr;
}

// The processor hands back UTF-16 text; its declaration of that encoding would be
// wrong in the UTF-8 file.
std::wstring DeclareUtf8(std::wstring html)
{
    const wchar_t* const kUtf16Names[] = {L"charset=UTF-16", L"charset=utf-16"};
    for (const wchar_t* name : kUtf16Names) {
        size_t at = html.find(name);
        if (at != std::wstring::npos)
            html.replace(at, wcslen(name), L"charset=UTF-8");
    }
    return html;
}

HRESULT WriteUtf8File(const std::wstring& path, const std::wstring& text)
{
    int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);

    // Written under a temporary name and then moved, so a page is either whole or absent.
    std::wstring temporary = path + L".tmp";
    {
        UniqueFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return HRESULT_FROM_WIN32(::GetLastError());
        DWORD written = 0;
        if (!::WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) ||
            written != utf8.size()) {
            DWORD error = ::GetLastError();
            file.reset();
            ::DeleteFileW(temporary.c_str());
            return HRESULT_FROM_WIN32(error ? error : ERROR_WRITE_FAULT);
        }
    }
    if (!::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DWORD error = ::GetLastError();
        ::DeleteFileW(temporary.c_str());
        return HRESULT_FROM_WIN32(error);
    }
    return S_OK;
}

}  // namespace

HRESULT RenderReportHtml(const wchar_t* reportPath, const wchar_t* stylesheetPath)
{
    std::wstring htmlPath = SiblingPath(reportPath, L".html");
    // A report named like its page ("today.html") is never replaced by the page.
    if (SameFile(htmlPath.c_str(), reportPath) || SameFile(htmlPath.c_str(), stylesheetPath))
        return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
    ComInit com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    Bstr html;
    HRESULT hr = Transform(reportPath, stylesheetPath, html);
    if (SUCCEEDED(hr))
        hr = WriteUtf8File(htmlPath, DeclareUtf8(std::wstring(html.get(), html.length())));
    if (FAILED(hr))
        ::DeleteFileW(htmlPath.c_str());
    return hr;
}

HRESULT RenderReportHtml(const wchar_t* reportPath)
{
    return RenderReportHtml(reportPath, SiblingPath(reportPath, L".xsl").c_str());
}

}  // namespace kv
