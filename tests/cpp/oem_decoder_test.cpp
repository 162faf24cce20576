#include "cpp/oem_decoder.h"

#include "cpp/exception.h"

#include <gtest/gtest.h>

#include <string>

namespace cpp {
namespace {

// U+FFFD in UTF-8.
const std::string bad = "\xEF\xBF\xBD";

struct Case {
    unsigned codePage;
    std::string bytes;
    std::string text;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.codePage << ": \"" << c.text << "\"";
}

TEST(OemDecoder, DecodesWholeLinesOfEachCodePage) {
    const Case cases[] = {
        // German and Spanish (850): the umlaut is 0x81, Ü 0x9A, á 0xA0.
        {850, "Zeit\x81" "berschreitung der Anforderung.", "Zeitüberschreitung der Anforderung."},
        {850, "PING: Fehler bei der \x9A" "bertragung.", "PING: Fehler bei der Übertragung."},
        {850, "TTL caducado en tr\xA0nsito.", "TTL caducado en tránsito."},
        // Every byte is a character of 850 and 866: nothing to replace.
        {850, "\xFF\xB0\x01", "\u00A0\u2591\x01"},
        // Russian (866).
        {866, "\x8E\xE2\xA2\xA5\xE2 \xAE\xE2 10.0.0.1: \xA2\xE0\xA5\xAC\xEF=69\xAC\xE1 TTL=64",
         "Ответ от 10.0.0.1: время=69мс TTL=64"},
        {866, "\xF0\xF1\xFF", "Ёё\u00A0"},
        // Japanese (932): two-byte kanji and kana, one-byte katakana.
        {932, "\x8E\x9E\x8A\xD4 =4ms TTL=58", "時間 =4ms TTL=58"},
        {932, "\x83\x5C\x83\x74\x83\x67 \xB1\xB2", "ソフト ｱｲ"},
        // A lead byte with an ASCII byte that makes no pair: one U+FFFD,
        // and the ASCII byte stays.
        {932, "a\x81 b", "a" + bad + " b"},
        {932, "\x8E\x9E\x81", "時" + bad},
        // UTF-8 (a Windows set to it): valid text stays, every stray byte
        // is replaced on its own, a cut character at the end once.
        {65001, "время=69мс", "время=69мс"},
        {65001, "a\xFF" "b\xC3(", "a" + bad + "b" + bad + "("},
        {65001, "\xE6\x99", bad},
        {65001, "", ""},
    };
    for (const Case& c : cases) {
        OemDecoder decoder(c.codePage);
        EXPECT_EQ(decoder.decodeAll(c.bytes), c.text) << ::testing::PrintToString(c);
        EXPECT_EQ(decoder.decodeAll("ms"), "ms") << "nothing kept after a whole text: " << c.codePage;
    }
}

TEST(OemDecoder, ACharacterCutBetweenPiecesIsCompletedByTheNext) {
    const Case cases[] = {
        {932, "\x83\x5C\x83\x74\x83\x67 =7ms \x8E\x9E\x8A\xD4", "ソフト =7ms 時間"},
        {866, "\xAC\xE1\xA5\xAA", "мсек"},
        {65001, "время \xE6\x99\x82\xF0\x9F\x98\x80", "время 時😀"},
    };
    for (const Case& c : cases) {
        // Every cut point, and one byte at a time.
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            OemDecoder decoder(c.codePage);
            String text = decoder.decode(std::string_view(c.bytes).substr(0, cut));
            text += decoder.decode(std::string_view(c.bytes).substr(cut));
            text += decoder.finish();
            EXPECT_EQ(text, c.text) << c.codePage << " cut at " << cut;
        }
        OemDecoder decoder(c.codePage);
        String text;
        for (const char byte : c.bytes) {
            text += decoder.decode(std::string_view(&byte, 1));
        }
        EXPECT_EQ(text + decoder.finish(), c.text) << c.codePage;
    }
    // A lead byte at the end is kept, then given up as one U+FFFD.
    OemDecoder decoder(932);
    EXPECT_EQ(decoder.decode("=4ms \x8E"), "=4ms ");
    EXPECT_EQ(decoder.finish(), bad);
    EXPECT_EQ(decoder.finish(), "");
}

TEST(OemDecoder, ACodePageTheSystemDoesNotKnowIsRefused) {
    EXPECT_THROW(OemDecoder(12345), Exception);
    EXPECT_NO_THROW(OemDecoder());
}

} // namespace
} // namespace cpp
