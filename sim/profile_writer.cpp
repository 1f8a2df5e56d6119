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

std::string Flat(const ordered_json& value)
{
    if (!value.is_structured())
        return Scalar(value);
    std::string text(1, value.is_object() ? '{' : '[');
    const char* separator = "";
    for (auto it = value.begin(); it != value.end(); ++it) {
        text += separator;
        if (value.is_object())
            text += Scalar(it.key()) + ": ";
        text += Flat(it.value());
        separator = ", ";
    }
    return text + (value.is_object() ? '}' : ']');
}

void Format(const ordered_json& value, size_t indent, std::string& out)
{
    const std::string flat = Flat(value);
    if (!value.is_structured() || value.empty() || (indent > 0 && indent + flat.size() <= kLineWidth)) {
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
