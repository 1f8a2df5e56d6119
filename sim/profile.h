// A device profile: for each entry point, the answers by key.
#pragma once

#include "answer.h"

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>

namespace kvsim {

// How the profile addresses the answers of an entry point.
enum class KeyKind {
    Direct,       // one answer, no key (one-value entry points, equalizer, key matrix/switches)
    Selector,     // "21"
    Module,       // "selector/module/sub"
    PanelModule,  // "selector/panel/module/sub"
    Layer,        // IxaGetLedMatrix: the layer
    Item,         // IxaUploadFileW: the item
    Argument      // IxaSelectPanel, IxaEnableWmi: the argument
};

// Which answers make sense for an entry point (see DeliverXxx in answer.h).
enum class AnswerUse { Buffer, Value, Equalizer, File, Status };

struct EntryPointInfo {
    const char* name;
    KeyKind key;
    AnswerUse use;
};

// The entry point of that name, or null; the module entry points are known
// to every variant of the library, so one profile serves them all.
const EntryPointInfo* FindEntryPoint(const std::string& name);

// The canonical key of a call from its integer arguments: "21", "1000/0/2".
std::string JoinKey(std::initializer_list<UINT> parts);
// "@panelN" for a selected panel, empty for none (negative).
std::string PanelSuffix(long long panel);

// Answers of one entry point by canonical key: "" for a direct answer, the
// numbers of the key joined by "/", or "default"; "@panelN" appended for an
// answer that applies only while panel N is selected.
using EntryAnswers = std::map<std::string, Answer>;

class Profile {
public:
    // The answer for the key while the panel is selected (negative: none):
    // key@panel, key, default@panel, default; null when there is none.
    const Answer* Find(const std::string& entryPoint, const std::string& key, long long panel) const;

    std::map<std::string, EntryAnswers>& Entries() { return m_entries; }

    // How long a call waits before it answers, unless its answer says otherwise.
    int DelayMs() const { return m_delayMs; }
    void SetDelayMs(int delayMs) { m_delayMs = delayMs; }

private:
    std::map<std::string, EntryAnswers> m_entries;
    int m_delayMs = 0;
};

struct ProfileLoad {
    std::unique_ptr<Profile> profile;  // null when the profile cannot be used
    std::string problem;               // one line naming the file and the fault
};

// The text a "base" member names: "builtin" for the built-in default profile.
const char kBuiltinBase[] = "builtin";

// Loads the profile a "base" member names into profile, its own bases first. False,
// with one line naming the file and the fault in problem, when it cannot be used.
using BaseLoader = std::function<bool(const std::wstring& name, Profile& profile, std::string& problem)>;

// Reads one profile's JSON text into profile: the base it names (through loadBase),
// then its entry points on top. described names the profile in problem. Needs no
// Windows call, so the reader can be checked on any platform.
bool ReadProfileText(const std::string& text, const std::string& described, const BaseLoader& loadBase,
                     Profile& profile, std::string& problem);

// Reads the profile named by KVIXA_PROFILE, or the built-in default profile.
ProfileLoad LoadProfile();

}  // namespace kvsim
