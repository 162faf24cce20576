#include "app/outage_file.h"

#include "cpp/exception.h"
#include "cpp/file.h"
#include "cpp/file_info.h"

#include <cstdio>
#include <exception>
#include <string>

using cpp::DateTime;
using cpp::String;
using cpp::TextSpan;

const char* const outageHeader = "start,end,seconds,scope,hosts,ended\r\n";

namespace {

// A record with more fields, or a field longer than this, is none of ours:
// it is skipped without keeping all of it in memory.
constexpr std::size_t fieldLimit = 8;
constexpr std::size_t fieldLengthLimit = 1 << 20;

// Days from 1970-01-01 to a proleptic Gregorian date (month 1 to 12).
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t secondsOf(std::int64_t year, unsigned month, unsigned day, int hour, int minute, int second) {
    return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::int64_t wholeSeconds(const cpp::Duration& duration) {
    return static_cast<std::int64_t>(duration.count() / 1000000u);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int digits(const char* p, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 10 + (p[i] - '0');
    return value;
}

// Text against a form of 'd' for a digit and other characters as they are.
bool hasForm(std::string_view text, std::string_view form) {
    if (text.size() != form.size())
        return false;
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (form[i] == 'd' ? !isDigit(text[i]) : text[i] != form[i])
            return false;
    }
    return true;
}

std::optional<std::uint64_t> wholeNumber(std::string_view text) {
    // Nine digits are some thirty years.
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::vector<String> splitHosts(const String& text) {
    std::vector<String> hosts;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find(';', from);
        if (end == String::npos)
            end = text.size();
        if (end > from)
            hosts.push_back(text.substr(from, end - from));
        from = end + 1;
    }
    return hosts;
}

std::optional<Incident> incidentOf(const std::vector<String>& fields) {
    if (fields.size() != 6)
        return std::nullopt;
    const auto start = parseIsoSeconds(fields[0].span());
    const auto end = parseIsoSeconds(fields[1].span());
    const auto seconds = wholeNumber(fields[2]);
    const auto scope = scopeByName(fields[3].span());
    const auto ended = endingByName(fields[5].span());
    // The end says nothing the start and the seconds do not, but a line
    // whose three disagree is none of ours.
    if (!start || !end || !seconds || !scope || !ended || *end != *start + *seconds)
        return std::nullopt;
    return Incident{DateTime(cpp::Duration::seconds(*start)), cpp::Duration::seconds(*seconds), *scope,
                    splitHosts(fields[4]), *ended};
}

// Reads RFC 4180 records one line at a time; a quote that opens no field is
// taken as it is. Host names hold no line break, so no line of ours has one
// inside quotes: a line that ends with a quote open (a foreign edit, a
// stray quote) is no incident, and does not swallow the lines after it.
class RecordScanner {
public:
    explicit RecordScanner(TextSpan text) : text_(text.view()) {}

    OutageText scan() {
        OutageText result;
        for (std::size_t i = 0; i < text_.size(); ++i) {
            const char c = text_[i];
            if (c == '\n') {
                if (!inQuotes_ && !field_.empty() && field_.back() == '\r')
                    field_.pop_back();
                endField();
                if (!inQuotes_ && !tooLong_)
                    if (auto incident = incidentOf(fields_))
                        result.incidents.push_back(std::move(*incident));
                fields_.clear();
                inQuotes_ = tooLong_ = false;
                result.wholeLength = i + 1;
            } else if (inQuotes_) {
                if (c != '"')
                    add(c);
                else if (i + 1 < text_.size() && text_[i + 1] == '"')
                    add(text_[++i]);
                else
                    inQuotes_ = false;
            } else if (c == '"' && field_.empty() && !quoted_) {
                inQuotes_ = quoted_ = true;
            } else if (c == ',') {
                endField();
            } else {
                add(c);
            }
        }
        return result;
    }

private:
    void add(char c) {
        if (field_.size() < fieldLengthLimit)
            field_ += c;
        else
            tooLong_ = true;
    }

    void endField() {
        if (fields_.size() < fieldLimit)
            fields_.push_back(std::move(field_));
        else
            tooLong_ = true;
        field_.clear();
        quoted_ = false;
    }

    const std::string_view text_;
    std::vector<String> fields_;
    String field_;
    bool inQuotes_ = false;
    // The field began with a quote.
    bool quoted_ = false;
    bool tooLong_ = false;
};

String readAll(const cpp::FilePath& path, const cpp::AsyncIO& service) {
    const cpp::FileInfo info(path);
    if (!info.valid() || info.isDirectory() || info.size() == 0)
        return String();
    std::string text(static_cast<std::size_t>(info.size()), '\0');
    const TextSpan read = cpp::File::openForReading(path, 0, service).get(text);
    text.resize(read.size());
    return String(std::move(text));
}

} // namespace

std::tm systemLocalFields(const DateTime& time) {
    return cpp::Date(time).fields();
}

String isoLocalTime(const DateTime& time, const LocalFields& local) {
    const std::tm fields = local(time);
    const std::int64_t seconds = wholeSeconds(time.sinceEpoch());
    const std::int64_t asUtc = secondsOf(fields.tm_year + 1900, static_cast<unsigned>(fields.tm_mon + 1),
                                         static_cast<unsigned>(fields.tm_mday), fields.tm_hour, fields.tm_min,
                                         fields.tm_sec);
    const std::int64_t offset = (asUtc - seconds) / 60;
    const std::int64_t magnitude = offset < 0 ? -offset : offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  offset < 0 ? '-' : '+', static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60));
    return String(text);
}

std::optional<std::uint64_t> parseIsoSeconds(TextSpan text) {
    const std::string_view view = text.view();
    if (view.size() < 20 || !hasForm(view.substr(0, 19), "dddd-dd-ddTdd:dd:dd"))
        return std::nullopt;
    const char* p = view.data();
    const int month = digits(p + 5, 2), day = digits(p + 8, 2);
    const int hour = digits(p + 11, 2), minute = digits(p + 14, 2), second = digits(p + 17, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::int64_t offset = 0;
    const std::string_view zone = view.substr(19);
    if (zone != "Z") {
        if (!hasForm(zone.substr(1), "dd:dd") || (zone[0] != '+' && zone[0] != '-'))
            return std::nullopt;
        offset = (digits(zone.data() + 1, 2) * 60 + digits(zone.data() + 4, 2)) * 60;
        if (zone[0] == '-')
            offset = -offset;
    }
    const std::int64_t seconds =
        secondsOf(digits(p, 4), static_cast<unsigned>(month), static_cast<unsigned>(day), hour, minute, second) -
        offset;
    if (seconds < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(seconds);
}

String csvField(TextSpan text) {
    const std::string_view view = text.view();
    if (view.find_first_of(",\"\r\n") == std::string_view::npos)
        return String(text);
    String quoted("\"");
    for (const char c : view) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

String outageLine(const Incident& incident, const LocalFields& local) {
    String hosts;
    for (const String& host : incident.hosts) {
        if (!hosts.empty())
            hosts += ';';
        hosts += host;
    }
    // Whole seconds on both ends, so that end - start is the seconds field.
    const auto startSeconds = static_cast<std::uint64_t>(wholeSeconds(incident.start.sinceEpoch()));
    const auto seconds = static_cast<std::uint64_t>(wholeSeconds(incident.length));
    const DateTime start(cpp::Duration::seconds(startSeconds));
    const DateTime end(cpp::Duration::seconds(startSeconds + seconds));
    return String("%,%,%,%,%,%\r\n", isoLocalTime(start, local), isoLocalTime(end, local), seconds,
                  scopeName(incident.scope), csvField(hosts.span()), endingName(incident.ended));
}

OutageText parseOutageText(TextSpan text) {
    return RecordScanner(text).scan();
}

OutageFile::OutageFile(cpp::FilePath path, LocalFields local) : path_(std::move(path)), local_(std::move(local)) {}

String OutageFile::text(const std::vector<Incident>& incidents, const LocalFields& local) {
    String text(outageHeader);
    for (const Incident& incident : incidents)
        text += outageLine(incident, local);
    return text;
}

void OutageFile::open() {
    const String text = readAll(path_, service_);
    openAt(text.size(), parseOutageText(text.span()).wholeLength);
}

void OutageFile::openAt(std::size_t size, std::size_t whole) {
    if (whole == size) {
        output_ = cpp::File::openForAppending(path_, service_);
    } else {
        output_ = cpp::File::openForWritingAt(path_, whole, service_);
        cpp::File::truncate(output_);
    }
    if (whole == 0)
        output_.put(outageHeader);
}

std::vector<Incident> OutageFile::load() {
    const std::lock_guard lock(mutex_);
    std::vector<Incident> incidents;
    try {
        const String text = readAll(path_, service_);
        OutageText read = parseOutageText(text.span());
        incidents = std::move(read.incidents);
        // Repaired now, while nothing else writes it; a missing file is made
        // only by the first line, and the file is not held meanwhile.
        if (read.wholeLength != text.size()) {
            openAt(text.size(), read.wholeLength);
            output_.flush();
            output_.close();
        }
    } catch (const std::exception&) {
        // Keep what could be read; the next line tries again.
    }
    output_ = cpp::Output();
    return incidents;
}

void OutageFile::append(const std::vector<Incident>& incidents) {
    const std::lock_guard lock(mutex_);
    write(incidents);
}

void OutageFile::appendFinished(OutageLedger& ledger) {
    const std::lock_guard lock(mutex_);
    write(ledger.takeFinished());
}

void OutageFile::write(const std::vector<Incident>& incidents) {
    if (incidents.empty())
        return;
    try {
        if (!output_.isOpen())
            open();
        String lines;
        for (const Incident& incident : incidents)
            lines += outageLine(incident, local_);
        output_.put(lines);
        // A failed write closes the output: the next lines open the file
        // afresh, cutting what this one left half written.
        output_.flush();
        if (!output_.isOpen())
            throw cpp::IOException(String("Unable to write to file: %", path_));
    } catch (const std::exception&) {
        output_ = cpp::Output();
    }
}
