// The install date of an uninstall entry, read without any Windows call.
#pragma once

#include <string>

namespace kv {

// "YYYY-MM-DD" of an 8-character install date, read as YYYYMMDD or, when that
// month exceeds 12, as DDMMYYYY; empty for any other length. A field that is not
// all digits counts as 0.
std::wstring FormatInstallDate(const std::wstring& installDate);

}  // namespace kv
