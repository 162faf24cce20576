// The outages.csv reader on arbitrary text, as a corrupted or foreign file
// gives it. The whole lines it reports end with a line break and fit in the
// text; every incident it reads is written back as a line that reads the
// same, alone and after the rest of the text's whole lines.
#include "app/outage_file.h"
#include "cpp/string.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// UTC, so that the fuzzer does not depend on the machine's zone.
std::tm utcFields(const cpp::DateTime& time) {
    const auto seconds = static_cast<std::time_t>(time.sinceEpoch().count() / 1000000);
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const OutageText read = parseOutageText(text);
    if (read.wholeLength > size || (read.wholeLength > 0 && text[read.wholeLength - 1] != '\n'))
        std::abort();
    for (const Incident& incident : read.incidents) {
        const cpp::String line = outageLine(incident, utcFields);
        const OutageText again = parseOutageText(line.span());
        if (again.incidents.size() != 1 || !(again.incidents[0] == incident) || again.wholeLength != line.size())
            std::abort();
        // Appended after the repaired text, the line is read as the last incident.
        const std::string joined = text.substr(0, read.wholeLength) + line;
        const OutageText both = parseOutageText(joined);
        if (both.incidents.empty() || !(both.incidents.back() == incident) || both.wholeLength != joined.size())
            std::abort();
    }
    return 0;
}
