// One answer of a device profile and how it is delivered to the caller.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kvsim {

// What an entry point call hands back: its return value and its last error.
struct Outcome {
    int result = 0;
    DWORD error = 0;
};

enum class AnswerShape {
    Number,     // u8 ... f32: exactly its width, size must match
    Text,       // wstr: UTF-16 text with terminator
    Bytes,      // hex: raw bytes, optionally padded with a fill byte
    Error,      // error: the call fails with this code
    Equalizer,  // mode and value of IxaGetDisplayEqualizer
    ResultOnly  // only "return": no data, just the return value
};

struct Answer {
    AnswerShape shape = AnswerShape::ResultOnly;
    std::vector<unsigned char> bytes;  // Number: its width in bytes; Bytes: the block; Equalizer: a wide value
    int fill = -1;                     // Bytes: pad byte up to the size asked for, -1 for none
    std::wstring text;                 // Text
    DWORD error = 0;                   // Error
    UINT32 mode = 0;                   // Equalizer
    BYTE value = 0;                    // Equalizer: the value, unless bytes holds a wider one
    bool forcesResult = false;         // "return" given
    int result = 1;                    // the forced return value
    int delayMs = -1;                  // "delayMs": wait before answering; -1: the profile's delay
};

// The outcome of a call that has no answer: the device lacks the value.
Outcome NoAnswer();

// selector/module/panel entry points and the matrices: data of the size asked for.
Outcome DeliverToBuffer(const Answer& answer, void* buffer, UINT size);
// One-value entry points: writes exactly the answer's width.
Outcome DeliverValue(const Answer& answer, void* value);
Outcome DeliverEqualizer(const Answer& answer, void* mode, void* value);
// IxaUploadFileW: the answer's bytes become the file's content.
Outcome DeliverToFile(const Answer& answer, const wchar_t* fileName);
// IxaSelectPanel and IxaEnableWmi: succeed unless the answer says otherwise.
Outcome DeliverStatus(const Answer* answer);

}  // namespace kvsim
