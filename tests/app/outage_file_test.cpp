#include "app/outage_file.h"
#include "cpp/temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using cpp::DateTime;
using cpp::Duration;
using Scope = Incident::Scope;
using Ending = Incident::Ending;

namespace {

// 2026-03-29 01:00:00 UTC, when central Europe moves from +01:00 to +02:00.
constexpr std::uint64_t summerStarts = 1774746000;

DateTime utc(std::int64_t secondsFromChange) {
    return DateTime(Duration::seconds(static_cast<std::uint64_t>(static_cast<std::int64_t>(summerStarts) +
                                                                 secondsFromChange)));
}

// The UTC fields of a time moved by an offset: a zone of fixed rules that
// does not depend on the machine's.
std::tm shifted(const DateTime& time, std::int64_t offsetSeconds) {
    const auto seconds = static_cast<std::time_t>(static_cast<std::int64_t>(time.sinceEpoch().count() / 1000000) +
                                                  offsetSeconds);
    std::tm fields{};
    const std::int64_t days = seconds / 86400, rest = seconds % 86400;
    // Civil date from days since 1970 (the inverse of the writer's sum).
    const std::int64_t z = days + 719468, era = z / 146097, doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1, month = mp < 10 ? mp + 3 : mp - 9;
    fields.tm_year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0) - 1900);
    fields.tm_mon = static_cast<int>(month - 1);
    fields.tm_mday = static_cast<int>(day);
    fields.tm_hour = static_cast<int>(rest / 3600);
    fields.tm_min = static_cast<int>(rest / 60 % 60);
    fields.tm_sec = static_cast<int>(rest % 60);
    return fields;
}

std::tm centralEurope(const DateTime& time) {
    return shifted(time, time < utc(0) ? 3600 : 7200);
}

std::tm newfoundland(const DateTime& time) {
    return shifted(time, -(3 * 3600 + 1800));
}

TEST(OutageCsv, QuotesOnlyFieldsWithACommaAQuoteOrALineBreak) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"127.0.0.1;::1", "127.0.0.1;::1"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
    };
    for (const auto& [text, field] : cases)
        EXPECT_EQ(csvField(text), field) << text;
}

TEST(OutageCsv, LinesCarryTheOffsetOnEachSideOfADaylightSavingChange) {
    const std::vector<std::tuple<Incident, std::string>> cases{
        {Incident{utc(-60), Duration::seconds(120), Scope::local, {"a", "b"}, Ending::reply},
         "2026-03-29T01:59:00+01:00,2026-03-29T03:01:00+02:00,120,local,a;b,reply\r\n"},
        {Incident{utc(-7200), Duration(5500000), Scope::remote, {"x,y"}, Ending::suspend},
         "2026-03-29T00:00:00+01:00,2026-03-29T00:00:05+01:00,5,remote,\"x,y\",suspend\r\n"},
        {Incident{utc(3600), Duration::seconds(59), Scope::wake, {}, Ending::exit},
         "2026-03-29T04:00:00+02:00,2026-03-29T04:00:59+02:00,59,wake,,exit\r\n"},
    };
    for (const auto& [incident, line] : cases) {
        EXPECT_EQ(outageLine(incident, centralEurope), line);
        // Read back in any zone, the same moments.
        Incident whole = incident;
        whole.length = Duration::seconds(whole.length.count() / 1000000);
        EXPECT_EQ(parseOutageText(line).incidents, std::vector<Incident>{whole}) << line;
    }
    EXPECT_EQ(isoLocalTime(utc(0), newfoundland), "2026-03-28T21:30:00-03:30");
    EXPECT_EQ(parseIsoSeconds("2026-03-28T21:30:00-03:30"), summerStarts);
    EXPECT_EQ(parseIsoSeconds("2026-03-29T01:00:00Z"), summerStarts);
    EXPECT_FALSE(parseIsoSeconds("2026-03-29T01:00:00"));
    EXPECT_FALSE(parseIsoSeconds("2026-03-29 01:00:00+01:00"));
    // The machine's own zone, whichever it is, reads back.
    const std::uint64_t now = DateTime().sinceEpoch().count() / 1000000;
    EXPECT_EQ(parseIsoSeconds(isoLocalTime(DateTime(Duration::seconds(now)))), now);
}

TEST(OutageCsv, ReadsOnlyWholeLinesThatAreIncidents) {
    const std::string good = "2026-03-29T01:59:00+01:00,2026-03-29T03:01:00+02:00,120,local,a;b,reply\r\n";
    const Incident incident{utc(-60), Duration::seconds(120), Scope::local, {"a", "b"}, Ending::reply};
    // Every byte is in whole lines.
    constexpr std::size_t all = std::string::npos;
    const std::vector<std::tuple<const char*, std::string, std::size_t, std::size_t>> cases{
        // What, the text, incidents read, whole bytes.
        {"heading and a line", outageHeader + good, 1, std::string(outageHeader).size() + good.size()},
        {"LF line ends", "start,end\n" + good.substr(0, good.size() - 2) + "\n", 1, 10 + good.size() - 1},
        {"a cut last line", good + good.substr(0, 30), 1, good.size()},
        {"cut after a quoted line break", good + "2026-03-29T01:59:00+01:00,x,1,local,\"a\nb", 1, good.size() + 39},
        {"a cut heading", "start,end,sec", 0, 0},
        {"foreign lines are skipped, not cut", std::string("garbage\0\xff,,,\r\n", 14) + good + "1,2,3,4,5,6,7\r\n",
         1, all},
        {"a wrong scope, ending, number or time",
         "2026-03-29T01:59:00+01:00,2026-03-29T03:01:00+02:00,120,Local,a,reply\r\n"
         "2026-03-29T01:59:00+01:00,2026-03-29T03:01:00+02:00,120,local,a,\r\n"
         "2026-03-29T01:59:00+01:00,2026-03-29T03:01:00+02:00,-1,local,a,reply\r\n"
         "2026-13-29T01:59:00+01:00,2026-03-29T03:01:00+02:00,1,local,a,reply\r\n",
         0, all},
        {"many fields", std::string(100000, ',') + "\r\n" + good, 1, 100002 + good.size()},
        {"a quote left open near the end", good + "\"" + std::string(5000, 'x') + "\n" + good, 2, all},
        {"a quote left open is one broken line", "\"" + std::string(5000, 'x') + "\n" + std::string(16, '\n') + good,
         1, all},
    };
    for (const auto& [what, text, count, whole] : cases) {
        const OutageText read = parseOutageText(cpp::TextSpan(text.data(), text.data() + text.size()));
        EXPECT_EQ(read.incidents.size(), count) << what;
        for (const Incident& found : read.incidents)
            EXPECT_EQ(found, incident) << what;
        EXPECT_EQ(read.wholeLength, whole == all ? text.size() : whole) << what;
    }
}

TEST(OutageCsv, AQuoteLeftOpenLosesOnlyItsOwnLine) {
    const Incident quoted{utc(0), Duration::seconds(3), Scope::remote, {"x,y", "z"}, Ending::reply};
    const std::string line = outageLine(quoted, centralEurope);
    // The last: a line appended after a quote left open two lines before
    // (found by the fuzzer) is read as written.
    const std::vector<std::pair<std::string, std::size_t>> cases{
        {line + "2026,\"open\r\n" + line + line, 3},
        {"\"" + line + line + line, 2},
        {"2026,\"open \r\n202\"\"\"\"03\r\n" + line, 1},
    };
    for (const auto& [text, count] : cases) {
        const OutageText read = parseOutageText(cpp::TextSpan(text.data(), text.data() + text.size()));
        EXPECT_EQ(read.incidents.size(), count) << text;
        for (const Incident& found : read.incidents)
            EXPECT_EQ(found, quoted);
        EXPECT_EQ(read.wholeLength, text.size());
    }
}

class OutageFileTest : public cpp::TempFolderTest {
protected:
    static std::vector<Incident> incidents(int count) {
        std::vector<Incident> made;
        for (int i = 0; i < count; ++i)
            made.push_back(Incident{utc(i * 100), Duration::seconds(10 + static_cast<std::uint64_t>(i)),
                                    i % 2 ? Scope::local : Scope::remote, {"h,1", "h2"}, Ending::reply});
        return made;
    }
};

TEST_F(OutageFileTest, ANewFileGetsTheHeadingAndKeepsItsLinesAcrossRuns) {
    const cpp::FilePath path = at("sub/outages.csv");
    {
        OutageFile file(path, centralEurope);
        EXPECT_TRUE(file.load().empty());
        file.append(incidents(2));
        OutageLedger ledger;
        file.appendFinished(ledger);
    }
    OutageFile again(path, centralEurope);
    EXPECT_EQ(again.load(), incidents(2));
    again.append({incidents(3).back()});
    EXPECT_EQ(readFile(path), OutageFile::text(incidents(3), centralEurope));
}

TEST_F(OutageFileTest, ALineCutByACrashIsCutOffAtTheNextStart) {
    const std::string whole = OutageFile::text(incidents(2), centralEurope);
    // What stays of each tail: a line with a quote left open is whole, if
    // no incident.
    const std::string broken = "2026-03-29T01:59:00+01:00,x,1,local,\"a\r\n";
    const std::vector<std::pair<std::string, std::string>> tails{
        {"2026-03-29T0", ""}, {"\r", ""}, {broken + "b", broken}};
    for (const auto& [tail, kept] : tails) {
        const cpp::FilePath path = at("outages.csv");
        writeFile(path, whole + tail);
        OutageFile file(path, centralEurope);
        EXPECT_EQ(file.load(), incidents(2)) << tail;
        EXPECT_EQ(readFile(path), whole + kept) << tail;
        file.append({incidents(3).back()});
        EXPECT_EQ(readFile(path), whole + kept + outageLine(incidents(3).back(), centralEurope)) << tail;
        EXPECT_EQ(OutageFile(path).load(), incidents(3)) << tail;
    }
    // A cut heading is written anew.
    writeFile(at("outages.csv"), "start,en");
    OutageFile file(at("outages.csv"), centralEurope);
    EXPECT_TRUE(file.load().empty());
    file.append(incidents(1));
    EXPECT_EQ(readFile(at("outages.csv")), OutageFile::text(incidents(1), centralEurope));
}

TEST_F(OutageFileTest, AFileThatCannotBeWrittenLosesOnlyItsLines) {
    // A file where the folder should be.
    writeFile(at("blocked"), "x");
    OutageFile blocked(at("blocked/outages.csv"));
    EXPECT_TRUE(blocked.load().empty());
    blocked.append(incidents(2));
    ASSERT_EQ(cpp::File::remove(at("blocked")), cpp::File::Status::Success);
    // Once the folder can be made, the next lines go in.
    blocked.append({incidents(3).back()});
    EXPECT_EQ(readFile(at("blocked/outages.csv")), OutageFile::text({incidents(3).back()}));
}

} // namespace
