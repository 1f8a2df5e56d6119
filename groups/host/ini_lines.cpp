#include "groups/host/ini_lines.h"

namespace kv {
namespace {

void DropCarriageReturn(std::wstring& line)
{
    if (!line.empty() && line.back() == L'\r')
        line.pop_back();
}

}  // namespace

void IniLineSplitter::Feed(const char* bytes, size_t count, std::vector<std::wstring>& lines)
{
    for (size_t i = 0; i < count; ++i) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\n') {
            DropCarriageReturn(m_line);
            lines.push_back(std::move(m_line));
            m_line.clear();
        } else {
            m_line += byte == 0 ? static_cast<wchar_t>(0xFFFD) : static_cast<wchar_t>(byte);
        }
    }
}

void IniLineSplitter::Finish(std::vector<std::wstring>& lines)
{
    DropCarriageReturn(m_line);
    if (!m_line.empty())
        lines.push_back(std::move(m_line));
    m_line.clear();
}

bool SplitNameValue(const std::wstring& line, std::wstring& name, std::wstring& value)
{
    size_t equals = line.find(L'=');
    if (equals == std::wstring::npos)
        return false;
    name = line.substr(0, equals);
    value = line.substr(equals + 1);
    return true;
}

}  // namespace kv
