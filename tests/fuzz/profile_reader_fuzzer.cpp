// The simulated library's profile reader: any text is either a profile or one
// fault line, never a crash; every answer it accepts is written back by AnswerJson
// into a form it reads as the same answer.
#include "answer_json.h"
#include "fuzz_input.h"
#include "profile.h"

#include <fstream>
#include <sstream>

using kvfuzz::Require;

namespace {

const int kMaxBaseDepth = 8;

std::string DefaultProfileText()
{
    std::ifstream file(KV_DEFAULT_PROFILE, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// "builtin" is the default profile; any other base is the fuzzed text itself, so a
// profile can build on itself until the depth limit.
bool Read(const std::string& text, int depth, kvsim::Profile& profile, std::string& problem)
{
    static const std::string builtinText = DefaultProfileText();
    const kvsim::BaseLoader loadBase = [&](const std::wstring& name, kvsim::Profile& into, std::string& fault) {
        if (depth >= kMaxBaseDepth) {
            fault = "fuzz.json: /base: too deep";
            return false;
        }
        const bool builtin = name == L"builtin";
        return Read(builtin ? builtinText : text, depth + 1, into, fault);
    };
    return kvsim::ReadProfileText(text, "fuzz.json", loadBase, profile, problem);
}

kvsim::AnswerUse UseOf(const std::string& entryPoint)
{
    const kvsim::EntryPointInfo* info = kvsim::FindEntryPoint(entryPoint);
    Require(info != nullptr, "only known entry points are kept");
    return info->use;
}

void CheckWrittenBack(const std::string& entryPoint, const kvsim::Answer& answer)
{
    const std::string written = kvsim::AnswerJson(answer).dump();
    kvsim::Answer read;
    std::string problem;
    Require(kvsim::ParseAnswer(nlohmann::json::parse(written), UseOf(entryPoint), false, read, problem),
            "a written answer is read again");
    Require(read.shape == answer.shape && read.bytes == answer.bytes && read.fill == answer.fill &&
                read.text == answer.text && read.error == answer.error && read.mode == answer.mode &&
                read.value == answer.value && read.result == answer.result,
            "a written answer reads as the same answer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    kvsim::Profile profile;
    std::string problem;
    if (!Read(text, 0, profile, problem)) {
        Require(problem.rfind("fuzz.json: ", 0) == 0 && problem.size() > 11, "a fault names the profile and what is wrong");
        return 0;
    }
    for (const auto& entry : profile.Entries()) {
        for (const auto& keyed : entry.second)
            CheckWrittenBack(entry.first, keyed.second);
        profile.Find(entry.first, "0", 0);
        profile.Find(entry.first, "1/2/3", -1);
    }
    return 0;
}
