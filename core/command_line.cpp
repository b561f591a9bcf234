#include "command_line.h"

namespace pulsaro {

std::vector<std::string_view> splitCommandLine(std::string_view commandLine) {
    std::vector<std::string_view> fields;
    std::size_t start = commandLine.find_first_not_of(' ');
    while (start != std::string_view::npos) {
        const std::size_t end = commandLine.find(' ', start);
        fields.push_back(commandLine.substr(start, end - start));
        start = commandLine.find_first_not_of(' ', end);
    }
    return fields;
}

}  // namespace pulsaro
