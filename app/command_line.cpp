#include "app/command_line.h"

#include "app/message_box.h"
#include "device/text_helpers.h"

#include <shellapi.h>

#include <cwchar>

namespace kv {

void CCustomCommandLineInfo::HandleArgument(const wchar_t* argument)
{
    const wchar_t* fileArgument = wcsstr(argument, L"f=");
    if (fileArgument) {
        const wchar_t* name = fileArgument + 2;
        if (wcslen(name) >= 260) {
            reportFileName[0] = L'\0';
            reportFileNameTooLong = 1;
            return;
        }
        wcscpy_s(reportFileName, name);
        reportFileNameTooLong = 0;
        return;
    }
    if (wcscmp(argument, L"o") == 0) {
        overwrite = 1;
        return;
    }
    invalidParameter = 1;
}

void CCustomCommandLineInfo::ParseCommandLine(const wchar_t* commandLine)
{
    int count = 0;
    LPWSTR* arguments = ::CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return;
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (*argument == L'-' || *argument == L'/')
            ++argument;
        HandleArgument(argument);
    }
    ::LocalFree(arguments);
}

std::wstring UsageText()
{
    return L"This program analyzes your device and creates a report file. This report file can be used for error "
           L"diagnosis.\n\r"
           L"\n\r"
           L"Run \"KvInspectra [-o] -f=<report file>\" to start the diagnostic process automatically.\n\r"
           L"\n\r"
           L"Required parameters:\n\r"
           L"\n\r"
           L"-f=<report file>\n\r"
           L"Defines the name of the report file (e.g. -f=C:\\temp\\test.xml). "
           L"If the report file name contains spaces wrap the file name with quotation marks (e.g. "
           L"-f=\"C:\\Report 1\\My Report.xml\").\n\r"
           L"\n\r"
           L"Optional parameters:\n\r"
           L"\n\r"
           L"[-o] If this option is set, an existing report file will be overwritten.\n\r"
           L"\n\r"
           L"Note:\n\r"
           L"The report consists of two files. A XML file which contains the report data and a corresponding XSL "
           L"stylesheet file for viewing the data in a webbrowser.\r\n";
}

void ShowUsage(HWND owner, int kind)
{
    UINT flags = MB_SETFOREGROUND | (kind == 1 ? MB_ICONERROR : MB_ICONINFORMATION);
    ShowMessageBox(owner, UsageText().c_str(), LoadResourceString(101).c_str(), flags);
}

}  // namespace kv
