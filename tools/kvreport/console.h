// What KvReport tells its user. On a console the text goes through the console API
// in UTF-16, so every character shows; redirected to a file or pipe it is UTF-8.
#pragma once

#include <string>

namespace kvreport {

enum class Stream { Out, Err };

// Writes text as it is.
void Write(Stream stream, const std::wstring& text);
// Writes text and a line end (CR LF).
void WriteLine(Stream stream, const std::wstring& text = std::wstring());

// Progress of a run over many reports, on the error stream and only when that is a
// console: one line, rewritten in place and cleared at the end, so that redirected
// output stays clean.
class Progress {
public:
    explicit Progress(size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Show(size_t index, const std::wstring& name);

private:
    size_t m_total;
    size_t m_shownLength = 0;
    bool m_visible;
};

}  // namespace kvreport
