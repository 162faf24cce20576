#pragma once

#include "app/ping_stats.h"
#include "cpp/file_path.h"
#include "cpp/string.h"
#include "cpp/text_span.h"
#include "cpp/time.h"

#include <array>
#include <cstddef>
#include <ctime>
#include <functional>
#include <optional>

// The text formats of a host's minutes: the rows of its data file, read back
// at the next start, and the readable table of an export.

// Where the data files lie, asked anew on every use.
using DataDirectory = std::function<cpp::FilePath()>;

// The data file's name for a host: the host name and ".txt". A name that the
// file system would refuse, or that would reach outside the folder (a
// separator, one of : * ? " < > |, a control character, "." or "..", a
// trailing dot or blank, a device name such as CON or COM1), has the bytes at
// fault written as %XX, and so has every '%', so that two hosts never share a
// file. A plain host name keeps its name, so existing files still load.
cpp::String dataFileName(const cpp::String& host);
// The host a data file's name stands for; the inverse of dataFileName.
cpp::String hostOfDataFile(cpp::TextSpan fileName);

struct DataRow {
    cpp::DateTime start;
    PingStats stats;
};

// Reads the rows of a data file one line at a time. A row is seven fields
// separated by tabs: the start as local "YYYY-MM-DD HH:MM:SS" and six numbers.
// Lenient as files of older versions need: six fields give disconnects 0, a
// field that is no number reads 0 (leading blanks and a sign are taken, as
// strtoll does), a seventh field takes the rest of the line, and a line with
// a carriage return or line feed inside, fewer than six fields or a start not
// in that form is no row. Throws cpp::Exception for a number outside 64 bits.
// Local times are worked out once per day, or per row on a day whose length
// the clock changes.
class DataRowReader {
public:
    std::optional<DataRow> read(cpp::TextSpan line);

    // The digits a plain field may have: no more can leave 64 bits.
    static constexpr std::size_t plainDigits = 18;
    // A row as formatDataRow writes it, six fields of one to plainDigits
    // digits: read several times faster, and nothing for any other line.
    std::optional<DataRow> readPlain(cpp::TextSpan line);
    // Any form read takes.
    std::optional<DataRow> readAnyForm(cpp::TextSpan line);
    // The start of a line that begins as a row does, its date and a tab,
    // whether the rest makes it a row or not: every row has one.
    std::optional<cpp::DateTime> readStart(cpp::TextSpan line);

private:
    // The local time of the fields as mktime gives it, 1970 for earlier ones.
    cpp::DateTime localTime(const std::tm& fields);
    // localTime of a date text.
    cpp::DateTime plainTime(const char* date);

    // The day of the last row and its local midnight, if the day's length is
    // a plain 24 hours.
    int year_ = -1, month_ = -1, day_ = -1;
    std::optional<std::time_t> midnight_;
    // "YYYY-MM-DD" of that day, when plainTime worked it out; zeros else.
    std::array<char, 10> dayText_{};
};

// "start\tcount\taverage\tminimum\tmaximum\tdrops\tdisconnects\n", the start as
// local "%F %X".
cpp::String formatDataRow(const cpp::DateTime& start, const PingStats& stats);
// One line read by a DataRowReader of its own.
std::optional<DataRow> parseDataRow(const cpp::String& line);

// The export's two heading lines.
extern const char* const exportHeader;
extern const char* const exportRule;
// The start, a tab and the six numbers right-aligned in four columns or more.
cpp::String formatExportRow(const cpp::DateTime& start, const PingStats& stats);
