#include "app/data_file.h"

#include "cpp/exception.h"

#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <ctime>
#include <mutex>

using cpp::DateTime;
using cpp::String;
using cpp::TextSpan;

namespace {

const char* const fileSuffix = ".txt";

bool mustEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|%", c) != nullptr;
}

void appendEscaped(String& out, unsigned char c) {
    static const char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[c >> 4];
    out += digits[c & 0x0F];
}

// Windows opens the device for these whatever extension follows.
bool isDeviceName(const String& name) {
    String base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const std::array<const char*, 4> plain{"CON", "PRN", "AUX", "NUL"};
    for (const char* device : plain) {
        if (base == device)
            return true;
    }
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' &&
           base[3] <= '9';
}

String dateText(const DateTime& start) {
    return cpp::Date(start).format("%F %X");
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The blanks that strtoll skips in the "C" locale.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A field's number as strtoll reads it: blanks, a sign, then the digits up
// to the first other character; 0 without digits. Kept in 32 bits as the
// statistics are, wrapping as a conversion does.
std::int32_t number(const char* p, const char* end) {
    while (p < end && isBlank(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    std::uint64_t magnitude = 0;
    for (; p < end && isDigit(*p); ++p) {
        const auto digit = static_cast<std::uint64_t>(*p - '0');
        if (magnitude > (limit - digit) / 10)
            throw cpp::Exception("range error while parsing integer");
        magnitude = magnitude * 10 + digit;
    }
    return static_cast<std::int32_t>(static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude));
}

int digits(const char* p, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 10 + (p[i] - '0');
    return value;
}

// The byte at p the lowest, as the bit tricks below take them.
static_assert(std::endian::native == std::endian::little);
std::uint64_t eightBytes(const char* p) {
    std::uint64_t bytes;
    std::memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// The top bit of each of eight bytes that holds no ASCII digit.
std::uint64_t nonDigits(std::uint64_t bytes) {
    const std::uint64_t values = bytes ^ 0x3030303030303030u;
    return (((values & 0x7F7F7F7F7F7F7F7Fu) + 0x7676767676767676u) | values) & 0x8080808080808080u;
}

// Eight bytes with the given separators where separatorMask has its bytes,
// and digits in all the others.
bool isDigitsBetween(std::uint64_t bytes, std::uint64_t separatorMask, std::uint64_t separators) {
    return (nonDigits(bytes) & ~separatorMask) == 0 && (bytes & separatorMask) == separators;
}

// "YYYY-MM-DD HH:MM:SS" with ASCII digits, exactly: "YYYY-MM-" and
// "DD HH:MM" eight bytes at a time, the first byte the lowest.
bool isDateText(const char* p, const char* end) {
    if (end - p != 19)
        return false;
    constexpr auto at = [](unsigned char c, int byte) { return std::uint64_t{c} << (8 * byte); };
    return isDigitsBetween(eightBytes(p), at(0xFF, 4) | at(0xFF, 7), at('-', 4) | at('-', 7)) &&
           isDigitsBetween(eightBytes(p + 8), at(0xFF, 2) | at(0xFF, 5), at(' ', 2) | at(':', 5)) &&
           p[16] == ':' && isDigit(p[17]) && isDigit(p[18]);
}

constexpr std::size_t dateLength = 19;

// A row's date and the tab after it.
bool hasRowStart(TextSpan line) {
    return line.size() > dateLength && line[dateLength] == '\t' && isDateText(line.begin(), line.begin() + dateLength);
}

// How many digits begin eight bytes, the first byte the lowest.
unsigned leadingDigits(std::uint64_t bytes) {
    return static_cast<unsigned>(std::countr_zero(nonDigits(bytes))) / 8;
}

// The number the first count digits of eight bytes (1 to 8 of them) make:
// pairs, then fours, then the eight, each a multiplication.
std::uint64_t digitsValue(std::uint64_t bytes, unsigned count) {
    std::uint64_t values = (bytes ^ 0x3030303030303030u) << (8 * (8 - count));
    values = (values * (1 + (10u << 8))) >> 8;
    values = ((values & 0x00FF00FF00FF00FFu) * (1 + (100u << 16))) >> 16;
    return ((values & 0x0000FFFF0000FFFFu) * (1 + (std::uint64_t{10000} << 32))) >> 32;
}

// The fields of a text that isDateText accepts.
std::tm dateFields(const char* date) {
    std::tm local{};
    local.tm_year = digits(date, 4) - 1900;
    local.tm_mon = digits(date + 5, 2) - 1;
    local.tm_mday = digits(date + 8, 2);
    local.tm_hour = digits(date + 11, 2);
    local.tm_min = digits(date + 14, 2);
    local.tm_sec = digits(date + 17, 2);
    return local;
}

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 1 && leap ? 29 : days[month];
}

std::time_t localSeconds(std::tm fields) {
    // The row's own date decides whether summer time applied, not today's.
    fields.tm_isdst = -1;
    // Loaders on two workers: glibc's mktime remakes its copy of the zone
    // name on every call, under a lock of its own that the thread sanitizer
    // cannot see. Taking ours as well costs little, a call or two a day.
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    return std::mktime(&fields);
}

DateTime timeFromSeconds(std::time_t seconds) {
    // As cpp::DateTime(cpp::Date) has it: before 1970, or no time, is 1970.
    return DateTime(cpp::Duration::seconds(seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0));
}

} // namespace

String dataFileName(const String& host) {
    String name;
    for (const char c : host) {
        if (mustEscape(static_cast<unsigned char>(c)))
            appendEscaped(name, static_cast<unsigned char>(c));
        else
            name += c;
    }
    // The system drops a trailing dot or blank, and "." and ".." are folders.
    if (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        const unsigned char last = static_cast<unsigned char>(name.back());
        name.pop_back();
        appendEscaped(name, last);
    }
    if (isDeviceName(name)) {
        const unsigned char first = static_cast<unsigned char>(name.front());
        name.erase(0, 1);
        String escaped;
        appendEscaped(escaped, first);
        name.insert(0, escaped);
    }
    return name + fileSuffix;
}

String hostOfDataFile(TextSpan fileName) {
    String name(fileName);
    if (name.ends_with(fileSuffix))
        name.resize(name.size() - std::strlen(fileSuffix));
    String host;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '%' && i + 2 < name.size() && std::isxdigit(static_cast<unsigned char>(name[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2]))) {
            host += static_cast<char>(std::stoi(name.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            host += name[i];
        }
    }
    return host;
}

String formatDataRow(const DateTime& start, const PingStats& stats) {
    return String("%\t%\t%\t%\t%\t%\t%\n", dateText(start), stats.count, stats.average, stats.minimum, stats.maximum,
                  stats.drops, stats.disconnects);
}

std::optional<DataRow> DataRowReader::read(TextSpan line) {
    // One object returned on every path, so that the row is made in the
    // caller's place rather than copied out: a copy that reads a row just
    // written field by field waits for the writes.
    std::optional<DataRow> row = readPlain(line);
    if (!row)
        row = readAnyForm(line);
    return row;
}

std::optional<DataRow> DataRowReader::readPlain(TextSpan line) {
    constexpr std::size_t longest = dateLength + 6 * (1 + plainDigits);
    if (line.size() < dateLength + 2 * 6 || line.size() > longest || !hasRowStart(line))
        return std::nullopt;
    // Copied with room after it, so that eight bytes can be read at any field.
    std::array<char, longest + 8> text;
    std::memcpy(text.data(), line.begin(), line.size());
    std::memset(text.data() + line.size(), 0, 8);
    const char* p = text.data() + dateLength;
    const char* const end = text.data() + line.size();
    // A tab and the field's digits; false for anything else.
    const auto field = [&p, end](std::int32_t& figure) {
        if (p == end || *p != '\t')
            return false;
        ++p;
        const std::uint64_t bytes = eightBytes(p);
        // The bytes after the line are no digits.
        const unsigned count = leadingDigits(bytes);
        if (count == 0)
            return false;
        std::uint64_t value = 0;
        if (count < 8) {
            value = digitsValue(bytes, count);
            p += count;
        } else {
            const char* const digitsBegin = p;
            for (; p < end && isDigit(*p); ++p)
                value = value * 10 + static_cast<std::uint64_t>(*p - '0');
            if (p - digitsBegin > static_cast<std::ptrdiff_t>(plainDigits))
                return false;
        }
        figure = static_cast<std::int32_t>(static_cast<std::int64_t>(value));
        return true;
    };
    std::int32_t count = 0, average = 0, minimum = 0, maximum = 0, drops = 0, disconnects = 0;
    if (!field(count) || !field(average) || !field(minimum) || !field(maximum) || !field(drops) ||
        !field(disconnects) || p != end)
        return std::nullopt;
    return DataRow{plainTime(line.begin()), PingStats{.count = count, .average = average, .maximum = maximum,
                                                      .minimum = minimum, .drops = drops, .disconnects = disconnects}};
}

std::optional<DateTime> DataRowReader::readStart(TextSpan line) {
    if (!hasRowStart(line))
        return std::nullopt;
    return plainTime(line.begin());
}

DateTime DataRowReader::plainTime(const char* date) {
    // Rows come a day at a time: the rest of the day's rows need only their
    // time of day.
    if (midnight_ && std::memcmp(date, dayText_.data(), dayText_.size()) == 0) {
        const int hour = digits(date + 11, 2);
        const int minute = digits(date + 14, 2);
        const int second = digits(date + 17, 2);
        if (hour < 24 && minute < 60 && second < 60)
            return timeFromSeconds(*midnight_ + hour * 3600 + minute * 60 + second);
    }
    const std::tm fields = dateFields(date);
    const DateTime time = localTime(fields);
    if (fields.tm_year + 1900 == year_ && fields.tm_mon == month_ && fields.tm_mday == day_)
        std::memcpy(dayText_.data(), date, dayText_.size());
    return time;
}

std::optional<DataRow> DataRowReader::readAnyForm(TextSpan line) {
    // The seven fields end at the first six tabs; a line break inside a line
    // makes it no row.
    const char* const begin = line.begin();
    const char* const end = line.end();
    const char* tabs[6];
    int found = 0;
    for (const char* p = begin; p < end; ++p) {
        if (*p == '\t' && found < 6)
            tabs[found++] = p;
        else if (*p == '\r' || *p == '\n')
            return std::nullopt;
    }
    if (found < 5 || !isDateText(begin, tabs[0]))
        return std::nullopt;
    DataRow row{localTime(dateFields(begin)), PingStats()};
    const char* const sixthEnd = found == 6 ? tabs[5] : end;
    row.stats.count = number(tabs[0] + 1, tabs[1]);
    row.stats.average = number(tabs[1] + 1, tabs[2]);
    row.stats.minimum = number(tabs[2] + 1, tabs[3]);
    row.stats.maximum = number(tabs[3] + 1, tabs[4]);
    row.stats.drops = number(tabs[4] + 1, sixthEnd);
    if (found == 6)
        row.stats.disconnects = number(tabs[5] + 1, end);
    return row;
}

DateTime DataRowReader::localTime(const std::tm& fields) {
    const int year = fields.tm_year + 1900;
    const bool plain = fields.tm_mon >= 0 && fields.tm_mon < 12 && fields.tm_mday >= 1 &&
                       fields.tm_mday <= daysInMonth(year, fields.tm_mon) && fields.tm_hour < 24 &&
                       fields.tm_min < 60 && fields.tm_sec < 60;
    if (!plain)
        return timeFromSeconds(localSeconds(fields));
    if (year != year_ || fields.tm_mon != month_ || fields.tm_mday != day_) {
        dayText_.fill(0);
        year_ = year;
        month_ = fields.tm_mon;
        day_ = fields.tm_mday;
        std::tm day = fields;
        day.tm_hour = day.tm_min = day.tm_sec = 0;
        const std::time_t start = localSeconds(day);
        ++day.tm_mday;
        const std::time_t next = localSeconds(day);
        // Only on a day of 24 hours is the offset from UTC the same all day.
        midnight_.reset();
        if (start > 0 && next - start == 86400)
            midnight_ = start;
    }
    if (!midnight_)
        return timeFromSeconds(localSeconds(fields));
    return timeFromSeconds(*midnight_ + fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec);
}

std::optional<DataRow> parseDataRow(const String& line) {
    return DataRowReader().read(line.span());
}

const char* const exportHeader = "date               \tcnt  avg  min  max  drop dis \n";
const char* const exportRule = "-------------------\t---- ---- ---- ---- ---- ----\n";

String formatExportRow(const DateTime& start, const PingStats& stats) {
    const auto column = [](std::int32_t value) { return String::fromInteger(value, 4); };
    return String("%\t% % % % % %\n", dateText(start), column(stats.count), column(stats.average),
                  column(stats.minimum), column(stats.maximum), column(stats.drops), column(stats.disconnects));
}
