// Where a profile's text comes from: the file KVIXA_PROFILE names, the files its
// "base" members name, or the default profile built into the library.
#include "profile.h"

#include "resource.h"
#include "text.h"

namespace kvsim {
namespace {

const int kMaxBaseDepth = 8;
const LONGLONG kMaxProfileBytes = 64LL * 1024 * 1024;

// Where a profile comes from: a file, or the resource built into the library.
struct ProfileSource {
    bool builtin = true;
    std::wstring path;
};

std::string Describe(const ProfileSource& source)
{
    return source.builtin ? std::string("(built-in corvabox-c90.json)") : WideToUtf8(source.path);
}

bool ReadSourceText(const ProfileSource& source, std::string& text, std::string& problem)
{
    if (source.builtin) {
        static const int kAnchor = 0;  // any address inside this library finds its module
        HMODULE module = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&kAnchor), &module);
        HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(IDR_KVIXA_DEFAULT_PROFILE), RT_RCDATA);
        HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
        const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
        if (data == nullptr) {
            problem = Describe(source) + ": missing from the library, " + ErrorText(::GetLastError());
            return false;
        }
        text.assign(static_cast<const char*>(data), ::SizeofResource(module, found));
        return true;
    }

    HANDLE file = ::CreateFileW(source.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = Describe(source) + ": cannot be opened, " + ErrorText(::GetLastError());
        return false;
    }
    LARGE_INTEGER size = {};
    bool ok = ::GetFileSizeEx(file, &size) != FALSE && size.QuadPart <= kMaxProfileBytes;
    DWORD error = ok ? ERROR_SUCCESS : ERROR_FILE_TOO_LARGE;
    if (ok) {
        text.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = text.empty() || (::ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr) &&
                              read == text.size());
        if (!ok)
            error = ::GetLastError();
    }
    ::CloseHandle(file);
    if (!ok) {
        problem = Describe(source) + ": cannot be read, " + ErrorText(error);
        return false;
    }
    return true;
}

bool IsAbsolutePath(const std::wstring& path)
{
    return (!path.empty() && (path[0] == L'\\' || path[0] == L'/')) || (path.size() > 1 && path[1] == L':');
}

// A base file name is taken relative to the folder of the profile that names it.
ProfileSource ResolveBase(const ProfileSource& from, const std::wstring& name)
{
    ProfileSource base;
    if (WideToUtf8(name) == kBuiltinBase)
        return base;
    base.builtin = false;
    base.path = name;
    if (from.builtin || IsAbsolutePath(name))
        return base;
    const size_t slash = from.path.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        base.path = from.path.substr(0, slash + 1) + name;
    return base;
}

bool LoadInto(const ProfileSource& source, int depth, Profile& profile, std::string& problem)
{
    std::string text;
    if (!ReadSourceText(source, text, problem))
        return false;
    const BaseLoader loadBase = [&source, depth](const std::wstring& name, Profile& into, std::string& fault) {
        if (depth >= kMaxBaseDepth) {
            fault = Describe(source) + ": /base: profiles based on each other more than " +
                    std::to_string(kMaxBaseDepth) + " deep (a cycle?)";
            return false;
        }
        return LoadInto(ResolveBase(source, name), depth + 1, into, fault);
    };
    return ReadProfileText(text, Describe(source), loadBase, profile, problem);
}

}  // namespace

ProfileLoad LoadProfile()
{
    ProfileLoad load;
    ProfileSource source;
    source.path = EnvironmentValue(L"KVIXA_PROFILE");
    source.builtin = source.path.empty();
    auto profile = std::make_unique<Profile>();
    std::string problem;
    if (!LoadInto(source, 0, *profile, problem)) {
        load.problem = "KvIxa: profile " + problem;
        return load;
    }
    load.profile = std::move(profile);
    return load;
}

}  // namespace kvsim
