#pragma once

#include "app/outage_ledger.h"
#include "cpp/async_io.h"
#include "cpp/file_path.h"
#include "cpp/stream.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// The ledger file, outages.csv: UTF-8, RFC 4180, one line per finished
// incident under the heading line. Times are local ISO 8601 with the offset
// from UTC, so a line reads the same wherever and whenever it is read.

extern const char* const outageHeader;

// The local calendar fields of a time; tests give a zone of their own.
using LocalFields = std::function<std::tm(const cpp::DateTime&)>;
std::tm systemLocalFields(const cpp::DateTime& time);

// "2026-12-08T14:03:12+01:00".
cpp::String isoLocalTime(const cpp::DateTime& time, const LocalFields& local = systemLocalFields);
// The seconds since 1970 (UTC) an isoLocalTime text stands for, whatever
// zone wrote it.
std::optional<std::uint64_t> parseIsoSeconds(cpp::TextSpan text);

// The field as it is, or quoted with its quotes doubled when it holds a
// comma, a quote or a line break.
cpp::String csvField(cpp::TextSpan text);
// One line with its CR LF: start, end, the whole seconds between them
// (start and length cut to whole seconds), scope, hosts joined by ';',
// ended.
cpp::String outageLine(const Incident& incident, const LocalFields& local = systemLocalFields);

// What a file's text holds: the incidents of its whole lines, oldest first,
// and how many bytes those whole lines take. A line that is not an incident
// (the heading, a line of another program, one with a quote left open) is
// kept in the file but read as nothing; only text after the last line end
// (a line cut short) is cut. A quoted line break is written but not read
// back: host names hold none, and a line of ours never does.
struct OutageText {
    std::vector<Incident> incidents;
    std::size_t wholeLength = 0;
};
OutageText parseOutageText(cpp::TextSpan text);

// Reads and appends the file. A line cut by a crash or a full disk is cut
// off before anything is appended; a file that cannot be read or written
// (missing folder, full disk, read-only, held by another program) costs only
// the lines of that moment. Nothing here throws. Thread-safe.
class OutageFile {
public:
    explicit OutageFile(cpp::FilePath path, LocalFields local = systemLocalFields);

    const cpp::FilePath& path() const { return path_; }

    // The incidents of the file, repairing a cut last line. Makes no file
    // and keeps none open: the first line does (an uninstall may be about
    // to delete the folder).
    std::vector<Incident> load();
    // The lines of the incidents, after the heading when the file is new.
    void append(const std::vector<Incident>& incidents);
    // append(ledger.takeFinished()), with the taking under this file's lock
    // so that writers on several threads keep the ledger's order.
    void appendFinished(OutageLedger& ledger);

    // The whole file's text for these incidents, heading first.
    static cpp::String text(const std::vector<Incident>& incidents, const LocalFields& local = systemLocalFields);

private:
    // Under mutex_; opens the file at the end of its last whole line.
    void open();
    // Cuts a file of size bytes back to its first whole bytes.
    void openAt(std::size_t size, std::size_t whole);
    void write(const std::vector<Incident>& incidents);

    const cpp::FilePath path_;
    const LocalFields local_;
    const cpp::AsyncIO service_;
    std::mutex mutex_;
    cpp::Output output_;
};
