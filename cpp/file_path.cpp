#include "cpp/file_path.h"

#include "cpp/file_path_platform.h"

#include <algorithm>
#include <mutex>
#include <optional>

namespace cpp {

namespace {

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isAbsolute(TextSpan text) {
    if (text.size() >= 2 && (text[0] == '/' || text[0] == '\\')) {
        return true;
    }
    return text.size() >= 3 && isLetter(text[0]) && text[1] == ':';
}

String withForwardSlashes(TextSpan text) {
    String result(text);
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

// A path's text taken apart for joining. The root ("/" or "//") is kept in
// front of the components; ".." may remove components only while more than
// `floor` remain, so a drive, a UNC server and share, or the root stays.
struct RootedPath {
    TextSpan root;
    std::vector<TextSpan> components;
    std::size_t floor;

    explicit RootedPath(TextSpan text) {
        if (text.size() >= 2 && text[0] == '/' && text[1] == '/') {
            root = text.substr(0, 2);
            floor = 2;
        } else if (!text.empty() && text[0] == '/') {
            root = text.substr(0, 1);
            floor = 0;
        } else {
            floor = 1;
        }
        components = text.substr(root.size()).split("/", String::whitespace, false);
    }
};

struct RecordedDirectory {
    std::mutex mutex;
    FilePath directory;
};

RecordedDirectory& recordedDirectory() {
    static RecordedDirectory recorded;
    return recorded;
}

} // namespace

void FilePath::Exception::check(bool condition, const String& message) {
    if (!condition) {
        throw Exception(message);
    }
}

FilePath::FilePath(TextSpan text) {
    if (!isAbsolute(text)) {
        // Joining leaves no trailing '/' but the root's own.
        text_ = FilePath().combine(text).text_;
        return;
    }
    text_ = withForwardSlashes(text);
    if (text_.back() == '/') {
        text_.pop_back();
    }
}

FilePath::FilePath(const FilePath& base, TextSpan relative) : FilePath(base.combine(relative)) {}

FilePath FilePath::combine(TextSpan relative) const {
    const String relativeText = withForwardSlashes(relative);
    const FilePath base = empty() ? workingDirectory() : *this;
    RootedPath joined(base.text_.span());
    for (const TextSpan component : relativeText.span().split("/", String::whitespace, false)) {
        if (component.view() == ".") {
            continue;
        }
        if (component.view() == "..") {
            Exception::check(joined.components.size() > joined.floor, String("Invalid file path: %", relativeText));
            joined.components.pop_back();
            continue;
        }
        joined.components.push_back(component);
    }
    FilePath result;
    result.text_ = String(joined.root);
    for (std::size_t index = 0; index < joined.components.size(); ++index) {
        if (index > 0) {
            result.text_ += '/';
        }
        result.text_ += joined.components[index].view();
    }
    return result;
}

std::strong_ordering FilePath::operator<=>(const FilePath& other) const {
    // char_traits<char> compares as unsigned char.
    return text_.std::string::compare(other.text_) <=> 0;
}

FilePath FilePath::parent() const {
    if (empty()) {
        return workingDirectory();
    }
    const RootedPath path(text_.span());
    if (path.components.size() <= path.floor) {
        return *this;
    }
    FilePath result;
    result.text_ = text_.substr(0, std::max(text_.rfind('/'), path.root.size()));
    if (result.text_.size() > path.root.size() && result.text_.back() == '/') {
        result.text_.pop_back();
    }
    return result;
}

TextSpan FilePath::fileName() const& {
    const std::size_t slash = text_.rfind('/');
    return slash == String::npos ? text_.span() : text_.span().substr(slash + 1);
}

std::vector<TextSpan> FilePath::components() const& {
    return text_.span().split("/", String::whitespace, false);
}

String FilePath::toString(char separator) const {
    String result = text_;
    if (separator != '/') {
        std::replace(result.begin(), result.end(), '/', separator);
    }
    return result;
}

FilePath FilePath::fromSystem(const String& text) {
    if (text == "/" || text == "\\") {
        FilePath root;
        root.text_ = "/";
        return root;
    }
    return FilePath(text);
}

FilePath FilePath::temp() {
    return fromSystem(detail::temporaryFolder());
}

void FilePath::setWorkingDirectory(const FilePath& directory) {
    RecordedDirectory& recorded = recordedDirectory();
    const std::lock_guard lock(recorded.mutex);
    recorded.directory = directory;
}

FilePath FilePath::workingDirectory() {
    {
        RecordedDirectory& recorded = recordedDirectory();
        const std::lock_guard lock(recorded.mutex);
        if (!recorded.directory.empty()) {
            return recorded.directory;
        }
    }
    return fromSystem(detail::currentDirectory());
}

String formatText(const FilePath& path) {
    return path.text();
}

} // namespace cpp
