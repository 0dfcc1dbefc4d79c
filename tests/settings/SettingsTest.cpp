#include "settings/Settings.h"

#include "settings/DisplayFormat.h"
#include "support/TempDir.h"
#include "utility/SystemUtility.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace zlv;
using zlv::test::ReadAll;
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

// Every test starts from memory as the program has it before the first load.
class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override { ProgramDisplayFormat() = DisplayFormatFields{}; }
    void TearDown() override { ProgramDisplayFormat() = DisplayFormatFields{}; }
    // Temporary or lock files left behind would show here.
    long entries() const
    {
        return std::distance(std::filesystem::directory_iterator(dir.path()), {});
    }

    zlv::test::TempDir dir;
    std::string file = dir / "configuration.ini";
};

} // namespace

TEST_F(SettingsFile, AwkwardValuesReadBackAndListEntriesAreStoredPlainly)
{
    for (const std::string value :
         {"a=b", "x;y # z", "  leading", "trailing  ", " both ", "\"quoted\"", "\"", "\"half",
          "Month, Day, Year", "", "\xC3\xA9t\xC3\xA9", "\xFF\xFE", "[DTF]", "@Variant(x)",
          "%20 and \\n", "\t tab"}) {
        ASSERT_TRUE(Write(file, "Time", value)) << value;
        ASSERT_TRUE(Write(file, "Other", "kept"));
        EXPECT_EQ(Read(file, "Time"), value) << "also through a write of another key";
    }
    // A list entry is stored plainly, a rewrite in place of the old line.
    ASSERT_TRUE(Write(file, "Time", "H:M:S AM/PM"));
    EXPECT_EQ(ReadAll(file), "[DTF]\nTime=H:M:S AM/PM\nOther=kept\n");
    EXPECT_EQ(entries(), 1);
}

TEST_F(SettingsFile, WritesThatCouldNotBeReadBackOrFailChangeNothing)
{
    WriteAll(file, "[DTF]\nTime=HH:MM:SS\n");
    EXPECT_FALSE(Write(file, "Time", "two\nlines"));
    EXPECT_FALSE(Write(file, "Time", "cr\rhere"));
    for (const char* key : {"Ti=me", "", " Time", ";Time"}) {
        EXPECT_FALSE(Write(file, key, "x")) << key;
    }
    EXPECT_FALSE(Write(file, "Time", "x", "D]TF"));
    EXPECT_FALSE(Write(file, "Time", "x", ""));
    // A path that is a folder, and a folder that does not exist, cannot be written.
    EXPECT_FALSE(Write(dir.path(), "Time", "x"));
    EXPECT_FALSE(Write(dir / "missing/configuration.ini", "Time", "x"));
    EXPECT_EQ(Read(dir.path(), "Time"), "");
    if (::geteuid() != 0) { // permissions do not bind the superuser
        namespace fs = std::filesystem;
        fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(Write(file, "Time", "H:M:S"));
        fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    EXPECT_EQ(ReadAll(file), "[DTF]\nTime=HH:MM:SS\n");
    EXPECT_EQ(entries(), 1);
}

TEST_F(SettingsFile, HandEditedAndMissingThingsAreReadAsAPersonMeantThem)
{
    EXPECT_EQ(Read(file, "Sequence"), "") << "no file";
    WriteAll(file, "Sequence=Year Month Day\n[Other]\nSequence=Year Month Day\n[DTF]\nSequence\n");
    EXPECT_EQ(Read(file, "Sequence"), "") << "before any section, in another, or without '='";
    EXPECT_EQ(Read(file, "Time", "Nowhere"), "");

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
    ASSERT_TRUE(Write(file, "E", "5", "New"));
    EXPECT_EQ(ReadAll(file), expected + "\r\nD=4\r\n[New]\r\nE=5\r\n")
        << "a last line without a line end is ended";
    EXPECT_EQ(Read(file, "A", "Other"), "1, 2");
    EXPECT_EQ(Read(file, "B", "Other"), " x ");
}

TEST_F(SettingsFile, StartupWritesTheDefaultsOnlyWhenNoSequenceIsStored)
{
    const std::string defaults = "[DTF]\nSequence=Month Day Year\nSeparator={Space}\nYear=YYYY\n"
                                 "Month=MMM\nDay=DD\nTime=HH:MM:SS\n";
    WriteAll(file, "");
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_EQ(ReadAll(file), defaults);

    // A file that lost its section is given the defaults again; other sections stay.
    WriteAll(file, "[Window]\nLeft=10\n");
    ProgramDisplayFormat() = DisplayFormatFields{};
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_EQ(ReadAll(file), "[Window]\nLeft=10\n" + defaults);

    // A Sequence alone is no first run: nothing is repaired, every other slot is empty.
    WriteAll(file, "[DTF]\nSequence=Year Month Day\n");
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(), (DisplayFormatFields{"Year Month Day", "", "", "", "", ""}));
    EXPECT_EQ(ReadAll(file), "[DTF]\nSequence=Year Month Day\n");

    // Defaults that cannot be stored still render times.
    const std::string nowhere = dir / "no-such-folder/configuration.ini";
    ProgramDisplayFormat() = DisplayFormatFields{};
    LoadSettingsAtStartup(nowhere);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

TEST_F(SettingsFile, HandEditedValuesLoadUnchangedAndAnUnreadableFileChangesNothing)
{
    WriteAll(file, "[DTF]\nSequence=Month, Day, Year\nSeparator={Space}\nYear=yyyy\n"
                   "Month=MMMM\nDay=DD\nTime=hh:mm\n");
    LoadSettings(file);
    EXPECT_EQ(ProgramDisplayFormat(),
              (DisplayFormatFields{"Month, Day, Year", "{Space}", "yyyy", "MMMM", "DD", "hh:mm"}));
    EXPECT_EQ(FormatTimestamp("2006-02-08 23:34:23", GetDisplayPattern()),
              std::optional<std::string>("08 February 2006 23:34"))
        << "{Space} is one space, and the unknown sequence gives day, month, year";

    LoadSettings(dir / "gone.ini");
    EXPECT_EQ(ProgramDisplayFormat()[kTimeSlot], "hh:mm");
}
