// The recording: for every entry point and key that was called, the answer
// that makes the simulated library hand back what the real one did.
#pragma once

#include "answer.h"
#include "profile.h"

#include <nlohmann/json.hpp>

#include <string>
#include <unordered_map>
#include <vector>

namespace kvrec {

// What one call handed back, as far as its answer goes.
struct Observation {
    UINT size = 0;                     // buffer calls: the size asked for
    int result = 0;
    DWORD error = 0;
    std::vector<unsigned char> bytes;  // what a successful call delivered; empty after a failure
};

bool Succeeded(const Observation& seen);

// The answer a single call stands for. A text is one with its terminator
// (textEntry: the ...StringW entry points); sizes 1, 2 and 4 of the other
// buffer calls are numbers; everything else is a block, its trailing run of
// one byte value given as "fill".
kvsim::Answer BufferAnswer(const Observation& seen, bool textEntry);
// One-value calls and the equalizer: the bytes written, mode (4) and value (1).
kvsim::Answer ValueAnswer(const Observation& seen);
kvsim::Answer EqualizerAnswer(const Observation& seen);
// IxaSelectPanel, IxaEnableWmi: only the return value and the error.
kvsim::Answer StatusAnswer(const Observation& seen);
// IxaUploadFileW: the bytes the file received.
kvsim::Answer UploadAnswer(const Observation& seen);

// Answers in the order of their first calls. A key keeps one answer: a later
// call the answer reproduces by the simulated library's own rules (a 4-byte
// read failing with 87 beside a u16, a text too long for a small buffer) adds
// nothing; a later answer that reproduces every earlier call replaces it; any
// other answer leaves the first in place and is named in its "_" comment.
class Recording {
public:
    // True when the recorded profile changed.
    bool Add(const kvsim::EntryPointInfo& info, const std::string& key, const Observation& seen,
             const kvsim::Answer& answer);
    // A successful IxaSelectPanel: the calls that follow count for that panel.
    void SelectPanel(UINT panel) { m_panel = panel; }

    // The entry point members of the profile.
    nlohmann::ordered_json Entries() const;

private:
    struct RecordedKey {
        std::string key;  // canonical, with "@panelN" for a panel's own answer
        kvsim::Answer answer;
        std::vector<Observation> seen;    // the calls the answer reproduces
        std::vector<std::string> others;  // different answers of later calls
    };
    struct RecordedEntry {
        const kvsim::EntryPointInfo* info;
        std::vector<RecordedKey> keys;                  // in the order of their first calls
        std::unordered_map<std::string, size_t> index;  // key -> position in keys: a lookup per call
    };

    RecordedEntry& EntryOf(const kvsim::EntryPointInfo& info);
    static RecordedKey* Find(RecordedEntry& entry, const std::string& key);
    static bool Merge(RecordedKey& recorded, kvsim::AnswerUse use, const Observation& seen,
                      const kvsim::Answer& answer);

    std::vector<RecordedEntry> m_entries;
    long long m_panel = -1;
};

}  // namespace kvrec
