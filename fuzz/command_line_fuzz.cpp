// cpp::splitCommandLine on arbitrary text: no empty argument, and quoting the
// arguments the way Windows programs expect gives the same arguments back.
#include "cpp/command_line.h"
#include "cpp/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// The usual inverse of the splitter: quotes only where needed, backslashes
// doubled only before a quote.
std::string quoted(const std::string& argument) {
    if (argument.find_first_of(" \t\"") == std::string::npos) {
        return argument;
    }
    std::string result = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        result.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        result += c;
    }
    result.append(2 * backslashes, '\\');
    return result + '"';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const cpp::String text(std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<cpp::String> arguments = cpp::splitCommandLine(text.span());

    std::string joined;
    for (const cpp::String& argument : arguments) {
        if (argument.empty() || argument.find('\0') != std::string::npos) {
            std::abort();
        }
        joined += quoted(argument) + ' ';
    }
    const cpp::String rejoined(joined);
    if (cpp::splitCommandLine(rejoined.span()) != arguments) {
        std::abort();
    }
    return 0;
}
