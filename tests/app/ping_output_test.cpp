#include "app/ping_output.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using Result = std::optional<std::int32_t>;

// A line as the first of a run, where it has nothing before it.
Result alone(const std::string& line) {
    return PingOutput().classify(line);
}

// Each line's result in one run.
std::vector<Result> run(const std::vector<std::string>& lines) {
    PingOutput output;
    std::vector<Result> results;
    for (const std::string& line : lines) {
        results.push_back(output.classify(line));
    }
    return results;
}

const Result none = std::nullopt;
const std::string banner = "Pinging 10.0.0.1 with 32 bytes of data:";

TEST(PingOutput, EnglishLinesGiveWhatTheyAlwaysGaveWhereverTheyStand) {
    const std::pair<std::string, Result> cases[] = {
        {"Reply from 10.1.2.3: bytes=32 time=14ms TTL=57", 14},
        {"Reply from 127.0.0.1: bytes=32 time<1ms TTL=128", 1},
        {"Request timed out.", -1},
        {"PING: transmit failed. General failure. ", -1},
        // The first pattern wins.
        {"time=5ms but failed", 5},
        {"    Reply from 10.0.0.1: time=3ms", 3},
        {"Reply from 10.0.0.1: time=8ms:", 8},
        // The leftmost place that matches counts.
        {"timetime<3ms time=4ms", 3},
        {"time=ms time=x time=9m time=6ms", 6},
    };
    const std::vector<std::string> before[] = {
        {},
        {banner},
        {banner, "Request timed out.", "Ping statistics for 10.0.0.1:"},
        {banner, "Ping statistics for 10.0.0.1:", "    Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),"},
    };
    for (const std::vector<std::string>& opening : before) {
        for (const auto& [line, expected] : cases) {
            std::vector<std::string> lines = opening;
            lines.push_back(line);
            EXPECT_EQ(run(lines).back(), expected) << line << " after " << opening.size() << " lines";
        }
    }
}

TEST(PingOutput, LinesBeforeTheBannerAreNoAttempts) {
    EXPECT_EQ(alone("Reply from 10.0.0.1: Destination host unreachable."), none);
    EXPECT_EQ(alone(banner), none);
    EXPECT_EQ(alone(""), none);
    EXPECT_EQ(alone("    Minimum = 1ms, Maximum = 3ms, Average = 2ms"), none);
    // Case matters for the English patterns, and so does the form of the time.
    EXPECT_EQ(alone("Request Timed Out"), none);
    EXPECT_EQ(alone("time = 4ms"), none);
    EXPECT_EQ(alone("Ping request could not find host nope.invalid. Please check the name and try again."), none);
}

TEST(PingOutput, TimesTooLargeForASampleThrow) {
    EXPECT_THROW(alone("time=99999999999999999999ms"), cpp::Exception);
    EXPECT_THROW(alone("time=3000000000ms"), cpp::Exception);
    EXPECT_THROW(alone("Antwort von 10.0.0.1: Zeit=3000000000ms"), cpp::Exception);
    EXPECT_EQ(alone("Antwort von 10.0.0.1: Zeit=2147483647ms"), 2147483647);
}

TEST(PingOutput, AHugeLineIsClassifiedWithoutExhaustingTheStack) {
    // A regular expression engine that recursed per digit overflowed the
    // stack on the first of these.
    const std::string digits(1000000, '0');
    EXPECT_EQ(alone("time=" + digits + "7ms"), 7);
    EXPECT_THROW(alone("time=1" + digits + "ms"), cpp::Exception);
    EXPECT_EQ(alone(digits + " timed out"), -1);
    EXPECT_EQ(alone("time=" + digits), none);
    EXPECT_EQ(run({banner, "Zeit=" + digits + "9 ms"}).back(), 9);
    EXPECT_EQ(run({banner, std::string(1000000, '=')}).back(), -1);
}

TEST(PingOutput, EveryAttemptWithoutATimeIsAFailedPing) {
    EXPECT_EQ(run({banner, "Reply from 10.0.0.1: bytes=32 time=5ms TTL=64", "Reply from 10.0.0.1: Destination host unreachable.",
                   "General failure.", "Reply from 10.0.0.1: TTL expired in transit.", "",
                   "Reply from 10.0.0.1: Destination net unreachable.", "Hardware error.", "\xEF\xBF\xBD\xEF\xBF\xBD.",
                   "Reply from 10.0.0.1: bytes=32 time=6ms TTL=64"}),
              (std::vector<Result>{none, 5, -1, -1, -1, none, -1, -1, -1, 6}));
    // A time gives a sample before any banner, and opens the attempts.
    EXPECT_EQ(run({"Antwort von 10.0.0.1: Bytes=32 Zeit=7ms TTL=55", "Allgemeiner Fehler."}),
              (std::vector<Result>{7, -1}));
}

TEST(PingOutput, TheStatisticsBlockGivesNothingAndAttemptsGoOnAfterIt) {
    EXPECT_EQ(run({banner, "Request timed out.", "", "Ping statistics for 10.0.0.1:",
                   "    Packets: Sent = 1, Received = 0, Lost = 1 (100% loss),", "Approximate round trip times in milli-seconds:",
                   "    Minimum = 5ms, Maximum = 7ms, Average = 6ms", "Control-Break", "General failure.",
                   "Reply from 10.0.0.1: bytes=32 time=5ms TTL=64"}),
              (std::vector<Result>{none, -1, none, none, none, none, none, none, -1, 5}));
    // Indented lines, and headings with a blank or a fullwidth colon.
    EXPECT_EQ(run({"Envoi d'une requête 'ping' sur 10.0.0.1 avec 32 octets de données :", "  Délai d'attente dépassé.",
                   "统计信息：", "    最短 = 9ms，最长 = 10ms，平均 = 9ms"}),
              (std::vector<Result>{none, none, none, none}));
}

// The transcripts of tests/app/ping_transcripts: tag, then line.
std::vector<std::pair<std::string, std::string>> transcript(const std::string& language) {
    std::ifstream file(std::string(TARNLET_PING_TRANSCRIPTS) + "/" + language + ".txt", std::ios::binary);
    std::vector<std::pair<std::string, std::string>> lines;
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t tab = line.find('\t');
        if (!line.starts_with("#") && tab != std::string::npos) {
            lines.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        }
    }
    return lines;
}

struct Language {
    std::string name;
    // The times of the REPLY and REPLY_V6 lines.
    std::int32_t reply;
    std::int32_t v6;
};

TEST(PingOutput, EachLanguageOfTheTranscriptsGivesTheRowsEnglishGives) {
    const Language languages[] = {
        {"en", 52, 11}, {"de", 7, 11}, {"fr", 9, 11}, {"es", 15, 1}, {"ru", 69, 1}, {"ja", 4, 1}, {"zh-cn", 10, 1},
    };
    const std::map<std::string, Result> expected = {
        {"REPLY_LT1", 1},      {"TIMEOUT", -1},     {"UNREACHABLE", -1}, {"NET_UNREACHABLE", -1},
        {"TTL_EXPIRED", -1},   {"GENERAL", -1},     {"STATS", none},
    };
    for (const Language& language : languages) {
        const auto lines = transcript(language.name);
        ASSERT_GE(lines.size(), 15u) << language.name;
        for (const auto& [tag, opening] : lines) {
            if (tag == "NOHOST") {
                // The only line of a run for a host that cannot be found.
                EXPECT_EQ(alone(opening), none) << language.name << ": " << opening;
            }
            if (tag != "BANNER") {
                continue;
            }
            // Every banner, each attempt after it, then the statistics.
            PingOutput output;
            EXPECT_EQ(output.classify(opening), none) << language.name << ": " << opening;
            for (const auto& [kind, line] : lines) {
                const Result result = output.classify(line);
                if (kind == "REPLY" || kind == "REPLY_V6") {
                    EXPECT_EQ(result, kind == "REPLY" ? language.reply : language.v6) << language.name << ": " << line;
                } else if (expected.contains(kind)) {
                    EXPECT_EQ(result, expected.at(kind)) << language.name << ": " << line;
                }
            }
        }
    }
}

TEST(PingOutput, LanguagesBeyondTheTranscriptsFollowTheSameForm) {
    // Rebuilt from the pattern of the transcripts; what matters is the form.
    // Polish and Korean run end to end in their code pages.
    const std::vector<std::string> runs[] = {
        {"Disparando 8.8.8.8 com 32 bytes de dados:", "Resposta de 8.8.8.8: bytes=32 tempo=14ms TTL=117",
         "Esgotado o tempo limite do pedido.", "Resposta de 192.168.0.1: Host de destino inacessível."},
        {"Příkaz PING na 8.8.8.8 s 32 bajty dat:", "Odpověď od 8.8.8.8: bajty=32 čas=14 ms TTL=117",
         "Vypršel časový limit žádosti.", "Obecná chyba."},
        {"Πραγματοποίηση ping στο 8.8.8.8 με 32 byte δεδομένων:", "Απάντηση από 8.8.8.8: byte=32 χρόνος=14ms TTL=117",
         "Λήξη χρονικού ορίου αίτησης.", "Γενική αποτυχία."},
    };
    for (const std::vector<std::string>& lines : runs) {
        EXPECT_EQ(run(lines), (std::vector<Result>{none, 14, -1, -1})) << lines.front();
    }
}

} // namespace
