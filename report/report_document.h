// The two report files: the XML report with its header, and the stylesheet beside it.
#pragma once

#include "report/xml_writer.h"

#include <string>

namespace kv {

// Asked before an existing report is replaced; true allows it. The caller owns
// the question (its text and window), the report layer only its moment.
using ReplaceQuestion = bool (*)(const wchar_t* reportPath);

// Asks mayReplace before replacing an existing report (unless overwrite is 1;
// a null question declines), writes the stylesheet file, creates the report and
// writes everything up to the Header. Returns 0, ERROR_FILE_EXISTS (declined),
// ERROR_OPEN_FAILED (also for an existing report that cannot be written, before
// anything is replaced), ERROR_WRITE_FAULT, ERROR_INVALID_NAME (a report named like
// its stylesheet), ERROR_BAD_ARGUMENTS (no path), or the code of WriteStylesheetFile.
DWORD OpenReport(ReportWriter& writer, const wchar_t* reportPath, int overwrite, ReplaceQuestion mayReplace);

// Writes the stylesheet resource beside the report, replacing an existing one.
// Returns 0, ERROR_BAD_ARGUMENTS, ERROR_UNABLE_TO_REMOVE_REPLACED,
// ERROR_NO_SYSTEM_RESOURCES, ERROR_CANNOT_MAKE or ERROR_WRITE_FAULT.
DWORD WriteStylesheetFile(const wchar_t* reportPath);

// Creates the report (replacing any file), writes byte-order mark, XML declaration,
// stylesheet instruction (when stylesheetName is not null) and the root start tag.
// Returns INVALID_HANDLE_VALUE with the cause in the last error on failure.
HANDLE CreateReportFile(wchar_t* rootName, const wchar_t* reportPath, const wchar_t* stylesheetName);

// Writes the root end tag and closes the file: 0, ERROR_INVALID_HANDLE or ERROR_WRITE_FAULT.
DWORD CloseReport(const wchar_t* rootName, HANDLE file);

// The report path with the extension of its file name replaced by extension
// (".xsl"); a dot in a directory name never counts. "\\" and "/" both separate.
std::wstring SiblingPath(const wchar_t* reportPath, const wchar_t* extension);
// The part of a path after its last "\\" or "/" (the whole path when there is none).
std::wstring FileNameOf(const std::wstring& path);

// True when both names lead to one file: equal full paths (case ignored), or two
// existing names of the same file.
bool SameFile(const wchar_t* first, const wchar_t* second);

}  // namespace kv
