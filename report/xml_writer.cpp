#include "report/xml_writer.h"

#include "report/xml_line.h"

#include <string>

namespace kv {
namespace {

DWORD WriteLine(HANDLE file, const std::wstring& line)
{
    DWORD bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    DWORD written = 0;
    // A short write is as much a failure as a failed call: the line is incomplete.
    if (!::WriteFile(file, line.data(), bytes, &written, nullptr) || written != bytes)
        return ERROR_WRITE_FAULT;
    return ERROR_SUCCESS;
}

DWORD WriteTag(HANDLE file, const wchar_t* opening, const wchar_t* name, int depth)
{
    if (!file)
        return ERROR_INVALID_HANDLE;
    std::wstring line;
    if (!BuildTagLine(opening, name, depth, line))
        return ERROR_BAD_ARGUMENTS;
    return WriteLine(file, line);
}

}  // namespace

const wchar_t kManualSubCats[] = L"MANUALSUBCATS";

DWORD WriteStartTag(HANDLE file, const wchar_t* name, int depth) { return WriteTag(file, L"<", name, depth); }

DWORD WriteEndTag(HANDLE file, const wchar_t* name, int depth) { return WriteTag(file, L"</", name, depth); }

DWORD WriteElement(HANDLE file, const wchar_t* name, const wchar_t* value, const wchar_t* attributeName,
                   const wchar_t* attributeValue, int depth)
{
    if (!file)
        return ERROR_INVALID_HANDLE;
    if (!name || !value)
        return ERROR_BAD_ARGUMENTS;

    return WriteLine(file, BuildElementLine(name, value, attributeName, attributeValue, depth));
}

}  // namespace kv
