// Writing a device profile, for profiles a program makes (the recording
// KvIxa.dll): the inverse of the reader in profile.cpp and answer_json.cpp.
#pragma once

#include "answer.h"
#include "profile.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace kvsim {

// One answer of an entry point under its canonical key (see EntryAnswers),
// with an optional "_" comment.
struct KeyedAnswer {
    std::string key;
    Answer answer;
    std::string comment;
};

// The member of an entry point: its direct answer with its "@panelN" members,
// or its answers by key in the order given.
nlohmann::ordered_json EntryJson(const EntryPointInfo& info, const std::vector<KeyedAnswer>& answers);

// The profile as text laid out like the shipped ones: an answer on one line,
// a long block one line of 16 bytes each. UTF-8, every line ends in "\n".
std::string FormatProfile(const nlohmann::ordered_json& profile);

}  // namespace kvsim
