#include "cpp/command_line.h"

namespace cpp {

std::vector<String> splitCommandLine(TextSpan commandLine) {
    std::vector<String> arguments;
    String current;
    bool quoted = false;
    std::size_t backslashes = 0;
    // One step past the last byte stands for the terminating zero.
    for (std::size_t i = 0; i <= commandLine.size(); ++i) {
        const char c = i < commandLine.size() ? commandLine[i] : '\0';
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            current.append(backslashes / 2, '\\');
            if (backslashes % 2 == 0) {
                quoted = !quoted;
            } else {
                current += '"';
            }
            backslashes = 0;
            continue;
        }
        current.append(backslashes, '\\');
        backslashes = 0;
        if (c == '\0' || (!quoted && (c == ' ' || c == '\t'))) {
            if (!current.empty()) {
                arguments.push_back(std::move(current));
            }
            current.clear();
        } else {
            current += c;
        }
    }
    return arguments;
}

} // namespace cpp
