#pragma once

#include "cpp/async_io.h"
#include "cpp/file_path.h"
#include "cpp/property_map.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

namespace cpp {

// A PropertyMap bound to a file that is a log of "key\tvalue\n" lines: every
// set appends a line, and load replays the log and rewrites it with one line
// per key. Other processes are kept out by sharing modes alone, so both sides
// retry while the other writes. One thread at a time.
class PropertyFile {
public:
    // Files are opened on service.
    explicit PropertyFile(AsyncIO service = AsyncIO());

    // Binds the file at path and merges its lines into the values, then
    // rewrites it compactly in key order. A missing file (or the empty path)
    // leaves the values as they are and creates nothing. Retries every 200 ms
    // while the file cannot be opened, read or written; throws
    // TimeoutException "The operation timed out" once timeout has passed
    // (never for the infinite duration), and InterruptException when the
    // thread is interrupted while it waits.
    void load(const FilePath& path, Duration timeout);

    // Stores the pair and appends its line to the file, trying three times
    // 200 ms apart. False when the line was not written: load has bound no path,
    // the file refused three times, or the pair is not writable (below). The
    // value is kept in memory either way.
    bool set(const String& key, const String& value);

    // The null span for an absent key, as PropertyMap::get.
    TextSpan get(TextSpan key) const { return values_.get(key); }
    const PropertyMap& values() const { return values_; }
    // Empty until load.
    const FilePath& path() const { return path_; }

    // A pair that can be written as the one line "key\tvalue": a key that is
    // neither empty, nor "[remove]", nor a comment and holds no delimiter of
    // " \t\r\n:=", and a value without carriage returns or line feeds. (A
    // value's leading delimiters are lost in the file, as the format has it.)
    static bool writable(TextSpan key, TextSpan value);

private:
    // One attempt: read the file into a copy of base, then rewrite it.
    void compact(const PropertyMap& base);

    AsyncIO service_;
    FilePath path_;
    PropertyMap values_;
};

} // namespace cpp
