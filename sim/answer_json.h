// Reading one answer of a device profile from its JSON form.
#pragma once

#include "answer.h"
#include "profile.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kvsim {

// True for member names that address a panel: "@panel3".
bool IsPanelMember(const std::string& name);

// Reads the answer object into answer. Members starting with "_" are comments;
// "@panelN" members are skipped when allowPanelMembers is set (the caller reads
// them), otherwise they are a fault. On a fault: false and a short description.
bool ParseAnswer(const nlohmann::json& object, AnswerUse use, bool allowPanelMembers, Answer& answer,
                 std::string& problem);

// The answer as a profile holds it, read back by ParseAnswer as the same
// answer: a number by its width as u8, u16 or u32, a text as "wstr", a block
// as "hex" (a line of 16 bytes each when longer) with its "fill".
nlohmann::ordered_json AnswerJson(const Answer& answer);

// "delayMs", of the whole profile or of one answer: how long a call waits before it
// answers, so that a scan can be slowed down to watch it.
const char kDelayMember[] = "delayMs";
const int kMaxDelayMs = 60000;

// Reads a delay in milliseconds; on a fault: false and a short description.
bool ReadDelay(const nlohmann::json& value, int& delayMs, std::string& problem);

}  // namespace kvsim
