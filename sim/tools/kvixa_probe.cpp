// kvixa_probe: loads a KvIxa.dll by path, calls entry points with the given
// arguments and prints the outcome and the bytes written. Several calls go into
// one process (separated by "+"), so a panel selection carries over:
//   kvixa_probe bin\KvIxa.dll IxaSelectPanel 2 + IxaGetKeyCount
// A guard area behind every buffer shows when the library writes too much.
#include "kvixa/entry_points.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

enum class CallKind { Selector, String, Value, Equalizer, Matrix, LedMatrix, Number, Upload, Module, PanelModule };

struct ProbeEntry {
    const char* name;
    CallKind kind;
};

// The probe's kind of call for each signature kind of the call contract.
const CallKind kSelectorRead = CallKind::Selector;
const CallKind kSelectorStringRead = CallKind::String;
const CallKind kValueRead = CallKind::Value;
const CallKind kPairRead = CallKind::Equalizer;
const CallKind kBufferRead = CallKind::Matrix;
const CallKind kLayerRead = CallKind::LedMatrix;
const CallKind kCommand = CallKind::Number;
const CallKind kUpload = CallKind::Upload;
const CallKind kModuleRead = CallKind::Module;
const CallKind kPanelModuleRead = CallKind::PanelModule;

#define KV_PROBE_ENTRY(kind, name) {#name, k##kind},
static const ProbeEntry kProbeEntries[] = {KVIXA_ENTRY_POINTS(KV_PROBE_ENTRY)};
#undef KV_PROBE_ENTRY

using SelectorFn = int(WINAPI*)(UINT, void*, UINT);
using StringFn = int(WINAPI*)(UINT, wchar_t*, UINT);
using ValueFn = int(WINAPI*)(void*);
using EqualizerFn = int(WINAPI*)(void*, void*);
using MatrixFn = int(WINAPI*)(void*, UINT);
using LedMatrixFn = int(WINAPI*)(UINT, void*, UINT);
using NumberFn = int(WINAPI*)(UINT);
using UploadFn = int(WINAPI*)(const wchar_t*, UINT, UINT, UINT);
using ModuleFn = int(WINAPI*)(UINT, UINT, UINT, void*, UINT);
using PanelModuleFn = int(WINAPI*)(UINT, UINT, UINT, UINT, void*, UINT);

// Through void*: a direct cast between unrelated function types draws a warning.
template <typename Fn>
Fn As(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

const size_t kGuardBytes = 16;
const unsigned char kUnwritten = 0xCD;
const size_t kValueBytes = 8;  // room for any value width, to show how many bytes came

size_t ArgumentCount(CallKind kind)
{
    switch (kind) {
    case CallKind::Value:
    case CallKind::Equalizer:
        return 0;
    case CallKind::Matrix:
    case CallKind::Number:
        return 1;
    case CallKind::Selector:
    case CallKind::String:
    case CallKind::LedMatrix:
        return 2;
    case CallKind::Module:
    case CallKind::Upload:
        return 4;
    case CallKind::PanelModule:
        return 5;
    }
    return 0;
}

const char* Usage()
{
    return "usage: kvixa_probe <KvIxa.dll> <EntryPoint> [arguments] [+ <EntryPoint> [arguments] ...]\n"
           "  selector and string entry points: selector size\n"
           "  one-value entry points, IxaGetDisplayEqualizer: no arguments\n"
           "  IxaGetKeyMatrix, IxaGetKeySwitches: size     IxaGetLedMatrix: layer size\n"
           "  IxaEnableWmi, IxaSelectPanel: number         IxaUploadFileW: file item n n\n"
           "  module entry points: selector module sub size\n"
           "  panel-module entry points: selector panel module sub size\n";
}

std::string ToUtf8(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                             nullptr, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr,
                              nullptr);
    return text;
}

bool ParseNumber(const wchar_t* text, UINT& value)
{
    // Decimal, or hexadecimal with "0x"; never octal, so "010" stays ten.
    const bool hex = text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const wchar_t* digits = hex ? text + 2 : text;
    wchar_t* end = nullptr;
    const unsigned long n = std::wcstoul(digits, &end, hex ? 16 : 10);
    if (end == digits || *end != L'\0')
        return false;
    value = static_cast<UINT>(n);
    return true;
}

std::string HexBytes(const unsigned char* bytes, size_t count)
{
    std::string text;
    char pair[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof(pair), i == 0 ? "%02X" : " %02X", bytes[i]);
        text += pair;
    }
    return text;
}

// The whole buffer for small sizes; the beginning and the end for large ones.
std::string DescribeBuffer(const std::vector<unsigned char>& buffer, size_t size)
{
    std::string text = " bytes: ";
    if (size <= 64)
        return text + HexBytes(buffer.data(), size);
    return text + HexBytes(buffer.data(), 32) + " ... " + HexBytes(buffer.data() + size - 16, 16) + " (" +
           std::to_string(size) + " bytes)";
}

std::string DescribeText(const std::vector<unsigned char>& buffer, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t c = 0;
        std::memcpy(&c, buffer.data() + i, sizeof(c));
        if (c == L'\0')
            return " text: \"" + ToUtf8(text) + "\"";
        text += c;
    }
    return " text: (no terminator)";
}

struct Call {
    const ProbeEntry* entry = nullptr;
    std::vector<UINT> numbers;
    std::wstring fileName;
};

// Makes one call and returns its line; false when the export is missing.
bool RunCall(HMODULE library, const Call& call, std::string& line)
{
    FARPROC proc = ::GetProcAddress(library, call.entry->name);
    line = call.entry->name;
    if (proc == nullptr) {
        line += ": missing export";
        return false;
    }
    const std::vector<UINT>& n = call.numbers;
    size_t size = kValueBytes;
    switch (call.entry->kind) {
    case CallKind::Selector:
    case CallKind::String:
    case CallKind::LedMatrix:
        size = n[1];
        break;
    case CallKind::Matrix:
        size = n[0];
        break;
    case CallKind::Module:
        size = n[3];
        break;
    case CallKind::PanelModule:
        size = n[4];
        break;
    default:
        break;
    }
    std::vector<unsigned char> buffer(size + kGuardBytes, kUnwritten);
    std::vector<unsigned char> second(kValueBytes + kGuardBytes, kUnwritten);
    void* data = buffer.data();

    ::SetLastError(0xDEADu);  // shows a library that forgets to set the last error
    int result = 0;
    switch (call.entry->kind) {
    case CallKind::Selector:
        result = As<SelectorFn>(proc)(n[0], data, n[1]);
        break;
    case CallKind::String:
        result = As<StringFn>(proc)(n[0], static_cast<wchar_t*>(data), n[1]);
        break;
    case CallKind::Value:
        result = As<ValueFn>(proc)(data);
        break;
    case CallKind::Equalizer:
        result = As<EqualizerFn>(proc)(data, second.data());
        break;
    case CallKind::Matrix:
        result = As<MatrixFn>(proc)(data, n[0]);
        break;
    case CallKind::LedMatrix:
        result = As<LedMatrixFn>(proc)(n[0], data, n[1]);
        break;
    case CallKind::Number:
        result = As<NumberFn>(proc)(n[0]);
        break;
    case CallKind::Upload:
        result = As<UploadFn>(proc)(call.fileName.c_str(), n[1], n[2], n[3]);
        break;
    case CallKind::Module:
        result = As<ModuleFn>(proc)(n[0], n[1], n[2], data, n[3]);
        break;
    case CallKind::PanelModule:
        result = As<PanelModuleFn>(proc)(n[0], n[1], n[2], n[3], data, n[4]);
        break;
    }
    const DWORD error = ::GetLastError();

    line += "(";
    for (size_t i = 0; i < n.size(); ++i) {
        if (i > 0)
            line += ", ";
        line += call.entry->kind == CallKind::Upload && i == 0 ? "\"" + ToUtf8(call.fileName) + "\""
                                                                : std::to_string(n[i]);
    }
    line += ") = " + std::to_string(result) + " [" + std::to_string(error) + "]";
    if (call.entry->kind == CallKind::Equalizer)
        line += " mode" + DescribeBuffer(buffer, 4) + ", value" + DescribeBuffer(second, 1);
    else if (call.entry->kind != CallKind::Number && call.entry->kind != CallKind::Upload)
        line += DescribeBuffer(buffer, size);
    if (call.entry->kind == CallKind::String && result != 0)
        line += DescribeText(buffer, size);
    for (size_t i = size; i < buffer.size(); ++i) {
        if (buffer[i] != kUnwritten) {
            line += " OVERRUN";
            break;
        }
    }
    return true;
}

const ProbeEntry* FindProbeEntry(const std::wstring& name)
{
    const std::string narrow = ToUtf8(name);
    for (const ProbeEntry& entry : kProbeEntries) {
        if (narrow == entry.name)
            return &entry;
    }
    return nullptr;
}

// Splits "Name args + Name args ..." into calls; false with a message on a fault.
bool ParseCalls(int argc, wchar_t** argv, std::vector<Call>& calls, std::string& problem)
{
    int i = 2;
    while (i < argc) {
        Call call;
        call.entry = FindProbeEntry(argv[i]);
        if (call.entry == nullptr) {
            problem = "unknown entry point " + ToUtf8(argv[i]);
            return false;
        }
        ++i;
        const size_t count = ArgumentCount(call.entry->kind);
        for (size_t k = 0; k < count; ++k, ++i) {
            if (i >= argc || std::wcscmp(argv[i], L"+") == 0) {
                problem = std::string(call.entry->name) + ": too few arguments";
                return false;
            }
            UINT number = 0;
            if (call.entry->kind == CallKind::Upload && k == 0) {
                call.fileName = argv[i];
            } else if (!ParseNumber(argv[i], number)) {
                problem = std::string(call.entry->name) + ": not a number: " + ToUtf8(argv[i]);
                return false;
            }
            call.numbers.push_back(number);
        }
        calls.push_back(call);
        if (i < argc && std::wcscmp(argv[i], L"+") != 0) {
            problem = std::string(call.entry->name) + ": too many arguments";
            return false;
        }
        ++i;
    }
    if (calls.empty()) {
        problem = "no call given";
        return false;
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<Call> calls;
    std::string problem;
    if (argc < 3 || !ParseCalls(argc, argv, calls, problem)) {
        std::fprintf(stderr, "%s%s%s", problem.c_str(), problem.empty() ? "" : "\n", Usage());
        return 2;
    }
    HMODULE library = ::LoadLibraryW(argv[1]);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: error %lu\n", ToUtf8(argv[1]).c_str(), ::GetLastError());
        return 3;
    }
    int exitCode = 0;
    for (const Call& call : calls) {
        std::string line;
        if (!RunCall(library, call, line))
            exitCode = 2;
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    ::FreeLibrary(library);
    return exitCode;
}
