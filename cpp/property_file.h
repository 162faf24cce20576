#pragma once

#include "cpp/async_io.h"
#include "cpp/file_path.h"
#include "cpp/property_map.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <functional>

namespace cpp {

// The points that a compaction of a PropertyFile passes, in this order where
// the system can replace a file that is open (POSIX, Windows 10 on NTFS);
// elsewhere the lock is released before the replacement.
enum class CompactionStep {
    Locked,    // the file is held open against other writers
    Read,      // its lines are merged into the values
    Written,   // the compact lines are queued for the new file beside it
    Synced,    // the new file is complete on the disk
    Replaced,  // the new file has taken the old one's name
    Released,  // the lock is given up
};

// A PropertyMap bound to a file that is a log of "key\tvalue\n" lines: every
// set appends a line, and load replays the log and replaces it with a new
// file of one line per key, so that a crash leaves the old log or the new
// file, never a mix. Other processes are kept out by sharing modes alone, so
// both sides retry while the other writes. One thread at a time.
class PropertyFile {
public:
    // Told of each step of a compaction as it is reached; tests stop the
    // process there.
    using CompactionHook = std::function<void(CompactionStep)>;

    // Files are opened on service.
    explicit PropertyFile(AsyncIO service = AsyncIO(), CompactionHook onStep = {});

    // Binds the file at path and merges its lines into the values, then
    // replaces it with its compact form in key order, written beside it as
    // "<name>.new". A missing file (or the empty path) leaves the values as
    // they are and creates nothing. Retries every 200 ms while another
    // process holds the file or it cannot be read; throws TimeoutException
    // "The operation timed out" once timeout has passed (never for the
    // infinite duration), and InterruptException when the thread is
    // interrupted while it waits. A file that may be read but not written
    // (read-only, write-protected) is only read. A compact form that cannot
    // be written or put in place (a full disk, a reader holding the file)
    // leaves the file as it was, which replays to the same values, for the
    // next load to compact.
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
    // One attempt: read the file into a copy of base, then replace it.
    void compact(const PropertyMap& base);
    // The values' lines in a new file beside the file, on the disk, put in
    // its place; lock is released first where the system needs that.
    void replaceWithValues(const Output& lock);
    void reached(CompactionStep step) const;

    AsyncIO service_;
    CompactionHook onStep_;
    FilePath path_;
    PropertyMap values_;
};

} // namespace cpp
