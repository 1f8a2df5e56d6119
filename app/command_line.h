// The command line: -f=<report file> and -o, with / accepted for -.
#pragma once

#include <windows.h>

#include <string>

namespace kv {

class CCustomCommandLineInfo {
public:
    // Called once per argument, without its leading - or /.
    void HandleArgument(const wchar_t* argument);
    // Splits a whole command line by the Windows rules and handles every argument
    // after the program name.
    void ParseCommandLine(const wchar_t* commandLine);

    int invalidParameter = 0;
    int overwrite = 0;
    wchar_t reportFileName[260] = {};
    // Set when a -f= text does not fit the report file name field.
    int reportFileNameTooLong = 0;
};

// The usage text shown for a bad argument and by the Help button.
std::wstring UsageText();

// Kind 1 shows it as an error, any other kind as information.
void ShowUsage(HWND owner, int kind);

}  // namespace kv
