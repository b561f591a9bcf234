#include "operation_calls.h"

namespace pulsaro::calls {
namespace {

// Appended piece by piece: operator+ on a short literal trips a false -Wrestrict in GCC 12 -O3.
std::string joined(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text.append(piece);
    return text;
}

FailureOf onePath(const char* operation, std::string_view what, std::string_view path) {
    const std::string quoted = inQuotes(path);
    return FailureOf(operation, quoted, joined({what, quoted}));
}

}  // namespace

FailureOf killFiles(std::string_view pattern) {
    return onePath("KillFiles", "delete ", pattern);
}

FailureOf removeDir(std::string_view path) {
    return onePath("RemoveDir", "remove the folder ", path);
}

FailureOf makeDir(std::string_view path) {
    return onePath("MakeDir", "make the folder ", path);
}

FailureOf fileCopy(std::string_view source, std::string_view destination) {
    const std::string from = inQuotes(source);
    const std::string to = inQuotes(destination);
    return FailureOf("FileCopy", joined({from, " ", to}), joined({"copy ", from, " to ", to}));
}

FailureOf fileLen(std::string_view path) {
    return onePath("FileLen", "read the size of ", path);
}

FailureOf shell(std::string_view commandLine) {
    return onePath("Shell", "start ", commandLine);
}

FailureOf exclusiveLock(std::string_view path) {
    return onePath("ExclusiveLock", "take the lock ", path);
}

}  // namespace pulsaro::calls
