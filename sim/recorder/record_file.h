// The file a recording goes into (KVIXA_RECORD). The recording itself lives in
// memory; the file is replaced as a whole, by "<file>.part" moved into place,
// so whatever ends the process leaves the previous complete profile or the new
// one. A change is written at once when the last write is an interval ago,
// else as soon as the interval is over (by whoever asks first: a call, or the
// recorder's own thread while a call hangs), so the file is never more than
// about an interval behind and the cost of writing stays linear in the calls.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace kvrec {

class RecordFile {
public:
    static const DWORD kIntervalMs = 750;

    const std::wstring& Path() const { return m_path; }
    void SetPath(std::wstring path) { m_path = std::move(path); }
    void MarkChanged() { m_changed = true; }
    bool Changed() const { return m_changed; }
    // A change waits to be written and the interval since the last write is over.
    bool Due(ULONGLONG now) const;
    // How long until the next write may be due.
    DWORD MsUntilDue(ULONGLONG now) const;

    // Writes the text in place of the file: 0, or the error. A failed write
    // keeps the change, to be tried again an interval later.
    DWORD Replace(const std::string& text, ULONGLONG now);
    // Closes what a thread ended in the middle of Replace left open.
    void Abandon();

private:
    DWORD WritePart(const std::wstring& part, const std::string& text);

    std::wstring m_path;  // empty: nothing is recorded
    bool m_changed = false;
    bool m_tried = false;
    ULONGLONG m_lastTry = 0;
    // Open only inside Replace; kept here, not in a local owner, so that the
    // end of the process can close it after the thread that wrote was ended.
    HANDLE m_part = INVALID_HANDLE_VALUE;
};

}  // namespace kvrec
