// The report's XML primitives and the state of one open report.
//
// Every line is UTF-16 little endian, indented by one tab per depth level, ended by
// CR LF and written with one WriteFile call, so the file is complete up to the last
// finished line even if the program stops halfway.
#pragma once

#include <windows.h>

namespace kv {

// Subcategory argument meaning "open no subcategory: the caller opens its own".
extern const wchar_t kManualSubCats[];

enum TestStatus { kPassed = 0, kFailed = 1, kAlarm = 2 };

enum FormatCode {
    kFmtString = 1,
    kFmtDec = 2,
    kFmtHex = 3,
    kFmtRaw = 4,
    kFmtMHz = 5,
    kFmtDegreeCentigrade = 6,
    kFmtGigaByte = 7,
    kFmtMegaByte = 8,
    kFmtKiloByte = 9,
    kFmtPercent = 10,
    kFmtBytes = 11,
    kFmtRpm = 12,
    kFmtVolt = 13,
    kFmtYesNo = 14,
    kFmtAmpere = 15,
    kFmtUnknown = 16,
    kFmtEnableDisable = 17,
    kFmtMinutes = 18,
    kFmtSeconds = 19,
    kFmtMilliSeconds = 20,
    kFmtWatt = 21,
};

// Result codes: 0, ERROR_INVALID_HANDLE (null handle), ERROR_WRITE_FAULT, and for
// WriteElement ERROR_BAD_ARGUMENTS (null name or value). A tag line longer than
// 259 characters is refused with ERROR_BAD_ARGUMENTS.
DWORD WriteStartTag(HANDLE file, const wchar_t* name, int depth);
DWORD WriteEndTag(HANDLE file, const wchar_t* name, int depth);
// Writes one element on one line. One trailing line feed of the value (and of the
// attribute value) is dropped; the value is escaped ("&" first, then quotation mark,
// "<" and ">") and characters XML 1.0 forbids become U+FFFD. The attribute value is
// written as given: the report only uses fixed Format words.
DWORD WriteElement(HANDLE file, const wchar_t* name, const wchar_t* value, const wchar_t* attributeName,
                   const wchar_t* attributeValue, int depth);

// State of one report: the file, the root element name for the closing tag, and the
// numbering of the test hierarchy. Neither counter is ever reset.
struct ReportWriter {
    HANDLE file = INVALID_HANDLE_VALUE;
    wchar_t rootName[260] = {};
    int groupCounter = 0;
    int subCategoryOpen = 0;
    int testCounter = 0;

    // Test hierarchy. Every operation returns 0 or ERROR_WRITE_FAULT. The id forms
    // load the texts from the string table; a missing string gives an empty text.
    DWORD BeginGroup(const wchar_t* name, const wchar_t* description, const wchar_t* category,
                     const wchar_t* subCategory);
    DWORD BeginGroup(UINT nameId, UINT descriptionId);
    DWORD BeginGroup(UINT nameId, UINT descriptionId, UINT categoryId);
    DWORD BeginDriversAndToolsGroup();
    DWORD BeginGeneralGroup();
    DWORD EndGroup();

    DWORD BeginCategory(const wchar_t* category, const wchar_t* subCategory);
    DWORD BeginCategory(UINT categoryId);
    DWORD BeginCategoryManual(UINT categoryId);
    DWORD BeginCategory(UINT categoryId, UINT subCategoryId);

    DWORD BeginSubCategory(const wchar_t* subCategory);
    DWORD BeginSubCategory(UINT subCategoryId);

    DWORD BeginTest(const wchar_t* name, const wchar_t* description);
    DWORD BeginTest(UINT nameId);
    DWORD BeginTest(UINT nameId, UINT descriptionId);
    DWORD EndTest();

    DWORD WriteResult(const wchar_t* text, int status, int format);
    // Always status "Passed".
    DWORD WriteResult(UINT textId, int format);

private:
    DWORD OpenSubCategory(const wchar_t* subCategory, int startDepth);
    DWORD CloseSubCategory();
};

// The Format attribute word of a format code; "Unknown" outside 1 to 21.
const wchar_t* FormatWord(int format);
// The TestStatus text of a status code; empty for codes other than 0, 1, 2.
const wchar_t* StatusWord(int status);

}  // namespace kv
