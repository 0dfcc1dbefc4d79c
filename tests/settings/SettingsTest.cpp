#include "settings/Settings.h"

#include "settings/DisplayFormat.h"
#include "settings/Exclusions.h"
#include "support/TempDir.h"
#include "utility/SystemUtility.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
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

const std::string kDefaults = "[DTF]\nSequence=Month Day Year\nSeparator={Space}\nYear=YYYY\n"
                              "Month=MMM\nDay=DD\nTime=HH:MM:SS\n";

// Every test starts from memory as the program has it before the first load.
class SettingsFile : public ::testing::Test
{
protected:
    void SetUp() override { ProgramDisplayFormat() = DisplayFormatFields{}; }
    void TearDown() override { ProgramDisplayFormat() = DisplayFormatFields{}; }

    zlv::test::TempDir dir;
    std::string file = dir / "configuration.ini";
};

} // namespace

TEST_F(SettingsFile, AwkwardValuesReadBackAndListEntriesAreStoredPlainlyAndPrivately)
{
    const mode_t umask = ::umask(022);
    for (const std::string value :
         {"a=b", "x;y # z", "  leading", " both ", "\"quoted\"", "\"", "Month, Day, Year", "",
          "\xC3\xA9t\xC3\xA9", "\xFF\xFE", "[DTF]", "%20 and \\n", "\t tab"}) {
        ASSERT_TRUE(Write(file, "Time", value)) << value;
        ASSERT_TRUE(Write(file, "Other", "kept"));
        EXPECT_EQ(Read(file, "Time"), value) << "also through a write of another key";
    }
    ASSERT_TRUE(Write(file, "Time", "H:M:S AM/PM"));
    ::umask(umask);
    EXPECT_EQ(ReadAll(file), "[DTF]\nTime=H:M:S AM/PM\nOther=kept\n");
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file left behind";
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
    // A path that is a folder, and a folder that does not exist, cannot be written.
    EXPECT_FALSE(Write(dir.path(), "Time", "x"));
    EXPECT_FALSE(Write(dir / "missing/configuration.ini", "Time", "x"));
    EXPECT_EQ(Read(dir.path(), "Time"), "");
    // A save that leaves a file too big to be read again is no save.
    WriteAll(file, "[DTF]\n;" + std::string((16 << 20) - 16, 'x') + "\n");
    EXPECT_FALSE(Write(file, "Time", "HH:MM:SS AM/PM"));
}

TEST_F(SettingsFile, HandEditedFilesAreReadAsAPersonMeantThemWhateverTheirLineEnds)
{
    EXPECT_EQ(Read(file, "Sequence"), "") << "no file";
    WriteAll(file, "Sequence=Year Month Day\n[Other]\nSequence=Year Month Day\n[DTF]\nSequence\n");
    EXPECT_EQ(Read(file, "Sequence"), "") << "before any section, in another, or without '='";

    WriteAll(file, "\xEF\xBB\xBF; my settings\r\n[ dtf ]\r\n  sequence = Year Month Day  \r"
                   "; Time=H:M:S\nTime=HH:MM:SS AM/PM\r\nTime=H:M:S\r\n"
                   "Separator=\"{Space}\"\rDay=D ; not a comment\r");
    EXPECT_EQ(Read(file, "Sequence"), "Year Month Day");
    EXPECT_EQ(Read(file, "Time"), "HH:MM:SS AM/PM") << "a comment is no key; the first key wins";
    EXPECT_EQ(Read(file, "Separator"), "{Space}");
    EXPECT_EQ(Read(file, "Day"), "D ; not a comment");

    // A save never glues a key onto a line that ended in a lone CR, and leaves one style.
    ASSERT_TRUE(Write(file, "Month", "MM"));
    EXPECT_EQ(ReadAll(file), "\xEF\xBB\xBF; my settings\r\n[ dtf ]\r\n  sequence = Year Month "
                             "Day  \r\n; Time=H:M:S\r\nTime=HH:MM:SS AM/PM\r\nTime=H:M:S\r\n"
                             "Separator=\"{Space}\"\r\nDay=D ; not a comment\r\nMonth=MM\r\n");
    WriteAll(file, "[DTF]\nDay=DD\rTime=H:M:S\r");
    ASSERT_TRUE(Write(file, "Year", "YY"));
    EXPECT_EQ(ReadAll(file), "[DTF]\nDay=DD\nTime=H:M:S\nYear=YY\n");
    EXPECT_EQ(Read(file, "Day"), "DD");
}

TEST_F(SettingsFile, StartupWritesAllDefaultsOnAFirstRunAndHealsMissingKeysLater)
{
    WriteAll(file, "");
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat());
    EXPECT_EQ(ReadAll(file), kDefaults);

    // A file that lost its section is given the defaults again; other sections stay.
    WriteAll(file, "[Window]\nLeft=10\n");
    ProgramDisplayFormat() = DisplayFormatFields{};
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ReadAll(file), "[Window]\nLeft=10\n" + kDefaults);

    // A first start cut short, or a hand edit: the missing and empty keys are filled in,
    // what the user chose, other keys and comments stay.
    WriteAll(file, "; mine\r\n[DTF]\r\nSequence=Year Month Day\r\nYear=YY\r\nDay=\r\nZ=1\r\n");
    LoadSettingsAtStartup(file);
    EXPECT_EQ(ProgramDisplayFormat(),
              (DisplayFormatFields{"Year Month Day", "{Space}", "YY", "MMM", "DD", "HH:MM:SS"}));
    EXPECT_EQ(ReadAll(file), "; mine\r\n[DTF]\r\nSequence=Year Month Day\r\nYear=YY\r\nDay=DD\r\n"
                             "Z=1\r\nSeparator={Space}\r\nMonth=MMM\r\nTime=HH:MM:SS\r\n");
}

TEST_F(SettingsFile, AFileThatCannotHoldSettingsLeavesTheProgramOnItsDefaults)
{
    // A folder or FIFO in the file's place is neither waited on nor replaced.
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const std::string folder = dir / "folder.ini";
    std::filesystem::create_directory(folder);
    for (const std::string& path : {file, folder, dir / "no-such-folder/configuration.ini"}) {
        ProgramDisplayFormat() = DisplayFormatFields{};
        testing::internal::CaptureStderr();
        LoadSettingsAtStartup(path);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ProgramDisplayFormat(), DefaultDisplayFormat()) << path;
        EXPECT_EQ(said.find("is not a regular file") != std::string::npos,
                  path != dir / "no-such-folder/configuration.ini")
            << said;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(file));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));

    // An unreadable file changes nothing in memory.
    ProgramDisplayFormat()[kTimeSlot] = "hh:mm";
    LoadSettings(dir / "gone.ini");
    EXPECT_EQ(ProgramDisplayFormat()[kTimeSlot], "hh:mm");
}

TEST_F(SettingsFile, ExclusionsLiveInASectionOfTheirOwnAndSurviveOldAndHandEditedFiles)
{
    // A file of an earlier version: nothing excluded, Git's rule on, "DTF" left as it was.
    WriteAll(file, kDefaults);
    EXPECT_EQ(LoadExclusions(file), Exclusions{});
    const Exclusions two{{"/home/u/build", "/home/u/My Cache"}, false};
    ASSERT_TRUE(SaveExclusions(file, two));
    EXPECT_EQ(LoadExclusions(file), two);
    ASSERT_TRUE(SaveExclusions(file, Exclusions{{"/home/u/My Cache"}, true}));
    EXPECT_EQ(LoadExclusions(file), (Exclusions{{"/home/u/My Cache"}, true}));
    const std::string text = ReadAll(file);
    EXPECT_EQ(text.substr(0, kDefaults.size()), kDefaults);
    EXPECT_EQ(text.find("/home/u/build"), std::string::npos) << "a removed folder lingers";

    // Hand-edited: a count that is no number or far too large, relative paths, the root,
    // doubles and trailing separators; and a name that cannot be stored is refused whole.
    WriteAll(file, "[Exclusions]\nCount=junk\nFolder1=/a\n");
    EXPECT_TRUE(LoadExclusions(file).folders.empty());
    WriteAll(file, "[Exclusions]\nCount=99999999999\nFolder1=rel/ative\nFolder2=/\nFolder3=/a/\n"
                   "Folder4=/a\nSkipGitIgnored=whatever\n");
    EXPECT_EQ(LoadExclusions(file), (Exclusions{{"/a"}, true}));
    const std::string before = ReadAll(file);
    EXPECT_FALSE(SaveExclusions(file, Exclusions{{"/new\nline"}, true}));
    EXPECT_EQ(ReadAll(file), before);
}
