#include "recording.h"

#include "answer_json.h"
#include "profile_writer.h"

#include <algorithm>
#include <cstring>

namespace kvrec {
namespace {

using kvsim::Answer;
using kvsim::AnswerShape;
using kvsim::AnswerUse;
using kvsim::Outcome;

// A run of one byte value at the end of a block this long or longer becomes "fill".
const size_t kMinFillRun = 8;
// Outside the text entry points a buffer holds a text only when it is this
// large and the text this long: short blocks stay numbers or bytes.
const size_t kMinTextBuffer = 32;
const size_t kMinTextLength = 2;
// Answers named in a "_" comment; a value that keeps changing fills no more.
const size_t kMaxOtherAnswers = 4;
const size_t kMaxSeen = 16;

void ForceResult(Answer& answer, int result)
{
    if (result != 1) {
        answer.forcesResult = true;
        answer.result = result;
    }
}

// A failure: its error, or only its return value when it left no error.
Answer FailureAnswer(const Observation& seen)
{
    Answer answer;
    if (seen.error != 0) {
        answer.shape = AnswerShape::Error;
        answer.error = seen.error;
        answer.forcesResult = seen.result != 0;  // an error answer returns 0 unless told otherwise
        answer.result = seen.result;
        return answer;
    }
    answer.shape = AnswerShape::ResultOnly;
    answer.forcesResult = true;
    answer.result = seen.result;
    return answer;
}

bool IsValidUtf16(const std::wstring& text)
{
    return text.empty() || ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(),
                                                 static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr) > 0;
}

// Printable Latin-1: most pairs of raw bytes are valid UTF-16 characters too.
bool IsPrintable(const std::wstring& text)
{
    return std::all_of(text.begin(), text.end(), [](wchar_t c) {
        return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF) || c == L'\t' || c == L'\r' || c == L'\n';
    });
}

// The text up to its terminator. Outside the text entry points the buffer must
// be large, the text printable and everything behind the terminator zero.
bool ReadText(const std::vector<unsigned char>& bytes, bool textEntry, std::wstring& text)
{
    if (!textEntry && bytes.size() < kMinTextBuffer)
        return false;
    std::wstring all(bytes.size() / sizeof(wchar_t), L'\0');
    if (!all.empty())
        std::memcpy(&all[0], bytes.data(), all.size() * sizeof(wchar_t));
    const size_t end = all.find(L'\0');
    if (end == std::wstring::npos)
        return false;
    text = all.substr(0, end);
    if (!IsValidUtf16(text))
        return false;
    if (textEntry)
        return true;
    const bool zerosBehind = std::all_of(bytes.begin() + (end + 1) * sizeof(wchar_t), bytes.end(),
                                         [](unsigned char b) { return b == 0; });
    return zerosBehind && text.size() >= kMinTextLength && IsPrintable(text);
}

Answer BlockAnswer(const std::vector<unsigned char>& bytes)
{
    Answer answer;
    answer.shape = AnswerShape::Bytes;
    answer.bytes = bytes;
    size_t run = 0;
    while (run < bytes.size() && bytes[bytes.size() - 1 - run] == bytes.back())
        ++run;
    if (run >= kMinFillRun) {
        answer.fill = bytes.back();
        answer.bytes.resize(bytes.size() - run + 1);  // one byte of the run stays, for the eye
    }
    return answer;
}

// Delivers the answer as the simulated library would for the call seen and
// compares the outcome; a buffer starts out as the call left it, so bytes a
// shorter answer does not write count as equal.
bool Reproduces(const Answer& answer, AnswerUse use, const Observation& seen)
{
    std::vector<unsigned char> bytes = seen.bytes;
    bytes.resize(std::max<size_t>(seen.size, 8));  // 8: room for the value and the equalizer
    Outcome outcome;
    switch (use) {
    case AnswerUse::Buffer:
        outcome = kvsim::DeliverToBuffer(answer, bytes.data(), seen.size);
        break;
    case AnswerUse::Value:
        outcome = kvsim::DeliverValue(answer, bytes.data());
        break;
    case AnswerUse::Equalizer:
        outcome = kvsim::DeliverEqualizer(answer, bytes.data(), bytes.data() + sizeof(UINT32));
        break;
    case AnswerUse::Status:
        outcome = kvsim::DeliverStatus(&answer);
        break;
    case AnswerUse::File:
        // The file is the answer's bytes, exactly; answers without data as in a buffer call.
        if (answer.shape != AnswerShape::Bytes)
            return Reproduces(answer, AnswerUse::Buffer, seen);
        outcome = Outcome{answer.forcesResult ? answer.result : 1, ERROR_SUCCESS};
        bytes = answer.bytes;
        break;
    }
    if (use != AnswerUse::File)
        bytes.resize(seen.bytes.size());
    return outcome.result == seen.result && outcome.error == seen.error &&
           (!Succeeded(seen) || bytes == seen.bytes);
}

bool SameCall(const Observation& a, const Observation& b)
{
    return a.size == b.size && a.result == b.result && a.error == b.error && a.bytes == b.bytes;
}

void Remember(std::vector<Observation>& seenSoFar, const Observation& seen)
{
    const bool known = std::any_of(seenSoFar.begin(), seenSoFar.end(),
                                   [&](const Observation& earlier) { return SameCall(earlier, seen); });
    if (!known && seenSoFar.size() < kMaxSeen)
        seenSoFar.push_back(seen);
}

std::string OthersComment(const std::vector<std::string>& others)
{
    std::string comment;
    for (const std::string& other : others)
        comment += (comment.empty() ? "answered differently on later calls: " : "; ") + other;
    return comment;
}

}  // namespace

bool Succeeded(const Observation& seen)
{
    return seen.result != 0 && seen.error == 0;
}

Answer BufferAnswer(const Observation& seen, bool textEntry)
{
    if (!Succeeded(seen))
        return FailureAnswer(seen);
    Answer answer;
    const size_t size = seen.bytes.size();
    if (!textEntry && (size == 1 || size == 2 || size == 4)) {
        answer.shape = AnswerShape::Number;
        answer.bytes = seen.bytes;
    } else if (ReadText(seen.bytes, textEntry, answer.text)) {
        answer.shape = AnswerShape::Text;
    } else {
        answer = BlockAnswer(seen.bytes);
    }
    ForceResult(answer, seen.result);
    return answer;
}

Answer ValueAnswer(const Observation& seen)
{
    if (!Succeeded(seen) || seen.bytes.empty())
        return StatusAnswer(seen);
    Answer answer;
    answer.shape = AnswerShape::Number;
    answer.bytes = seen.bytes;
    ForceResult(answer, seen.result);
    return answer;
}

Answer EqualizerAnswer(const Observation& seen)
{
    if (!Succeeded(seen) || seen.bytes.size() < sizeof(UINT32) + 1)
        return FailureAnswer(seen);
    Answer answer;
    answer.shape = AnswerShape::Equalizer;
    std::memcpy(&answer.mode, seen.bytes.data(), sizeof(answer.mode));
    answer.value = seen.bytes[sizeof(UINT32)];
    ForceResult(answer, seen.result);
    return answer;
}

Answer StatusAnswer(const Observation& seen)
{
    if (!Succeeded(seen))
        return FailureAnswer(seen);
    Answer answer;
    answer.shape = AnswerShape::ResultOnly;
    answer.forcesResult = true;
    answer.result = seen.result;
    return answer;
}

Answer UploadAnswer(const Observation& seen)
{
    if (!Succeeded(seen))
        return FailureAnswer(seen);
    Answer answer;
    answer.shape = AnswerShape::Bytes;
    answer.bytes = seen.bytes;
    ForceResult(answer, seen.result);
    return answer;
}

bool Recording::Add(const kvsim::EntryPointInfo& info, const std::string& key, const Observation& seen,
                    const Answer& answer)
{
    RecordedEntry& entry = EntryOf(info);
    const std::string panelKey = key + kvsim::PanelSuffix(m_panel);
    RecordedKey* recorded = Find(entry, panelKey);
    if (recorded == nullptr && m_panel >= 0) {
        // A panel gets its own answer only where the plain one does not do.
        RecordedKey* plain = Find(entry, key);
        if (plain != nullptr && Reproduces(plain->answer, info.use, seen)) {
            Remember(plain->seen, seen);
            return false;
        }
    }
    if (recorded == nullptr) {
        entry.index.emplace(panelKey, entry.keys.size());
        entry.keys.push_back(RecordedKey{panelKey, answer, {seen}, {}});
        return true;
    }
    return Merge(*recorded, info.use, seen, answer);
}

bool Recording::Merge(RecordedKey& recorded, AnswerUse use, const Observation& seen, const Answer& answer)
{
    if (Reproduces(recorded.answer, use, seen)) {
        Remember(recorded.seen, seen);
        return false;
    }
    const bool replaces = std::all_of(recorded.seen.begin(), recorded.seen.end(),
                                      [&](const Observation& earlier) { return Reproduces(answer, use, earlier); });
    if (replaces) {
        recorded.answer = answer;
        Remember(recorded.seen, seen);
        return true;
    }
    const std::string other = kvsim::AnswerJson(answer).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const auto& others = recorded.others;
    if (others.size() >= kMaxOtherAnswers || std::find(others.begin(), others.end(), other) != others.end())
        return false;
    recorded.others.push_back(other);
    return true;
}

Recording::RecordedEntry& Recording::EntryOf(const kvsim::EntryPointInfo& info)
{
    for (RecordedEntry& entry : m_entries) {
        if (entry.info == &info)
            return entry;
    }
    m_entries.push_back(RecordedEntry{&info, {}, {}});
    return m_entries.back();
}

Recording::RecordedKey* Recording::Find(RecordedEntry& entry, const std::string& key)
{
    const auto found = entry.index.find(key);
    return found == entry.index.end() ? nullptr : &entry.keys[found->second];
}

nlohmann::ordered_json Recording::Entries() const
{
    nlohmann::ordered_json entries = nlohmann::ordered_json::object();
    for (const RecordedEntry& entry : m_entries) {
        std::vector<kvsim::KeyedAnswer> answers;
        for (const RecordedKey& recorded : entry.keys)
            answers.push_back(kvsim::KeyedAnswer{recorded.key, recorded.answer, OthersComment(recorded.others)});
        entries[entry.info->name] = kvsim::EntryJson(*entry.info, answers);
    }
    return entries;
}

}  // namespace kvrec
