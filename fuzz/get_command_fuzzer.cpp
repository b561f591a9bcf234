// The "get" command parser of the transfer component against a model of the command: exactly
// three fields separated by runs of spaces, the first "get" in any letter case, the second an
// absolute remote path, and no control character anywhere (it would end the FTP command the path
// is sent in). Anything else is refused; an accepted command gives its fields back unchanged.

#include "fuzz_check.h"
#include "get_command.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> fieldsOf(const std::string& text) {
    std::vector<std::string> fields(1);
    for (char c : text) {
        if (c != ' ') {
            fields.back() += c;
        } else if (!fields.back().empty()) {
            fields.emplace_back();
        }
    }
    if (fields.back().empty()) fields.pop_back();
    return fields;
}

bool isGet(const std::string& verb) {
    if (verb.size() != 3) return false;
    const std::string lower = {
        static_cast<char>(std::tolower(static_cast<unsigned char>(verb[0]))),
        static_cast<char>(std::tolower(static_cast<unsigned char>(verb[1]))),
        static_cast<char>(std::tolower(static_cast<unsigned char>(verb[2])))};
    return lower == "get";
}

bool hasControlCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return std::iscntrl(static_cast<unsigned char>(c)) != 0; });
}

std::optional<pulsaro::GetCommand> model(const std::string& text) {
    if (hasControlCharacter(text)) return std::nullopt;
    const std::vector<std::string> fields = fieldsOf(text);
    if (fields.size() != 3 || !isGet(fields[0]) || fields[1][0] != '/') return std::nullopt;
    return pulsaro::GetCommand{fields[1], fields[2]};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<pulsaro::GetCommand> got = pulsaro::parseGetCommand(text);
    const std::optional<pulsaro::GetCommand> expected = model(text);
    FUZZ_CHECK(got.has_value() == expected.has_value(),
               "command \"" + text + "\" " + (got ? "accepted" : "refused"));
    if (got) {
        FUZZ_CHECK(got->remotePath == expected->remotePath, "remote \"" + got->remotePath + "\"");
        FUZZ_CHECK(got->localPath == expected->localPath, "local \"" + got->localPath + "\"");
    }
    return 0;
}
