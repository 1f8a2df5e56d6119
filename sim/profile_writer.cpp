#include "profile_writer.h"

#include "answer_json.h"

namespace kvsim {
namespace {

using nlohmann::ordered_json;

// Anything that fits into a line of this width stays on one line.
const size_t kLineWidth = 100;

ordered_json AnswerMember(const KeyedAnswer& keyed)
{
    ordered_json json = AnswerJson(keyed.answer);
    if (!keyed.comment.empty())
        json["_"] = keyed.comment;
    return json;
}

std::string Scalar(const ordered_json& value)
{
    return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

// Appends the value on one line; false as soon as the text passes limit
// characters: a large block is not laid out on one line only to be dropped.
bool AppendFlat(const ordered_json& value, size_t limit, std::string& text)
{
    if (!value.is_structured()) {
        text += Scalar(value);
        return text.size() <= limit;
    }
    text += value.is_object() ? '{' : '[';
    const char* separator = "";
    for (auto it = value.begin(); it != value.end(); ++it) {
        text += separator;
        if (value.is_object())
            text += Scalar(it.key()) + ": ";
        if (!AppendFlat(it.value(), limit, text))
            return false;
        separator = ", ";
    }
    text += value.is_object() ? '}' : ']';
    return text.size() <= limit;
}

void Format(const ordered_json& value, size_t indent, std::string& out)
{
    if (!value.is_structured() || value.empty()) {
        out += Scalar(value);
        return;
    }
    std::string flat;
    if (indent > 0 && indent < kLineWidth && AppendFlat(value, kLineWidth - indent, flat)) {
        out += flat;
        return;
    }
    out += value.is_object() ? "{\n" : "[\n";
    const std::string inner(indent + 2, ' ');
    for (auto it = value.begin(); it != value.end(); ++it) {
        out += inner;
        if (value.is_object())
            out += Scalar(it.key()) + ": ";
        Format(it.value(), indent + 2, out);
        out += std::next(it) != value.end() ? ",\n" : "\n";
    }
    out += std::string(indent, ' ') + (value.is_object() ? '}' : ']');
}

}  // namespace

ordered_json EntryJson(const EntryPointInfo& info, const std::vector<KeyedAnswer>& answers)
{
    ordered_json entry = ordered_json::object();
    if (info.key != KeyKind::Direct) {
        for (const KeyedAnswer& keyed : answers)
            entry[keyed.key] = AnswerMember(keyed);
        return entry;
    }
    // The plain answer is the member itself, the panel answers its "@panelN" members.
    for (const KeyedAnswer& keyed : answers) {
        if (keyed.key.empty())
            entry = AnswerMember(keyed);
    }
    for (const KeyedAnswer& keyed : answers) {
        if (!keyed.key.empty())
            entry[keyed.key] = AnswerMember(keyed);
    }
    return entry;
}

std::string FormatProfile(const ordered_json& profile)
{
    std::string text;
    Format(profile, 0, text);
    return text + "\n";
}

}  // namespace kvsim
