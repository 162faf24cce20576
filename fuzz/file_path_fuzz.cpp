// cpp::FilePath built from arbitrary text and combined with arbitrary
// relative text. "Invalid file path: " is the one failure allowed; every path
// made has '/' separators only, and a joined one no trailing '/' but the
// root's (absolute text keeps all but one of its own, as given).
#include "cpp/file_path.h"
#include "cpp/string.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// "/", or "//" of a server path that lost its server and share.
bool isRoot(const cpp::String& text) {
    return text == "/" || text == "//";
}

void checkShape(const cpp::FilePath& path, bool joined) {
    const cpp::String& text = path.text();
    if (text.find('\\') != std::string::npos || (joined && !isRoot(text) && text.back() == '/')) {
        std::abort();
    }
    // Exercised for what they might touch; each must stay inside the text.
    const cpp::FilePath parent = path.parent();
    if (parent.text().size() > text.size() && !path.empty()) {
        std::abort();
    }
    if (path.fileName().size() > text.size()) {
        std::abort();
    }
    for (const cpp::TextSpan component : path.components()) {
        if (component.empty() || component.begin() < text.data() || component.end() > text.data() + text.size()) {
            std::abort();
        }
    }
    if (path.toString('\\').size() != text.size()) {
        std::abort();
    }
}

// The path made, or none when it was refused as it may be.
template <class Make>
std::optional<cpp::FilePath> attempt(bool joined, Make make) {
    try {
        cpp::FilePath path = make();
        checkShape(path, joined);
        return path;
    } catch (const cpp::FilePath::Exception& error) {
        if (std::string(error.what()).rfind("Invalid file path: ", 0) != 0) {
            std::abort();
        }
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const cpp::String baseText(input.ConsumeRandomLengthString(128));
    const cpp::String relative(input.ConsumeRemainingBytesAsString());
    attempt(false, [&] { return cpp::FilePath(relative.span()); });
    attempt(true, [&] { return cpp::FilePath().combine(relative.span()); });
    if (const std::optional<cpp::FilePath> base = attempt(false, [&] { return cpp::FilePath(baseText.span()); })) {
        attempt(true, [&] { return base->combine(relative.span()); });
    }
    return 0;
}
