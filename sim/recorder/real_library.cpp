#include "real_library.h"

#include "text.h"

namespace kvrec {
namespace {

const wchar_t kBesideName[] = L"KvIxa.real.dll";
const int kAnchor = 0;  // any address inside this library finds its module

}  // namespace

HMODULE RecorderModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&kAnchor), &module);
    return module;
}

void PinRecorder()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCWSTR>(&kAnchor), &module);
}

std::wstring ModulePath(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
}

std::wstring FullPath(const std::wstring& path)
{
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    if (written == 0 || written >= length)
        return path;
    full.resize(written);
    return full;
}

std::wstring FileName(const std::wstring& path)
{
    return path.substr(path.find_last_of(L"\\/") + 1);
}

namespace {

std::wstring Folder(const std::wstring& path)
{
    const size_t end = path.find_last_of(L"\\/");
    return end == std::wstring::npos ? std::wstring() : path.substr(0, end);
}

// What failed and what the technician does about it; named: the path came from KVIXA_REAL.
std::string Problem(const std::wstring& path, bool named, DWORD error, bool isRecorder)
{
    const std::string where = kvsim::WideToUtf8(path);
    const std::string remedy = named ? "set KVIXA_REAL to the path of the maker's KvIxa.dll"
                                     : "rename the maker's KvIxa.dll to KvIxa.real.dll and put it there";
    std::string text;
    if (isRecorder) {
        text = where + " is the recording KvIxa.dll itself; " + remedy;
    } else if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        text = named ? "KVIXA_REAL names " + where + ", which is not found; " + remedy
                     : "KvIxa.real.dll not found beside the recording KvIxa.dll in " +
                           kvsim::WideToUtf8(Folder(path)) + "; " + remedy;
    } else {
        text = where + " cannot be loaded, " + kvsim::ErrorText(error) + "; it must be the maker's KvIxa.dll for " +
               std::to_string(sizeof(void*) * 8) + "-bit programs, with the files it needs beside it";
    }
    return text + ". Until then every call fails with error 126.";
}

}  // namespace

RealLibrary LoadRealLibrary()
{
    RealLibrary real;
    const std::wstring named = kvsim::EnvironmentValue(L"KVIXA_REAL");
    // A relative KVIXA_REAL is taken from the current directory, as KVIXA_PROFILE.
    if (!named.empty()) {
        real.path = FullPath(named);
    } else {
        const std::wstring own = ModulePath(RecorderModule());
        real.path = own.substr(0, own.find_last_of(L"\\/") + 1) + kBesideName;
    }
    // With its full path and its own folder first for what it loads in turn.
    real.module = ::LoadLibraryExW(real.path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD error = ::GetLastError();
    const bool isRecorder = real.module != nullptr && real.module == RecorderModule();
    if (isRecorder) {
        ::FreeLibrary(real.module);
        real.module = nullptr;
    }
    if (real.module == nullptr)
        real.problem = Problem(real.path, !named.empty(), error, isRecorder);
    return real;
}

}  // namespace kvrec
