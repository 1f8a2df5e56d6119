// What redact looks for and where a private value counts as found: the rules shared by
// the redaction itself and by the check of what it wrote, so that both mean the same.
#pragma once

#include "tools/kvreport/report_model.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace kvreport {

// A value that identifies nothing and is never replaced: empty, "N/A", all zeros, all F,
// one character repeated, a number below 10000.
bool IsTrivial(const std::wstring& value);

// The words a report is made of: its own group, category, subcategory and test names and
// descriptions, and common English words. A private value that is one of them ("Panel",
// "operator") is not looked for as a word in other texts, only as a path component.
class Vocabulary {
public:
    explicit Vocabulary(const Report& report);
    // True for a word (any case) or a run of words that stands in the report's labels.
    bool Contains(const std::wstring& value) const;

private:
    std::unordered_set<std::wstring> m_words;  // lower case
    std::wstring m_labels;                     // lower case, one label a line
};

// Whether a private value is looked for as a whole word inside other texts: it is, when
// it is not trivial, at least five characters long and no word of the vocabulary.
bool SearchedAsWord(const std::wstring& value, const Vocabulary& vocabulary);

// Where value stands in text at or after from, both folded (Folded): as a whole path
// component (a backslash on one side, or a slash in a text with an absolute path, and a
// path's end on the other), as the computer in a name the program gives its reports
// ("KvInspectraPC1_2.xml") or, when asWord, as a whole word. Returns npos when nowhere.
size_t FindPrivate(const std::wstring& text, const std::wstring& value, size_t from, bool asWord);
// The same test at one place only.
bool StandsAt(const std::wstring& text, size_t at, const std::wstring& value, bool asWord);

// True when bytes hold value as ASCII or UTF-8 text or as UTF-16 text (any case), or,
// for a value that reads as a hexadecimal or decimal number, as that number in binary in
// either byte order.
bool BytesHold(const std::vector<unsigned char>& bytes, const std::wstring& value);

// Lower case, character by character (the same folding everywhere redact compares).
std::wstring Folded(const std::wstring& text);

}  // namespace kvreport
