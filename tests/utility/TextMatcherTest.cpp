#include "utility/TextMatcher.h"

#include <gtest/gtest.h>

using zlv::TextMatcher;

namespace {

constexpr auto npos = std::string_view::npos;

} // namespace

TEST(TextMatcher, LettersMatchInEitherCaseOneCodePointForOne)
{
    // élan in Élan.txt; Greek final and plain sigma alike; a four-byte letter (Deseret).
    EXPECT_EQ(TextMatcher("\xC3\xA9lan").find("x \xC3\x89lan.txt"), 2u);
    EXPECT_EQ(TextMatcher("\xCE\xA3\xCE\xA3").find("o\xCF\x83\xCF\x82"), 1u);
    EXPECT_EQ(TextMatcher("\xF0\x90\x90\x80").find("-\xF0\x90\x90\xA8"), 1u);
    // Sharp s: the capital one folds to it, "SS" does not (that needs full folding).
    EXPECT_TRUE(TextMatcher("stra\xC3\x9F"
                            "e")
                    .foundIn("STRA\xE1\xBA\x9E"
                             "E"));
    EXPECT_FALSE(TextMatcher("stra\xC3\x9F"
                             "e")
                     .foundIn("STRASSE"));
    // The two letters outside ASCII that fold into it: the Kelvin sign and the long s.
    EXPECT_EQ(TextMatcher("Kiss").find("a\xE2\x84\xAAi\xC5\xBFs"), 1u);
    EXPECT_EQ(TextMatcher("\xE2\x84\xAA").find("ok"), 1u);
    // Plain ASCII, byte by byte, at the place of the match.
    EXPECT_EQ(TextMatcher("REPORT").find("/home/u/my report.txt"), 11u);
    EXPECT_EQ(TextMatcher("report").find("/home/u/my repor"), npos);
    EXPECT_EQ(TextMatcher("").find("anything"), 0u);
}

TEST(TextMatcher, NeverReachesAcrossAFieldAndReadsDamagedBytesAsLatin1)
{
    // No field holds a tab or a line break, so a needle with one finds nothing.
    for (const char* needle : {"\t", "File\tCreated", "a\nb", "x\r"}) {
        const TextMatcher m(needle);
        EXPECT_TRUE(m.impossible()) << needle;
        EXPECT_FALSE(m.foundIn("File\tCreated\ta\nb\tx\r")) << needle;
    }
    // "café" stored in Latin-1, found by its UTF-8 spelling in either case; an invalid
    // byte in the needle is Latin-1 as well.
    EXPECT_EQ(TextMatcher("CAF\xC3\x89").find("my caf\xE9"), 3u);
    EXPECT_EQ(TextMatcher("\xC9").find("\xC3\xA9t\xC3\xA9"), 0u);
    // Truncated and overlong sequences are single bytes, never a letter.
    EXPECT_FALSE(TextMatcher("\xC3\xA9").foundIn("\xC3"));
    EXPECT_FALSE(TextMatcher("/").foundIn("\xC0\xAF"));
}
