// The small HTML pages of diff and summary: self-contained, UTF-8, no scripts.
#pragma once

#include <string>

namespace kvreport {

// Text made safe for element content and quoted attribute values.
std::wstring HtmlEscape(const std::wstring& text);

// A complete page as UTF-8 bytes; body is HTML already escaped.
std::string HtmlPage(const std::wstring& title, const std::wstring& body);

}  // namespace kvreport
