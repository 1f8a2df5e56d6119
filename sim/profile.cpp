#include "profile.h"

#include "answer_json.h"
#include "text.h"

#include <nlohmann/json.hpp>

#include <climits>

namespace kvsim {
namespace {

using nlohmann::json;

static const EntryPointInfo kEntryPoints[] = {
    {"IxaGetFactoryValue", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetTemperature", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetStatisticsValue", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetFirmwareValue", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetHardwareValue", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetVoltage", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetAlarm", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetFanValue", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetFactoryStringW", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetFirmwareStringW", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetHardwareStringW", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetKeyCfgStringW", KeyKind::Selector, AnswerUse::Buffer},
    {"IxaGetDeviceType", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetKeyCfgState", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetKeyLayer", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetKeyLayerMode", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetUserSerialId", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetLedCount", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetKeyCount", KeyKind::Direct, AnswerUse::Value},
    {"IxaAreKeysEnabled", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetPanelLockTime", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayBrightness", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayDefaultBrightness", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayEqualizer", KeyKind::Direct, AnswerUse::Equalizer},
    {"IxaGetKeyMatrix", KeyKind::Direct, AnswerUse::Buffer},
    {"IxaGetKeySwitches", KeyKind::Direct, AnswerUse::Buffer},
    {"IxaGetLedMatrix", KeyKind::Layer, AnswerUse::Buffer},
    {"IxaEnableWmi", KeyKind::Argument, AnswerUse::Status},
    {"IxaSelectPanel", KeyKind::Argument, AnswerUse::Status},
    {"IxaUploadFileW", KeyKind::Item, AnswerUse::File},
    {"IxaGetModuleFactoryValue", KeyKind::Module, AnswerUse::Buffer},
    {"IxaGetModuleFanValue", KeyKind::Module, AnswerUse::Buffer},
    {"IxaGetModuleFirmwareValue", KeyKind::Module, AnswerUse::Buffer},
    {"IxaGetModuleHardwareValue", KeyKind::Module, AnswerUse::Buffer},
    {"IxaGetModuleStatisticsValue", KeyKind::Module, AnswerUse::Buffer},
    {"IxaGetModuleTemperatureValue", KeyKind::Module, AnswerUse::Buffer},
    {"IxaGetPanelModuleFactoryValue", KeyKind::PanelModule, AnswerUse::Buffer},
    {"IxaGetPanelModuleFirmwareValue", KeyKind::PanelModule, AnswerUse::Buffer},
    {"IxaGetPanelModuleStatisticsValue", KeyKind::PanelModule, AnswerUse::Buffer},
    {"IxaGetPanelModuleTemperatureValue", KeyKind::PanelModule, AnswerUse::Buffer},
    {"IxaIsWmiEnabled", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetUserLed", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetUserlogoValue", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetUserlogoStringW", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayType", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayFactoryBrightness", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayContrast", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayDefaultContrast", KeyKind::Direct, AnswerUse::Value},
    {"IxaGetDisplayFactoryContrast", KeyKind::Direct, AnswerUse::Value},
};

const char kBaseMember[] = "base";

size_t KeyParts(KeyKind kind)
{
    switch (kind) {
    case KeyKind::Direct:
        return 0;
    case KeyKind::Module:
        return 3;
    case KeyKind::PanelModule:
        return 4;
    default:
        return 1;
    }
}

bool ParseUint(const std::string& text, unsigned long long& value)
{
    if (text.empty() || text.size() > 10)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= UINT_MAX;
}

// "@panel3" -> "@panel3" with the number in canonical form ("@panel03" too).
bool CanonicalPanelSuffix(const std::string& member, std::string& suffix)
{
    unsigned long long panel = 0;
    if (!IsPanelMember(member) || !ParseUint(member.substr(6), panel))
        return false;
    suffix = "@panel" + std::to_string(panel);
    return true;
}

// "21", "0/0/0", "default", each optionally followed by "@panelN".
bool CanonicalKey(const std::string& key, KeyKind kind, std::string& canonical)
{
    const size_t at = key.find('@');
    const std::string base = key.substr(0, at);
    std::string suffix;
    if (at != std::string::npos && !CanonicalPanelSuffix(key.substr(at), suffix))
        return false;
    if (base == "default") {
        canonical = base + suffix;
        return true;
    }
    canonical.clear();
    size_t parts = 0;
    size_t start = 0;
    for (;;) {
        const size_t slash = base.find('/', start);
        unsigned long long number = 0;
        if (!ParseUint(base.substr(start, slash == std::string::npos ? std::string::npos : slash - start), number))
            return false;
        canonical += (parts == 0 ? "" : "/") + std::to_string(number);
        ++parts;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    if (parts != KeyParts(kind))
        return false;
    canonical += suffix;
    return true;
}

const char* KeyExample(KeyKind kind)
{
    switch (kind) {
    case KeyKind::Module:
        return "\"selector/module/sub\" such as \"0/0/0\"";
    case KeyKind::PanelModule:
        return "\"selector/panel/module/sub\" such as \"0/0/1/0\"";
    case KeyKind::Layer:
        return "the layer such as \"0\"";
    case KeyKind::Item:
        return "the item such as \"17\"";
    case KeyKind::Argument:
        return "the argument such as \"1\"";
    default:
        return "the selector such as \"21\"";
    }
}

bool IsComment(const std::string& name)
{
    return !name.empty() && name[0] == '_';
}

// A direct answer: the answer itself, plus "@panelN" members for panel-specific answers.
bool ReadDirectEntry(const json& value, const EntryPointInfo& info, const std::string& where, EntryAnswers& answers,
                     std::string& problem)
{
    if (!value.is_object()) {
        problem = where + ": an answer must be an object such as {\"u32\": 5}";
        return false;
    }
    answers.clear();
    bool hasPlainMembers = false;
    bool hasPanelMembers = false;
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (IsComment(it.key()))
            continue;
        if (!IsPanelMember(it.key())) {
            hasPlainMembers = true;
            continue;
        }
        hasPanelMembers = true;
        std::string suffix;
        if (!CanonicalPanelSuffix(it.key(), suffix)) {
            problem = where + ": \"" + it.key() + "\" is no panel member; use \"@panel\" and the panel number";
            return false;
        }
        std::string detail;
        if (!ParseAnswer(it.value(), info.use, false, answers[suffix], detail)) {
            problem = where + "/" + it.key() + ": " + detail;
            return false;
        }
    }
    if (!hasPlainMembers && hasPanelMembers)
        return true;
    std::string detail;
    if (!ParseAnswer(value, info.use, true, answers[""], detail)) {
        problem = where + ": " + detail;
        return false;
    }
    return true;
}

// Answers by key; a key set to null removes the answer the base profile gave.
bool ReadKeyedEntry(const json& value, const EntryPointInfo& info, const std::string& where, EntryAnswers& answers,
                    std::string& problem)
{
    if (!value.is_object()) {
        problem = where + ": needs an object of answers by key, such as {\"21\": {\"u32\": 5}}";
        return false;
    }
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (IsComment(it.key()))
            continue;
        std::string key;
        if (!CanonicalKey(it.key(), info.key, key)) {
            problem = where + ": key \"" + it.key() + "\" is not " + KeyExample(info.key) +
                      " or \"default\", optionally followed by \"@panelN\"";
            return false;
        }
        if (it.value().is_null()) {
            answers.erase(key);
            continue;
        }
        Answer answer;
        std::string detail;
        if (!ParseAnswer(it.value(), info.use, false, answer, detail)) {
            problem = where + "/" + it.key() + ": " + detail;
            return false;
        }
        answers[key] = answer;
    }
    return true;
}

// nlohmann's text without its "[json.exception.parse_error.101] " tag.
std::string ParseErrorText(const char* what)
{
    std::string text = what;
    const size_t tagEnd = text.find("] ");
    if (!text.empty() && text[0] == '[' && tagEnd != std::string::npos)
        text.erase(0, tagEnd + 2);
    return text;
}

bool ReadEntries(const std::string& described, const json& root, Profile& profile, std::string& problem)
{
    for (auto it = root.begin(); it != root.end(); ++it) {
        const std::string& name = it.key();
        if (IsComment(name) || name == kBaseMember)
            continue;
        if (name == kDelayMember) {
            int delayMs = 0;
            std::string detail;
            if (!ReadDelay(it.value(), delayMs, detail)) {
                problem = described + ": /" + name + ": " + detail;
                return false;
            }
            profile.SetDelayMs(delayMs);
            continue;
        }
        const EntryPointInfo* info = FindEntryPoint(name);
        const std::string where = described + ": /" + name;
        if (info == nullptr) {
            problem = where + ": no entry point of that name";
            return false;
        }
        if (it.value().is_null()) {
            profile.Entries().erase(name);
            continue;
        }
        EntryAnswers& answers = profile.Entries()[name];
        const bool ok = info->key == KeyKind::Direct ? ReadDirectEntry(it.value(), *info, where, answers, problem)
                                                     : ReadKeyedEntry(it.value(), *info, where, answers, problem);
        if (!ok)
            return false;
    }
    return true;
}

}  // namespace

bool ReadProfileText(const std::string& text, const std::string& described, const BaseLoader& loadBase,
                     Profile& profile, std::string& problem)
{
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        problem = described + ": " + ParseErrorText(e.what());
        return false;
    }
    if (!root.is_object()) {
        problem = described + ": the profile must be a JSON object of entry points";
        return false;
    }
    const auto base = root.find(kBaseMember);
    if (base != root.end()) {
        std::wstring name;
        if (!base->is_string() || !Utf8ToWide(base->get<std::string>(), name) || name.empty()) {
            problem = described + ": /base: needs a file name or \"" + kBuiltinBase + "\"";
            return false;
        }
        if (!loadBase(name, profile, problem))
            return false;
    }
    return ReadEntries(described, root, profile, problem);
}

const EntryPointInfo* FindEntryPoint(const std::string& name)
{
    for (const EntryPointInfo& info : kEntryPoints) {
        if (name == info.name)
            return &info;
    }
    return nullptr;
}

std::string JoinKey(std::initializer_list<UINT> parts)
{
    std::string key;
    for (UINT part : parts) {
        if (!key.empty())
            key += '/';
        key += std::to_string(part);
    }
    return key;
}

std::string PanelSuffix(long long panel)
{
    return panel >= 0 ? "@panel" + std::to_string(panel) : std::string();
}

const Answer* Profile::Find(const std::string& entryPoint, const std::string& key, long long panel) const
{
    const auto entry = m_entries.find(entryPoint);
    if (entry == m_entries.end())
        return nullptr;
    const EntryAnswers& answers = entry->second;
    const std::string panelSuffix = PanelSuffix(panel);
    const std::string candidates[] = {key + panelSuffix, key, "default" + panelSuffix, "default"};
    for (const std::string& candidate : candidates) {
        const auto found = answers.find(candidate);
        if (found != answers.end())
            return &found->second;
    }
    return nullptr;
}

}  // namespace kvsim
