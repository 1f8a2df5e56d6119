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
    const std::string where = "KvIxa recorder: real library " + kvsim::WideToUtf8(real.path);
    if (real.module == nullptr) {
        real.problem = where + " cannot be loaded, " + kvsim::ErrorText(error);
    } else if (real.module == RecorderModule()) {
        ::FreeLibrary(real.module);
        real.module = nullptr;
        real.problem = where + " is the recorder itself";
    }
    if (!real.problem.empty())
        real.problem += "; every call fails with 126";
    return real;
}

}  // namespace kvrec
