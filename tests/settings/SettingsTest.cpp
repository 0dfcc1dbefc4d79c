#include "settings/Settings.h"

#include "settings/DisplayFormat.h"
#include "support/TempDir.h"
#include "utility/SystemUtility.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zlv;
using zlv::test::ReadAll;
using zlv::test::TempDir;
using zlv::test::WriteAll;

namespace {

std::string Read(const std::string& file, const std::string& key,
                 const std::string& section = "DTF")
{
    return SystemUtility::ReadSetting(file, section, key);
}

bool Write(const std::string& file, const std::string& key, const std::string& value,
           const std::string& section = "DTF")
{
    return SystemUtility::WriteSetting(file, section, key, value);
}

std::size_t EntriesIn(const std::string& folder)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++n;
    }
    return n;
}

// Every test starts from memory as the program has it before the first load.
class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override { ProgramDisplayFormat() = DisplayFormatFields{}; }
    void TearDown() override { ProgramDisplayFormat() = DisplayFormatFields{}; }

    TempDir dir;
    std::string file = dir / "configuration.ini";
};

} // namespace

TEST_F(SettingsFile, EveryListEntryIsStoredAsItsOwnTextAndReadsBack)
{
    WriteAll(file, "");
    const auto& entries = DisplayFormatEntries();
    for (std::size_t slot = 0; slot < entries.size(); ++slot) {
        for (const std::string& value : entries[slot]) {
            ASSERT_TRUE(Write(file, kDisplayFormatKeys[slot], value));
            EXPECT_EQ(Read(file, kDisplayFormatKeys[slot]), value);
            const std::string line = std::string(kDisplayFormatKeys[slot]) + "=" + value + "\n";
            EXPECT_NE(ReadAll(file).find(line), std::string::npos)
                << "stored plainly, no quoting: " << line;
        }
    }
    EXPECT_EQ(ReadAll(file), "[DTF]\nSequence=Day Month Year\nSeparator=.\nYear=YY\nMonth=M\n"
                             "Day=D\nTime=H:M:S AM/PM\n")
        << "one section, one line per key, a rewrite replaces the line in place";
    EXPECT_EQ(EntriesIn(dir.path()), 1u) << "no temporary or lock file is left behind";
}

TEST_F(SettingsFile, AwkwardValuesRoundTrip)
{
    const std::string values[] = {
        "a=b",
        "x;y # z",
        "  leading",
        "trailing  ",
        " both ",
        "\"quoted\"",
        "\"",
        "\"half",
        "Month, Day, Year",
        "",
        "\xC3\xA9t\xC3\xA9",
        "\xFF\xFE",
        "[DTF]",
        "@Variant(x)",
        "%20 and \\n",
        "\t tab",
    };
    for (const std::string& value : values) {
        ASSERT_TRUE(Write(file, "Time", value)) << value;
        EXPECT_EQ(Read(file, "Time"), value);
        ASSERT_TRUE(Write(file, "Other", "kept"));
        EXPECT_EQ(Read(file, "Time"), value) << "unchanged by a write of another key";
    }
}

TEST_F(SettingsFile, WritesThatCouldNotBeReadBackAreRefusedAndChangeNothing)
{
    WriteAll(file, "[DTF]\nTime=HH:MM:SS\n");
    EXPECT_FALSE(Write(file, "Time", "two\nlines"));
    EXPECT_FALSE(Write(file, "Time", "cr\rhere"));
    EXPECT_FALSE(Write(file, "Ti=me", "x"));
    EXPECT_FALSE(Write(file, "", "x"));
    EXPECT_FALSE(Write(file, " Time", "x"));
    EXPECT_FALSE(Write(file, ";Time", "x"));
    EXPECT_FALSE(Write(file, "Time", "x", "D]TF"));
    EXPECT_FALSE(Write(file, "Time", "x", ""));
    EXPECT_EQ(ReadAll(file), "[DTF]\nTime=HH:MM:SS\n");

    // A path that is a folder, and a folder that does not exist, cannot be written.
    EXPECT_FALSE(Write(dir.path(), "Time", "x"));
    EXPECT_FALSE(Write(dir / "missing/configuration.ini", "Time", "x"));
    EXPECT_EQ(Read(dir.path(), "Time"), "");
}

TEST_F(SettingsFile, MissingThingsReadAsEmpty)
{
    EXPECT_EQ(Read(file, "Sequence"), "") << "no file";
    WriteAll(file, "");
    EXPECT_EQ(Read(file, "Sequence"), "") << "empty file";
    WriteAll(file, "[Other]\nSequence=Year Month Day\n[DTF]\nTime=H:M:S\nSequence\n");
    EXPECT_EQ(Read(file, "Sequence"), "") << "only in another section, or without '='";
    EXPECT_EQ(Read(file, "Time", "Nowhere"), "");
    WriteAll(file, "Sequence=Year Month Day\n[DTF]\n");
    EXPECT_EQ(Read(file, "Sequence"), "") << "a key before any section belongs to none";
}

TEST_F(SettingsFile, HandEditedFilesAreReadAsAPersonMeantThem)
{
    WriteAll(file, "\xEF\xBB\xBF; my settings\r\n[ dtf ]\r\n  sequence = Year Month Day  \r\n"
                   "; Time=H:M:S\r\nTime=HH:MM:SS AM/PM\r\nTime=H:M:S\r\n"
                   "Separator=\"{Space}\"\r\nDay=D ; not a comment\r\n");
    EXPECT_EQ(Read(file, "Sequence"), "Year Month Day");
    EXPECT_EQ(Read(file, "Time"), "HH:MM:SS AM/PM") << "a comment is no key; the first key wins";
    EXPECT_EQ(Read(file, "Separator"), "{Space}");
    EXPECT_EQ(Read(file, "Day"), "D ; not a comment");
}

TEST_F(SettingsFile, AWriteChangesOneLineAndKeepsEveryOtherByte)
{
    const std::string before = "; keep this comment\r\n[Other]\r\nA=1, 2\r\nB = \" x \"\r\n\r\n"
                               "[DTF]\r\nTime=H:M:S\r\nX=y\r\n\r\n[Last]\r\nC=3";
    WriteAll(file, before);
    ASSERT_TRUE(Write(file, "Time", "HH:MM:SS"));
    std::string expected = before;
    expected.replace(expected.find("Time=H:M:S"), 10, "Time=HH:MM:SS");
    EXPECT_EQ(ReadAll(file), expected);

    ASSERT_TRUE(Write(file, "Sequence", "Month Day Year"));
    expected.insert(expected.find("X=y\r\n") + 5, "Sequence=Month Day Year\r\n");
    EXPECT_EQ(ReadAll(file), expected) << "a new key joins the end of its section, CR LF kept";

    ASSERT_TRUE(Write(file, "D", "4", "Last"));
    EXPECT_EQ(ReadAll(file), expected + "\r\nD=4\r\n") << "a last line without a line end";

    ASSERT_TRUE(Write(file, "E", "5", "New"));
    EXPECT_EQ(ReadAll(file), expected + "\r\nD=4\r\n[New]\r\nE=5\r\n");
    EXPECT_EQ(Read(file, "A", "Other"), "1, 2");
    EXPECT_EQ(Read(file, "B", "Other"), " x ");
}

TEST_F(SettingsFile, AFailedWriteLeavesTheFileAsItWas)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    WriteAll(file, "[DTF]\nTime=H:M:S\n");
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(Write(file, "Time", "HH:MM:SS"));
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(ReadAll(file), "[DTF]\nTime=H:M:S\n");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST_F(SettingsFile, FirstStartWritesAndLoadsTheDefaults)
{
    WriteAll(file, "");
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_EQ(ReadAll(file), "[DTF]\nSequence=Month Day Year\nSeparator={Space}\nYear=YYYY\n"
                             "Month=MMM\nDay=DD\nTime=HH:MM:SS\n");
    EXPECT_EQ(FormatTimestamp("2006-02-08 23:34:23", GetDisplayPattern()),
              std::optional<std::string>("Feb 08 2006 23:34:23"));

    // A file that lost its section is given the defaults again; other sections stay.
    WriteAll(file, "[Window]\nLeft=10\n");
    ProgramDisplayFormat() = DisplayFormatFields{};
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_EQ(Read(file, "Left", "Window"), "10");
}

TEST_F(SettingsFile, AFileWithOnlySequenceIsNotRepaired)
{
    const std::string text = "[DTF]\nSequence=Year Month Day\n";
    WriteAll(file, text);
    LoadSettingsAtStartup(file);
    const DisplayFormatFields expected{"Year Month Day", "", "", "", "", ""};
    EXPECT_EQ(ProgramDisplayFormat(), expected);
    EXPECT_EQ(ReadAll(file), text);
}

TEST_F(SettingsFile, HandEditedValuesLoadUnchanged)
{
    WriteAll(file, "[DTF]\nSequence=Month, Day, Year\nSeparator={Space}\nYear=yyyy\n"
                   "Month=MMMM\nDay=DD\nTime=hh:mm\n");
    LoadSettings(file);
    const DisplayFormatFields expected{
        "Month, Day, Year", "{Space}", "yyyy", "MMMM", "DD", "hh:mm"};
    EXPECT_EQ(ProgramDisplayFormat(), expected);
    EXPECT_EQ(FormatTimestamp("2006-02-08 23:34:23", GetDisplayPattern()),
              std::optional<std::string>("08 February 2006 23:34"))
        << "{Space} is one space, and the unknown sequence gives day, month, year";
}

TEST_F(SettingsFile, LoadingReplacesEveryFieldButAnUnreadableFileChangesNothing)
{
    ProgramDisplayFormat() = DefaultDisplayFormat();
    WriteAll(file, "[DTF]\nTime=H:M:S\n");
    LoadSettings(file);
    EXPECT_EQ(ProgramDisplayFormat(), (DisplayFormatFields{"", "", "", "", "", "H:M:S"}));

    ProgramDisplayFormat() = DefaultDisplayFormat();
    LoadSettings(dir / "gone.ini");
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
}

TEST_F(SettingsFile, DefaultsThatCannotBeStoredStillRenderTimes)
{
    const std::string nowhere = dir / "no-such-folder/configuration.ini";
    LoadSettingsAtStartup(nowhere);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_FALSE(std::filesystem::exists(nowhere));

    // WriteDefaultSettings leaves memory alone.
    ProgramDisplayFormat() = DisplayFormatFields{};
    WriteDefaultSettings(file);
    EXPECT_EQ(ProgramDisplayFormat(), DisplayFormatFields{});
    EXPECT_EQ(Read(file, "Month"), "MMM");
}
