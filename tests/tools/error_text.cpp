// Prints the program's text for each Win32 error code given, one per line in
// UTF-8, so end-to-end tests never assert a literal system text.
#include "device/text_helpers.h"

#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    for (int i = 1; i < argc; ++i) {
        std::wstring text = kv::SystemErrorText(static_cast<DWORD>(wcstoul(argv[i], nullptr, 10)));
        text += L"\n";
        int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
        std::string utf8(static_cast<size_t>(bytes), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr,
                              nullptr);
        DWORD written = 0;
        ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
    return 0;
}
