#pragma once

#include "cpp/exception.h"
#include "cpp/string.h"
#include "cpp/text_span.h"

#include <compare>
#include <vector>

namespace cpp {

// A file or folder path with '/' as its only separator and no trailing '/'
// (the root "/" excepted). Relative text is resolved when the path is made,
// so every path built from text is absolute.
class FilePath {
public:
    class Exception : public cpp::Exception {
    public:
        using cpp::Exception::Exception;
        static void check(bool condition, const String& message);
    };

    // The empty path: as a base it stands for the working directory.
    FilePath() = default;

    // Absolute text (two or more characters starting with '/' or '\', or a
    // letter and ':' followed by more) is kept with '\' turned into '/';
    // other text is joined to the working directory. One trailing '/' goes.
    explicit FilePath(TextSpan text);

    // base.combine(relative).
    FilePath(const FilePath& base, TextSpan relative);

    FilePath(const FilePath&) = default;
    FilePath(FilePath&&) noexcept = default;
    FilePath& operator=(const FilePath&) = default;
    FilePath& operator=(FilePath&&) noexcept = default;
    ~FilePath() = default;

    // The components of relative appended to this path's: "." is skipped and
    // ".." drops one, but never the first (the drive; for "//server/share"
    // both; for "/x" the root itself). A leading "/" or "//" is kept. Throws
    // Exception "Invalid file path: <relative>" when ".." would climb higher.
    FilePath combine(TextSpan relative) const;

    // Byte-wise over unsigned characters.
    std::strong_ordering operator<=>(const FilePath& other) const;
    bool operator==(const FilePath& other) const { return (*this <=> other) == 0; }

    const String& text() const { return text_; }
    bool empty() const { return text_.empty(); }

    // Without the last component; the first one (see combine) is its own
    // parent, and the empty path's parent is the working directory.
    FilePath parent() const;

    // The text after the last '/', or all of it. Points into this path.
    TextSpan fileName() const&;
    TextSpan fileName() const&& = delete;

    // The pieces between '/', trimmed of white space, empty ones dropped.
    // They point into this path.
    std::vector<TextSpan> components() const&;
    std::vector<TextSpan> components() const&& = delete;

    // '/' for people and logs, '\' for the operating system.
    String toString(char separator = '/') const;

    // The folder for temporary files, absolute.
    static FilePath temp();

    // What relative text is resolved against. The program records its own at
    // start; until then (or after recording the empty path) it is the
    // process's current directory. Safe from any thread.
    static void setWorkingDirectory(const FilePath& directory);
    static FilePath workingDirectory();

private:
    // Operating-system text, which is absolute or names the root itself.
    static FilePath fromSystem(const String& text);

    String text_;
};

// `%` formatting of a path: its '/' text.
String formatText(const FilePath& path);

} // namespace cpp
