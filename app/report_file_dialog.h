// The report file dialog of an interactive run: proposes a free default name, lets
// the user type or browse for one and asks before an existing file is replaced.
#pragma once

#include <windows.h>

namespace kv {

struct CSelectReportFile {
    // Proposes the first free KvInspectra<computer>[_n].xml in the documents folder.
    CSelectReportFile();

    // The chosen name; valid after the dialog ended with IDOK.
    wchar_t fileName[MAX_PATH] = {};
};

// Runs the dialog modally: IDOK when the user chose a name (and agreed to replace
// an existing file), IDCANCEL when the user gave up, -1 when it could not be shown.
INT_PTR ShowSelectReportFileDialog(HINSTANCE instance, CSelectReportFile& dialog);

// A file counts as taken when it opens for reading without sharing; a locked file
// does not.
bool ReportFileIsTaken(const wchar_t* path);

// folder\KvInspectra<computer>.xml, or with _1, _2, ... before the extension while
// that name is taken; empty when the free name does not fit.
void ProposeReportFileName(const wchar_t* folder, const wchar_t* computer, wchar_t (&name)[MAX_PATH]);

}  // namespace kv
