#include "app/data_file.h"

#include "cpp/known_folder.h"

#include <array>
#include <cctype>
#include <cstring>
#include <ctime>

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

std::int32_t field(TextSpan text) {
    return static_cast<std::int32_t>(String(text).toInteger());
}

} // namespace

cpp::FilePath dataDirectory() {
    return cpp::FilePath(cpp::knownFolder(cpp::KnownFolder::LocalAppData), "tarnlet");
}

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

std::optional<DataRow> parseDataRow(const String& line) {
    const auto fields = line.match("(.*?)\t(.*?)\t(.*?)\t(.*?)\t(.*?)\t(.*?)(?:\t(.*))?");
    if (fields.empty())
        return std::nullopt;
    const String date(fields[1]);
    const auto parts = date.match("(\\d{4})-(\\d{2})-(\\d{2}) (\\d{2}):(\\d{2}):(\\d{2})");
    if (parts.empty())
        return std::nullopt;
    std::tm local{};
    local.tm_year = field(parts[1]) - 1900;
    local.tm_mon = field(parts[2]) - 1;
    local.tm_mday = field(parts[3]);
    local.tm_hour = field(parts[4]);
    local.tm_min = field(parts[5]);
    local.tm_sec = field(parts[6]);
    // The row's own date decides whether summer time applied, not today's.
    local.tm_isdst = -1;
    DataRow row{DateTime(cpp::Date(local)), PingStats()};
    row.stats.count = field(fields[2]);
    row.stats.average = field(fields[3]);
    row.stats.minimum = field(fields[4]);
    row.stats.maximum = field(fields[5]);
    row.stats.drops = field(fields[6]);
    if (fields.size() > 7 && !fields[7].empty())
        row.stats.disconnects = field(fields[7]);
    return row;
}

const char* const exportHeader = "date               \tcnt  avg  min  max  drop dis \n";
const char* const exportRule = "-------------------\t---- ---- ---- ---- ---- ----\n";

String formatExportRow(const DateTime& start, const PingStats& stats) {
    const auto column = [](std::int32_t value) { return String::fromInteger(value, 4); };
    return String("%\t% % % % % %\n", dateText(start), column(stats.count), column(stats.average),
                  column(stats.minimum), column(stats.maximum), column(stats.drops), column(stats.disconnects));
}
