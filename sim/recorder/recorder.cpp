#include "recorder.h"

#include "alert.h"
#include "profile.h"
#include "profile_writer.h"
#include "real_library.h"
#include "record_file.h"
#include "recording.h"
#include "text.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace kvrec {
namespace {

// Calls asking for more are forwarded but not recorded: no device value is that large.
const UINT kMaxRecordedSize = 1 << 20;

// One-value entry points whose callers hold 8 bits; every other one holds 32.
static const char* const kByteValues[] = {
    "IxaGetKeyLayer",          "IxaGetKeyLayerMode",
    "IxaGetKeyCount",          "IxaGetLedCount",
    "IxaGetDisplayBrightness", "IxaGetDisplayDefaultBrightness",
    "IxaGetDisplayFactoryBrightness",
};

struct Recorder {
    RealLibrary real;
    std::atomic<bool> realFailureShown{false};
    std::string started;  // local date and time of the first call
    std::string program;  // the host's file name and version
    std::mutex lock;      // guards what follows; its path is set before the first call
    RecordFile file;      // KVIXA_RECORD as a full path; empty: nothing is recorded
    Recording recording;
    long long deviceType = -1;
    bool changing = false;  // inside a change of the recording (see WritePendingRecord)
    bool writeFailureShown = false;
};

INIT_ONCE g_startOnce = INIT_ONCE_STATIC_INIT;
Recorder g_recorder;

std::string LocalTimeText()
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    char text[32] = {};
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

// "KvInspectra.exe 2.0.0.0": the program that made the calls.
std::string ProgramText()
{
    const std::wstring path = ModulePath(nullptr);
    std::string text = kvsim::WideToUtf8(path.substr(path.find_last_of(L"\\/") + 1));
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || info == nullptr)
        return text + " without version";
    char version[64] = {};
    std::snprintf(version, sizeof version, " %u.%u.%u.%u", HIWORD(info->dwFileVersionMS),
                  LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
    return text + version;
}

DWORD WINAPI WriteWhenDue(void*);

BOOL CALLBACK Start(PINIT_ONCE, PVOID, PVOID*)
{
    try {
        // One recording spans the process: a host that frees its last load of
        // the library and loads it again goes on with the same recording.
        PinRecorder();
        g_recorder.real = LoadRealLibrary();
        const std::wstring file = kvsim::EnvironmentValue(L"KVIXA_RECORD");
        if (file.empty())
            return TRUE;
        g_recorder.started = LocalTimeText();
        g_recorder.program = ProgramText();
        g_recorder.file.SetPath(FullPath(file));
        // Writes what a hanging call would otherwise keep from the file. Without
        // it the calls and the end of the process still write.
        HANDLE thread = ::CreateThread(nullptr, 0, WriteWhenDue, nullptr, 0, nullptr);
        if (thread != nullptr)
            ::CloseHandle(thread);
    } catch (...) {
        // Without memory for the start there is nothing to record.
    }
    return TRUE;
}

Recorder& State()
{
    ::InitOnceExecuteOnce(&g_startOnce, Start, nullptr, nullptr);
    return g_recorder;
}

bool IsRecording()
{
    return !State().file.Path().empty();
}

std::string ProfileText(const Recorder& state)
{
    nlohmann::ordered_json profile = nlohmann::ordered_json::object();
    profile["_comment"] = "Recorded by the recording KvIxa.dll in front of the device's library; replay: "
                          "KVIXA_PROFILE=<this file> with the simulated KvIxa.dll (sim/README.md).";
    profile["_device"] =
        state.deviceType >= 0 ? "device type " + std::to_string(state.deviceType) : std::string("device type not read");
    profile["_date"] = state.started;
    profile["_program"] = state.program;
    // The file name only: the folder can hold the user's name.
    profile["_library"] = kvsim::WideToUtf8(FileName(state.real.path)) + (state.real.module ? "" : " (not loaded)");
    const nlohmann::ordered_json entries = state.recording.Entries();
    for (auto it = entries.begin(); it != entries.end(); ++it)
        profile[it.key()] = it.value();
    return kvsim::FormatProfile(profile);
}

std::string WriteFailureText(const std::wstring& path, DWORD error)
{
    return "record " + kvsim::WideToUtf8(path) + " cannot be written, " + kvsim::ErrorText(error) +
           "; set KVIXA_RECORD to a file in a folder that exists and can be written, and record again";
}

// Under the lock. Returns the text to show when a write failed for the first time.
std::string WriteIfDue(Recorder& state, ULONGLONG now) noexcept
{
    try {
        if (!state.file.Due(now))
            return std::string();
        const DWORD error = state.file.Replace(ProfileText(state), now);
        if (error == ERROR_SUCCESS || state.writeFailureShown)
            return std::string();
        state.writeFailureShown = true;
        return WriteFailureText(state.file.Path(), error);
    } catch (...) {
        return std::string();  // without memory for the text: tried again when due
    }
}

// The recorder's own thread: writes the changes no call comes to write.
DWORD WINAPI WriteWhenDue(void*)
{
    Recorder& state = g_recorder;
    for (;;) {
        std::string failure;
        DWORD wait = RecordFile::kIntervalMs;
        {
            std::lock_guard<std::mutex> hold(state.lock);
            const ULONGLONG now = ::GetTickCount64();
            failure = WriteIfDue(state, now);
            wait = state.file.MsUntilDue(now);
        }
        if (!failure.empty())
            ShowFailure(failure);
        ::Sleep(wait);
    }
}

// selectedPanel: the panel a successful IxaSelectPanel selects, -1 for other calls.
void Record(const char* name, const std::string& key, const Observation& seen, const kvsim::Answer& answer,
            long long selectedPanel = -1)
{
    Recorder& state = State();
    const kvsim::EntryPointInfo* info = kvsim::FindEntryPoint(name);
    if (info == nullptr)
        return;
    std::string failure;
    {
        std::lock_guard<std::mutex> hold(state.lock);
        state.changing = true;
        // The header names the device.
        if (state.deviceType < 0 && std::strcmp(name, "IxaGetDeviceType") == 0 &&
            seen.bytes.size() == sizeof(UINT32)) {
            UINT32 type = 0;
            std::memcpy(&type, seen.bytes.data(), sizeof type);
            state.deviceType = type;
        }
        if (state.recording.Add(*info, key, seen, answer))
            state.file.MarkChanged();
        if (selectedPanel >= 0)
            state.recording.SelectPanel(static_cast<UINT>(selectedPanel));
        state.changing = false;
        failure = WriteIfDue(state, ::GetTickCount64());
    }
    if (!failure.empty())
        ShowFailure(failure);
}

size_t ValueWidth(const char* name)
{
    for (const char* byteValue : kByteValues) {
        if (std::strcmp(name, byteValue) == 0)
            return 1;
    }
    return 4;
}

Observation Seen(UINT size, int result, DWORD error, const void* data, size_t length)
{
    Observation seen;
    seen.size = size;
    seen.result = result;
    seen.error = error;
    if (Succeeded(seen) && data != nullptr) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        seen.bytes.assign(bytes, bytes + length);
    }
    return seen;
}

// The file as the real library left it; false when it cannot be read.
bool ReadUploadedFile(const wchar_t* fileName, std::vector<unsigned char>& bytes, DWORD& error)
{
    HANDLE file = ::CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ::GetLastError();
        return false;
    }
    LARGE_INTEGER size = {};
    DWORD read = 0;
    bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart <= kMaxRecordedSize;
    error = ok ? ERROR_SUCCESS : ERROR_FILE_TOO_LARGE;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        ok = bytes.empty() || (::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
        if (!ok)
            error = ::GetLastError();
    }
    ::CloseHandle(file);
    return ok;
}

}  // namespace

FARPROC RealEntryPoint(const char* name, DWORD& error) noexcept
{
    Recorder& state = State();
    if (state.real.module == nullptr) {
        if (!state.real.problem.empty() && !state.realFailureShown.exchange(true))
            ShowFailure(state.real.problem);
        error = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    const FARPROC proc = ::GetProcAddress(state.real.module, name);
    if (proc == nullptr)
        error = ERROR_INVALID_FUNCTION;
    return proc;
}

void RecordBuffer(const char* name, std::initializer_list<UINT> keyParts, const void* buffer, UINT size,
                  bool textEntry, int result, DWORD error) noexcept
{
    try {
        if (!IsRecording() || size > kMaxRecordedSize)
            return;
        const Observation seen = Seen(size, result, error, buffer, size);
        Record(name, kvsim::JoinKey(keyParts), seen, BufferAnswer(seen, textEntry));
    } catch (...) {
        // A record that cannot be made never changes the call's outcome.
    }
}

void RecordValue(const char* name, const void* value, int result, DWORD error) noexcept
{
    try {
        if (!IsRecording())
            return;
        const Observation seen = Seen(0, result, error, value, ValueWidth(name));
        Record(name, std::string(), seen, ValueAnswer(seen));
    } catch (...) {
    }
}

void RecordEqualizer(const char* name, const void* mode, const void* value, int result, DWORD error) noexcept
{
    try {
        if (!IsRecording())
            return;
        Observation seen = Seen(0, result, error, mode, mode != nullptr && value != nullptr ? sizeof(UINT32) : 0);
        if (!seen.bytes.empty())
            seen.bytes.push_back(*static_cast<const unsigned char*>(value));
        Record(name, std::string(), seen, EqualizerAnswer(seen));
    } catch (...) {
    }
}

void RecordStatus(const char* name, UINT argument, int result, DWORD error) noexcept
{
    try {
        if (!IsRecording())
            return;
        const Observation seen = Seen(0, result, error, nullptr, 0);
        // As in the simulated library, any non-zero return selects the panel.
        const bool selects = result != 0 && std::strcmp(name, "IxaSelectPanel") == 0;
        Record(name, kvsim::JoinKey({argument}), seen, StatusAnswer(seen), selects ? argument : -1LL);
    } catch (...) {
    }
}

void RecordUpload(const char* name, const wchar_t* fileName, UINT item, int result, DWORD error) noexcept
{
    try {
        if (!IsRecording())
            return;
        Observation seen = Seen(0, result, error, nullptr, 0);
        DWORD readError = ERROR_SUCCESS;
        if (Succeeded(seen) && !ReadUploadedFile(fileName, seen.bytes, readError)) {
            ReportFailure("the file " + kvsim::WideToUtf8(fileName) + " " + name + " wrote cannot be read back, " +
                          kvsim::ErrorText(readError) + "; the call is not recorded");
            return;
        }
        Record(name, kvsim::JoinKey({item}), seen, UploadAnswer(seen));
    } catch (...) {
    }
}

void WritePendingRecord(bool processEnds) noexcept
{
    Recorder& state = g_recorder;
    const bool locked = state.lock.try_lock();
    // At the end of the process the other threads are gone; one of them may
    // have left the lock taken, in the middle of a write (the recording is
    // whole, the part file open) or of a change (the recording is not).
    if (!locked && (!processEnds || state.changing))
        return;
    try {
        state.file.Abandon();
        if (state.file.Changed()) {
            const DWORD error = state.file.Replace(ProfileText(state), ::GetTickCount64());
            if (error != ERROR_SUCCESS && !state.writeFailureShown)
                ReportFailure(WriteFailureText(state.file.Path(), error));  // no message box while the process ends
        }
    } catch (...) {
    }
    if (locked)
        state.lock.unlock();
}

}  // namespace kvrec
