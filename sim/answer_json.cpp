#include "answer_json.h"

#include "text.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kvsim {
namespace {

using nlohmann::json;

struct NumberKind {
    const char* name;
    size_t width;
    long long min;
    long long max;
    bool isFloat;
};

static const NumberKind kNumberKinds[] = {
    {"u8", 1, 0, 0xFF, false},
    {"u16", 2, 0, 0xFFFF, false},
    {"u32", 4, 0, 0xFFFFFFFFLL, false},
    {"i8", 1, -0x80, 0x7F, false},
    {"i16", 2, -0x8000, 0x7FFF, false},
    {"i32", 4, -0x80000000LL, 0x7FFFFFFF, false},
    {"f32", 4, 0, 0, true},
};

// Hard limit for "length", so a typo cannot make the library allocate gigabytes.
const long long kMaxBlockLength = 1 << 20;

const NumberKind* FindNumberKind(const std::string& name)
{
    for (const NumberKind& kind : kNumberKinds) {
        if (name == kind.name)
            return &kind;
    }
    return nullptr;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "0x1A2B": hexadecimal numbers are easier to read for IDs and bit masks.
bool ParseHexNumber(const std::string& text, unsigned long long& value)
{
    if (text.size() < 3 || text.size() > 18 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0)
            return false;
        value = (value << 4) | static_cast<unsigned>(digit);
    }
    return true;
}

bool ReadInteger(const json& v, long long min, long long max, long long& out)
{
    if (v.is_number_unsigned()) {
        const unsigned long long u = v.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(max))
            return false;
        out = static_cast<long long>(u);
    } else if (v.is_number_integer()) {
        out = v.get<long long>();
    } else if (v.is_string()) {
        unsigned long long u = 0;
        if (!ParseHexNumber(v.get<std::string>(), u) || u > static_cast<unsigned long long>(max))
            return false;
        out = static_cast<long long>(u);
    } else {
        return false;
    }
    return out >= min && out <= max;
}

std::string RangeText(long long min, long long max)
{
    return "an integer from " + std::to_string(min) + " to " + std::to_string(max);
}

bool ReadNumberAnswer(const NumberKind& kind, const json& v, Answer& answer, std::string& problem)
{
    answer.shape = AnswerShape::Number;
    answer.bytes.assign(kind.width, 0);
    if (kind.isFloat) {
        const double d = v.is_number() ? v.get<double>() : NAN;
        const float f = static_cast<float>(d);
        if (!std::isfinite(f)) {
            problem = std::string("\"") + kind.name + "\" needs a number";
            return false;
        }
        std::memcpy(answer.bytes.data(), &f, sizeof(f));
        return true;
    }
    long long n = 0;
    if (!ReadInteger(v, kind.min, kind.max, n)) {
        problem = std::string("\"") + kind.name + "\" needs " + RangeText(kind.min, kind.max);
        return false;
    }
    const unsigned long long bits = static_cast<unsigned long long>(n);
    for (size_t i = 0; i < kind.width; ++i)
        answer.bytes[i] = static_cast<unsigned char>((bits >> (8 * i)) & 0xFF);
    return true;
}

// "00 1A ff": pairs of hexadecimal digits, blanks between pairs optional.
bool AppendHexBytes(const std::string& text, std::vector<unsigned char>& bytes)
{
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == ',') {
            if (high >= 0)
                return false;
            continue;
        }
        const int digit = HexDigit(c);
        if (digit < 0)
            return false;
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + digit));
            high = -1;
        }
    }
    return high < 0;
}

// A string or an array of strings (one per line of a long dump).
bool ReadHexBytes(const json& v, std::vector<unsigned char>& bytes)
{
    if (v.is_string())
        return AppendHexBytes(v.get<std::string>(), bytes);
    if (!v.is_array())
        return false;
    for (const json& line : v) {
        if (!line.is_string() || !AppendHexBytes(line.get<std::string>(), bytes))
            return false;
    }
    return true;
}

bool ShapeFitsUse(AnswerShape shape, AnswerUse use)
{
    if (shape == AnswerShape::Error || shape == AnswerShape::ResultOnly)
        return true;
    switch (use) {
    case AnswerUse::Buffer:
        return shape == AnswerShape::Number || shape == AnswerShape::Text || shape == AnswerShape::Bytes;
    case AnswerUse::Value:
        return shape == AnswerShape::Number;
    case AnswerUse::Equalizer:
        return shape == AnswerShape::Equalizer;
    case AnswerUse::File:
        return shape == AnswerShape::Text || shape == AnswerShape::Bytes;
    case AnswerUse::Status:
        return false;
    }
    return false;
}

const char* UseText(AnswerUse use)
{
    switch (use) {
    case AnswerUse::Buffer:
        return "a number (u8 ... f32), \"wstr\", \"hex\", \"error\" or \"return\"";
    case AnswerUse::Value:
        return "a number (u8 ... f32), \"error\" or \"return\"";
    case AnswerUse::Equalizer:
        return "\"mode\" with \"value\", \"error\" or \"return\"";
    case AnswerUse::File:
        return "\"hex\", \"wstr\", \"error\" or \"return\"";
    case AnswerUse::Status:
        return "\"error\" or \"return\"";
    }
    return "";
}

// The members of one answer object, sorted out before they are combined.
struct AnswerMembers {
    const NumberKind* numberKind = nullptr;
    const json* number = nullptr;
    const json* wstr = nullptr;
    const json* hex = nullptr;
    const json* fill = nullptr;
    const json* length = nullptr;
    const json* error = nullptr;
    const json* result = nullptr;
    const json* mode = nullptr;
    const json* value = nullptr;
    const json* delay = nullptr;
    int shapes = 0;
};

bool CollectMembers(const json& object, bool allowPanelMembers, AnswerMembers& m, std::string& problem)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& name = it.key();
        if (!name.empty() && name[0] == '_')
            continue;
        if (IsPanelMember(name)) {
            if (allowPanelMembers)
                continue;
            problem = "\"" + name + "\" belongs into the key (\"21@panel2\"), not into the answer";
            return false;
        }
        const json* v = &it.value();
        if (const NumberKind* kind = FindNumberKind(name)) {
            m.numberKind = kind;
            m.number = v;
            ++m.shapes;
        } else if (name == "wstr") {
            m.wstr = v;
            ++m.shapes;
        } else if (name == "hex") {
            m.hex = v;
            ++m.shapes;
        } else if (name == "error") {
            m.error = v;
            ++m.shapes;
        } else if (name == "mode") {
            m.mode = v;
        } else if (name == "value") {
            m.value = v;
        } else if (name == "fill") {
            m.fill = v;
        } else if (name == "length") {
            m.length = v;
        } else if (name == "return") {
            m.result = v;
        } else if (name == kDelayMember) {
            m.delay = v;
        } else {
            problem = "unknown member \"" + name + "\"";
            return false;
        }
    }
    if (m.mode != nullptr || m.value != nullptr)
        ++m.shapes;
    return true;
}

bool ReadBytesAnswer(const AnswerMembers& m, Answer& answer, std::string& problem)
{
    answer.shape = AnswerShape::Bytes;
    if (!ReadHexBytes(*m.hex, answer.bytes)) {
        problem = "\"hex\" needs pairs of hexadecimal digits (\"00 1A FF\"), as a string or an array of strings";
        return false;
    }
    long long fill = -1;
    if (m.fill != nullptr && !ReadInteger(*m.fill, 0, 0xFF, fill)) {
        problem = "\"fill\" needs " + RangeText(0, 0xFF);
        return false;
    }
    answer.fill = static_cast<int>(fill);
    if (m.length == nullptr)
        return true;
    long long length = 0;
    if (!ReadInteger(*m.length, 0, kMaxBlockLength, length)) {
        problem = "\"length\" needs " + RangeText(0, kMaxBlockLength);
        return false;
    }
    if (static_cast<size_t>(length) < answer.bytes.size()) {
        problem = "\"hex\" holds more bytes than \"length\"";
        return false;
    }
    answer.bytes.resize(static_cast<size_t>(length), static_cast<unsigned char>(fill < 0 ? 0 : fill));
    return true;
}

// "value" is the 8-bit value, or a number answer ({"u32": n}) that writes its own
// width, as a library writing more than its contract would.
bool ReadEqualizerValue(const json& v, Answer& answer)
{
    long long value = 0;
    if (ReadInteger(v, 0, 0xFF, value)) {
        answer.value = static_cast<BYTE>(value);
        return true;
    }
    if (!v.is_object() || v.size() != 1)
        return false;
    const NumberKind* kind = FindNumberKind(v.begin().key());
    Answer number;
    std::string ignored;
    if (kind == nullptr || kind->isFloat || !ReadNumberAnswer(*kind, v.begin().value(), number, ignored))
        return false;
    answer.bytes = number.bytes;
    answer.value = number.bytes[0];
    return true;
}

bool ReadEqualizerAnswer(const AnswerMembers& m, Answer& answer, std::string& problem)
{
    long long mode = 0;
    answer.shape = AnswerShape::Equalizer;
    if (m.mode == nullptr || m.value == nullptr || !ReadInteger(*m.mode, 0, 0xFFFFFFFFLL, mode) ||
        !ReadEqualizerValue(*m.value, answer)) {
        problem = "an equalizer answer needs \"mode\" (32-bit) and \"value\" (" + RangeText(0, 0xFF) +
                  ", or an integer answer such as {\"u32\": 263})";
        return false;
    }
    answer.mode = static_cast<UINT32>(mode);
    return true;
}

bool ReadShape(const AnswerMembers& m, Answer& answer, std::string& problem)
{
    if (m.number != nullptr)
        return ReadNumberAnswer(*m.numberKind, *m.number, answer, problem);
    if (m.wstr != nullptr) {
        answer.shape = AnswerShape::Text;
        if (!m.wstr->is_string() || !Utf8ToWide(m.wstr->get<std::string>(), answer.text)) {
            problem = "\"wstr\" needs a text";
            return false;
        }
        return true;
    }
    if (m.hex != nullptr)
        return ReadBytesAnswer(m, answer, problem);
    if (m.error != nullptr) {
        long long code = 0;
        answer.shape = AnswerShape::Error;
        if (!ReadInteger(*m.error, 0, 0xFFFFFFFFLL, code)) {
            problem = "\"error\" needs " + RangeText(0, 0xFFFFFFFFLL);
            return false;
        }
        answer.error = static_cast<DWORD>(code);
        return true;
    }
    if (m.mode != nullptr || m.value != nullptr)
        return ReadEqualizerAnswer(m, answer, problem);
    answer.shape = AnswerShape::ResultOnly;
    return true;
}

}  // namespace

bool IsPanelMember(const std::string& name)
{
    return name.size() > 6 && name.compare(0, 6, "@panel") == 0;
}

bool ParseAnswer(const json& object, AnswerUse use, bool allowPanelMembers, Answer& answer, std::string& problem)
{
    if (!object.is_object()) {
        problem = "an answer must be an object such as {\"u32\": 5}";
        return false;
    }
    AnswerMembers m;
    if (!CollectMembers(object, allowPanelMembers, m, problem))
        return false;
    if (m.shapes > 1) {
        problem = "an answer holds only one of the number kinds, \"wstr\", \"hex\", \"error\" or \"mode\"/\"value\"";
        return false;
    }
    if (m.shapes == 0 && m.result == nullptr) {
        problem = "empty answer; it needs " + std::string(UseText(use));
        return false;
    }
    if ((m.fill != nullptr || m.length != nullptr) && m.hex == nullptr) {
        problem = "\"fill\" and \"length\" go with \"hex\" only";
        return false;
    }
    if (!ReadShape(m, answer, problem))
        return false;
    if (!ShapeFitsUse(answer.shape, use)) {
        problem = "this entry point takes " + std::string(UseText(use));
        return false;
    }
    if (m.result != nullptr) {
        long long result = 0;
        if (!ReadInteger(*m.result, -0x80000000LL, 0x7FFFFFFF, result)) {
            problem = "\"return\" needs a 32-bit integer";
            return false;
        }
        answer.forcesResult = true;
        answer.result = static_cast<int>(result);
    }
    return m.delay == nullptr || ReadDelay(*m.delay, answer.delayMs, problem);
}

bool ReadDelay(const json& value, int& delayMs, std::string& problem)
{
    long long delay = 0;
    if (!ReadInteger(value, 0, kMaxDelayMs, delay)) {
        problem = std::string("\"") + kDelayMember + "\" needs " + RangeText(0, kMaxDelayMs) + " (milliseconds)";
        return false;
    }
    delayMs = static_cast<int>(delay);
    return true;
}

namespace {

const size_t kHexBytesPerLine = 16;

std::string HexLine(const unsigned char* bytes, size_t count)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0)
            line += ' ';
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
    return line;
}

nlohmann::ordered_json HexJson(const std::vector<unsigned char>& bytes)
{
    if (bytes.size() <= kHexBytesPerLine)
        return HexLine(bytes.data(), bytes.size());
    nlohmann::ordered_json lines = nlohmann::ordered_json::array();
    for (size_t i = 0; i < bytes.size(); i += kHexBytesPerLine)
        lines.push_back(HexLine(&bytes[i], std::min(kHexBytesPerLine, bytes.size() - i)));
    return lines;
}

// The unsigned kind of that width: u8, u16, u32; null for any other width.
const NumberKind* UnsignedKind(size_t width)
{
    for (const NumberKind& kind : kNumberKinds) {
        if (kind.width == width && kind.min == 0 && !kind.isFloat)
            return &kind;
    }
    return nullptr;
}

void AddNumberOrBytes(const Answer& answer, nlohmann::ordered_json& json)
{
    const NumberKind* kind = UnsignedKind(answer.bytes.size());
    if (kind == nullptr) {
        json["hex"] = HexJson(answer.bytes);
        return;
    }
    unsigned long long value = 0;
    for (size_t i = 0; i < answer.bytes.size(); ++i)
        value |= static_cast<unsigned long long>(answer.bytes[i]) << (8 * i);
    json[kind->name] = value;
}

}  // namespace

nlohmann::ordered_json AnswerJson(const Answer& answer)
{
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    switch (answer.shape) {
    case AnswerShape::Number:
        AddNumberOrBytes(answer, json);
        break;
    case AnswerShape::Text:
        json["wstr"] = WideToUtf8(answer.text);
        break;
    case AnswerShape::Bytes:
        json["hex"] = HexJson(answer.bytes);
        if (answer.fill >= 0)
            json["fill"] = answer.fill;
        break;
    case AnswerShape::Error:
        json["error"] = answer.error;
        break;
    case AnswerShape::Equalizer: {
        json["mode"] = answer.mode;
        if (answer.bytes.empty()) {
            json["value"] = answer.value;
            break;
        }
        nlohmann::ordered_json value = nlohmann::ordered_json::object();
        AddNumberOrBytes(answer, value);
        json["value"] = value;
        break;
    }
    case AnswerShape::ResultOnly:
        break;
    }
    if (answer.forcesResult || answer.shape == AnswerShape::ResultOnly)
        json["return"] = answer.result;
    return json;
}

}  // namespace kvsim
