#include "library.h"

#include "profile.h"
#include "trace.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>

namespace kvsim {
namespace {

// Loaded on the first call, never inside DllMain; once per load of the library.
INIT_ONCE g_profileOnce = INIT_ONCE_STATIC_INIT;
std::unique_ptr<Profile> g_profile;

// The panel chosen with IxaSelectPanel; -1 until the first successful selection.
std::atomic<long long> g_selectedPanel{-1};

BOOL CALLBACK LoadProfileOnce(PINIT_ONCE, PVOID, PVOID*)
{
    try {
        ProfileLoad load = LoadProfile();
        if (!load.problem.empty())
            ReportProblem(load.problem.c_str());
        g_profile = std::move(load.profile);
    } catch (...) {
        ReportProblem("KvIxa: profile: not enough memory to load it");
    }
    return TRUE;
}

// Null when the profile cannot be used: every call then fails with 1610.
const Profile* CurrentProfile()
{
    ::InitOnceExecuteOnce(&g_profileOnce, LoadProfileOnce, nullptr, nullptr);
    return g_profile.get();
}

template <typename Body>
int RunCall(const char* name, const TraceArgs& trace, Body body) noexcept
{
    Outcome outcome{0, ERROR_BAD_CONFIGURATION};
    try {
        if (const Profile* profile = CurrentProfile())
            outcome = body(*profile, g_selectedPanel.load());
    } catch (const std::bad_alloc&) {
        outcome = Outcome{0, ERROR_NOT_ENOUGH_MEMORY};
    } catch (...) {
        outcome = Outcome{0, ERROR_BAD_CONFIGURATION};
    }
    TraceCall(name, trace, outcome.result, outcome.error);
    ::SetLastError(outcome.error);
    return outcome.result;
}

// Slows a call down when the profile asks for it: the answer's own delay, else the
// profile's.
void WaitBeforeAnswering(const Profile& profile, const Answer* answer)
{
    const int delayMs = answer != nullptr && answer->delayMs >= 0 ? answer->delayMs : profile.DelayMs();
    if (delayMs > 0)
        ::Sleep(static_cast<DWORD>(delayMs));
}

TraceArgs NumberArgs(std::initializer_list<UINT> numbers)
{
    TraceArgs trace;
    for (UINT number : numbers)
        trace.Add(number);
    return trace;
}

}  // namespace

int BufferCall(const char* name, std::initializer_list<UINT> keyParts, void* buffer, UINT size) noexcept
{
    TraceArgs trace = NumberArgs(keyParts);
    trace.Add(size);
    return RunCall(name, trace, [&](const Profile& profile, long long panel) {
        const Answer* answer = profile.Find(name, JoinKey(keyParts), panel);
        WaitBeforeAnswering(profile, answer);
        return answer != nullptr ? DeliverToBuffer(*answer, buffer, size) : NoAnswer();
    });
}

int ValueCall(const char* name, void* value) noexcept
{
    return RunCall(name, TraceArgs(), [&](const Profile& profile, long long panel) {
        const Answer* answer = profile.Find(name, std::string(), panel);
        WaitBeforeAnswering(profile, answer);
        return answer != nullptr ? DeliverValue(*answer, value) : NoAnswer();
    });
}

int EqualizerCall(const char* name, void* mode, void* value) noexcept
{
    return RunCall(name, TraceArgs(), [&](const Profile& profile, long long panel) {
        const Answer* answer = profile.Find(name, std::string(), panel);
        WaitBeforeAnswering(profile, answer);
        return answer != nullptr ? DeliverEqualizer(*answer, mode, value) : NoAnswer();
    });
}

int StatusCall(const char* name, UINT argument) noexcept
{
    return RunCall(name, NumberArgs({argument}), [&](const Profile& profile, long long panel) {
        const Answer* answer = profile.Find(name, std::to_string(argument), panel);
        WaitBeforeAnswering(profile, answer);
        return DeliverStatus(answer);
    });
}

int SelectPanelCall(const char* name, UINT panel) noexcept
{
    return RunCall(name, NumberArgs({panel}), [&](const Profile& profile, long long selected) {
        const Answer* answer = profile.Find(name, std::to_string(panel), selected);
        WaitBeforeAnswering(profile, answer);
        const Outcome outcome = DeliverStatus(answer);
        if (outcome.result != 0)
            g_selectedPanel.store(panel);
        return outcome;
    });
}

int UploadCall(const char* name, const wchar_t* fileName, UINT item, UINT reserved1, UINT reserved2) noexcept
{
    TraceArgs trace = NumberArgs({item, reserved1, reserved2});
    trace.hasText = true;
    trace.text = fileName;
    return RunCall(name, trace, [&](const Profile& profile, long long panel) {
        const Answer* answer = profile.Find(name, std::to_string(item), panel);
        WaitBeforeAnswering(profile, answer);
        return answer != nullptr ? DeliverToFile(*answer, fileName) : NoAnswer();
    });
}

}  // namespace kvsim
