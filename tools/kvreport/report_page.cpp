#include "tools/kvreport/report_page.h"

#include "tools/kvreport/files.h"
#include "tools/kvreport/report_writer.h"

#include "report/html_rendering.h"
#include "report/report_document.h"

#include <vector>

namespace kvreport {
namespace {

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring FullPath(const std::wstring& path)
{
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    full.resize(length < size ? length : 0);
    return full.empty() ? path : full;
}

std::vector<std::wstring> Components(const std::wstring& path)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'\\' && path[i] != L'/')
            continue;
        if (i > start)
            parts.push_back(path.substr(start, i - start));
        start = i + 1;
    }
    return parts;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

std::wstring Encoded(const std::wstring& component)
{
    std::wstring text;
    for (unsigned char byte : ToUtf8(component)) {
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '-' || byte == '.' || byte == '_' || byte == '~') {
            text += static_cast<wchar_t>(byte);
            continue;
        }
        const wchar_t* hex = L"0123456789ABCDEF";
        text += L'%';
        text += hex[byte >> 4];
        text += hex[byte & 15];
    }
    return text;
}

// The drive ("C:") or the share ("\\server\share") a full path starts with, as components.
size_t RootLength(const std::wstring& path) { return path.compare(0, 2, L"\\\\") == 0 ? 2 : 1; }

std::wstring FileUrl(const std::wstring& target)
{
    std::vector<std::wstring> parts = Components(target);
    bool share = target.compare(0, 2, L"\\\\") == 0;
    std::wstring url = share ? L"file://" : L"file:///";
    for (size_t i = 0; i < parts.size(); ++i)
        url += (i ? L"/" : L"") + (i == 0 && !share ? parts[i] : Encoded(parts[i]));
    return url;
}

}  // namespace

std::wstring PageOf(const std::wstring& reportPath) { return kv::SiblingPath(reportPath.c_str(), L".html"); }

DWORD EnsureReportPage(const Report& report)
{
    std::wstring page = PageOf(report.path);
    if (Exists(page))
        return ERROR_SUCCESS;
    if (report.complete && Exists(kv::SiblingPath(report.path.c_str(), L".xsl"))) {
        HRESULT rendered = kv::RenderReportHtml(report.path.c_str());
        if (SUCCEEDED(rendered))
            return ERROR_SUCCESS;
    }
    TemporaryFolder folder(report.path);
    if (!folder.valid())
        return ::GetLastError();
    std::wstring copy = JoinPath(folder.path(), kv::FileNameOf(report.path));
    DWORD result = WriteRenderedCopy(report, copy, kv::SiblingPath(copy.c_str(), L".xsl"));
    if (result != ERROR_SUCCESS)
        return result;
    return MoveIntoPlace(PageOf(copy), page);
}

std::wstring RelativeLink(const std::wstring& folder, const std::wstring& target)
{
    std::vector<std::wstring> from = Components(folder);
    std::vector<std::wstring> to = Components(target);
    size_t root = RootLength(target);
    bool sameRoot = RootLength(folder) == root && from.size() >= root && to.size() > root;
    for (size_t i = 0; sameRoot && i < root; ++i)
        sameRoot = SameName(from[i], to[i]);
    if (!sameRoot)
        return FileUrl(target);
    size_t common = root;
    while (common < from.size() && common + 1 < to.size() && SameName(from[common], to[common]))
        ++common;
    std::wstring link;
    for (size_t i = common; i < from.size(); ++i)
        link += L"../";
    for (size_t i = common; i < to.size(); ++i)
        link += Encoded(to[i]) + (i + 1 < to.size() ? L"/" : L"");
    return link;
}

std::wstring LinkFromPage(const std::wstring& pagePath, const std::wstring& target)
{
    std::wstring page = FullPath(pagePath);
    size_t slash = page.find_last_of(L"\\/");
    return RelativeLink(slash == std::wstring::npos ? page : page.substr(0, slash), FullPath(target));
}

}  // namespace kvreport
