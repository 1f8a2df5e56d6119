#include "answer.h"

#include <cstring>

namespace kvsim {
namespace {

Outcome Succeeded(const Answer& answer)
{
    return Outcome{answer.forcesResult ? answer.result : 1, ERROR_SUCCESS};
}

// Answers without data are the same for every kind of entry point.
bool DeliverWithoutData(const Answer& answer, Outcome& outcome)
{
    if (answer.shape == AnswerShape::Error) {
        outcome = Outcome{answer.forcesResult ? answer.result : 0, answer.error};
        return true;
    }
    if (answer.shape == AnswerShape::ResultOnly) {
        outcome = Outcome{answer.result, ERROR_SUCCESS};
        return true;
    }
    return false;
}

Outcome DeliverNumber(const Answer& answer, void* buffer, UINT size)
{
    if (size != answer.bytes.size() || buffer == nullptr)
        return Outcome{0, ERROR_INVALID_PARAMETER};
    std::memcpy(buffer, answer.bytes.data(), answer.bytes.size());
    return Succeeded(answer);
}

Outcome DeliverText(const Answer& answer, void* buffer, UINT size)
{
    const size_t needed = (answer.text.size() + 1) * sizeof(wchar_t);
    if (size < needed)
        return Outcome{0, ERROR_INSUFFICIENT_BUFFER};
    if (buffer == nullptr)
        return Outcome{0, ERROR_INVALID_PARAMETER};
    std::memcpy(buffer, answer.text.c_str(), needed);
    return Succeeded(answer);
}

// A block longer than the buffer is refused; a shorter one is written as it
// is, padded up to the size asked for when the answer names a fill byte.
Outcome DeliverBytes(const Answer& answer, void* buffer, UINT size)
{
    const size_t length = answer.bytes.size();
    if (length > size)
        return Outcome{0, ERROR_INVALID_PARAMETER};
    if (buffer == nullptr && size > 0)
        return Outcome{0, ERROR_INVALID_PARAMETER};
    auto* bytes = static_cast<unsigned char*>(buffer);
    if (length > 0)
        std::memcpy(bytes, answer.bytes.data(), length);
    if (answer.fill >= 0 && size > length)
        std::memset(bytes + length, answer.fill, size - length);
    return Succeeded(answer);
}

}  // namespace

Outcome NoAnswer()
{
    return Outcome{0, ERROR_INVALID_PARAMETER};
}

Outcome DeliverToBuffer(const Answer& answer, void* buffer, UINT size)
{
    Outcome outcome;
    if (DeliverWithoutData(answer, outcome))
        return outcome;
    switch (answer.shape) {
    case AnswerShape::Number:
        return DeliverNumber(answer, buffer, size);
    case AnswerShape::Text:
        return DeliverText(answer, buffer, size);
    case AnswerShape::Bytes:
        return DeliverBytes(answer, buffer, size);
    default:
        return Outcome{0, ERROR_BAD_CONFIGURATION};
    }
}

Outcome DeliverValue(const Answer& answer, void* value)
{
    Outcome outcome;
    if (DeliverWithoutData(answer, outcome))
        return outcome;
    if (answer.shape != AnswerShape::Number)
        return Outcome{0, ERROR_BAD_CONFIGURATION};
    if (value == nullptr)
        return Outcome{0, ERROR_INVALID_PARAMETER};
    std::memcpy(value, answer.bytes.data(), answer.bytes.size());
    return Succeeded(answer);
}

Outcome DeliverEqualizer(const Answer& answer, void* mode, void* value)
{
    Outcome outcome;
    if (DeliverWithoutData(answer, outcome))
        return outcome;
    if (answer.shape != AnswerShape::Equalizer)
        return Outcome{0, ERROR_BAD_CONFIGURATION};
    if (mode == nullptr || value == nullptr)
        return Outcome{0, ERROR_INVALID_PARAMETER};
    std::memcpy(mode, &answer.mode, sizeof(answer.mode));
    if (answer.bytes.empty())
        std::memcpy(value, &answer.value, sizeof(answer.value));
    else
        std::memcpy(value, answer.bytes.data(), answer.bytes.size());
    return Succeeded(answer);
}

Outcome DeliverToFile(const Answer& answer, const wchar_t* fileName)
{
    Outcome outcome;
    if (DeliverWithoutData(answer, outcome))
        return outcome;
    if (fileName == nullptr || fileName[0] == L'\0')
        return Outcome{0, ERROR_INVALID_PARAMETER};

    const void* data = nullptr;
    size_t length = 0;
    if (answer.shape == AnswerShape::Bytes) {
        data = answer.bytes.data();
        length = answer.bytes.size();
    } else if (answer.shape == AnswerShape::Text) {
        data = answer.text.data();
        length = answer.text.size() * sizeof(wchar_t);
    } else {
        return Outcome{0, ERROR_BAD_CONFIGURATION};
    }

    HANDLE file = ::CreateFileW(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Outcome{0, ::GetLastError()};
    DWORD written = 0;
    const BOOL ok = length == 0 || ::WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr);
    const DWORD writeError = ok ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(file);
    if (!ok)
        return Outcome{0, writeError};
    return Succeeded(answer);
}

Outcome DeliverStatus(const Answer* answer)
{
    if (answer == nullptr)
        return Outcome{1, ERROR_SUCCESS};
    Outcome outcome;
    if (DeliverWithoutData(*answer, outcome))
        return outcome;
    return Outcome{0, ERROR_BAD_CONFIGURATION};
}

}  // namespace kvsim
