#include "recorder.h"

#include "profile.h"
#include "profile_writer.h"
#include "real_library.h"
#include "recording.h"
#include "text.h"
#include "trace.h"

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
    std::wstring file;    // KVIXA_RECORD as a full path; empty: nothing is recorded
    std::string started;  // local date and time of the first call
    std::string program;  // the host's file name and version
    std::mutex lock;      // guards what follows
    Recording recording;
    long long deviceType = -1;
    bool pending = false;  // changed since the file was last written
    bool writeFailureReported = false;
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

BOOL CALLBACK Start(PINIT_ONCE, PVOID, PVOID*)
{
    try {
        // One recording spans the process: a host that frees its last load of
        // the library and loads it again goes on with the same recording.
        PinRecorder();
        g_recorder.real = LoadRealLibrary();
        if (!g_recorder.real.problem.empty())
            kvsim::ReportProblem(g_recorder.real.problem.c_str());
        const std::wstring file = kvsim::EnvironmentValue(L"KVIXA_RECORD");
        if (!file.empty()) {
            g_recorder.started = LocalTimeText();
            g_recorder.program = ProgramText();
            g_recorder.file = FullPath(file);
        }
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
    return !State().file.empty();
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
    profile["_library"] = kvsim::WideToUtf8(state.real.path) + (state.real.module ? "" : " (not loaded)");
    const nlohmann::ordered_json entries = state.recording.Entries();
    for (auto it = entries.begin(); it != entries.end(); ++it)
        profile[it.key()] = it.value();
    return kvsim::FormatProfile(profile);
}

DWORD WriteWholeFile(const std::wstring& path, const std::string& text)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ::GetLastError();
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(file);
    return error;
}

// Written beside and then moved into place, so a process that ends at any
// moment leaves the previous complete record or the new one, never half of one.
void WriteRecord(Recorder& state)
{
    const std::wstring part = state.file + L".part";
    DWORD error = WriteWholeFile(part, ProfileText(state));
    if (error == ERROR_SUCCESS && !::MoveFileExW(part.c_str(), state.file.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = ::GetLastError();
    state.pending = error != ERROR_SUCCESS;
    if (!state.pending)
        return;
    ::DeleteFileW(part.c_str());
    if (!state.writeFailureReported) {
        state.writeFailureReported = true;
        const std::string line = "KvIxa recorder: record " + kvsim::WideToUtf8(state.file) + " cannot be written, " +
                                 kvsim::ErrorText(error);
        kvsim::ReportProblem(line.c_str());
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
    std::lock_guard<std::mutex> hold(state.lock);
    // The header names the device.
    if (state.deviceType < 0 && std::strcmp(name, "IxaGetDeviceType") == 0 &&
        seen.bytes.size() == sizeof(UINT32)) {
        UINT32 type = 0;
        std::memcpy(&type, seen.bytes.data(), sizeof type);
        state.deviceType = type;
    }
    if (state.recording.Add(*info, key, seen, answer))
        state.pending = true;
    if (selectedPanel >= 0)
        state.recording.SelectPanel(static_cast<UINT>(selectedPanel));
    if (state.pending)
        WriteRecord(state);
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
    const Recorder& state = State();
    if (state.real.module == nullptr) {
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
            const std::string line = "KvIxa recorder: the file " + kvsim::WideToUtf8(fileName) + " " + name +
                                     " wrote cannot be read back, " + kvsim::ErrorText(readError) +
                                     "; the call is not recorded";
            kvsim::ReportProblem(line.c_str());
            return;
        }
        Record(name, kvsim::JoinKey({item}), seen, UploadAnswer(seen));
    } catch (...) {
    }
}

void WritePendingRecord() noexcept
{
    try {
        Recorder& state = g_recorder;
        // Threads ended by the process's end may have left the lock taken.
        if (state.file.empty() || !state.lock.try_lock())
            return;
        if (state.pending)
            WriteRecord(state);
        state.lock.unlock();
    } catch (...) {
    }
}

}  // namespace kvrec
