#include "capture/ShellEvents.h"
#include "capture/linux/MediaMonitor.h"

#include <gtest/gtest.h>

using namespace zlv;
using namespace zlv::linuxcapture;

TEST(Media, OnlyAChangeOfAWholeDiskTellsPresenceAndOnlyTransitionsBecomeEvents)
{
    const std::pair<BlockChange, std::optional<bool>> cases[] = {
        // A card reader tells by the size, on a media change only.
        {{.action = "change", .devType = "disk", .mediaChange = true, .sizeSectors = 31116288},
         true},
        {{.action = "change", .devType = "disk", .mediaChange = true, .sizeSectors = 0}, false},
        {{.action = "change", .devType = "disk", .mediaChange = true, .sizeSectors = {}},
         std::nullopt},
        {{.action = "change", .devType = "disk", .sizeSectors = 100}, std::nullopt},
        // An optical drive tells itself; a disc still spinning up reads as size 0.
        {{.action = "change",
          .devType = "disk",
          .optical = true,
          .opticalMedia = true,
          .sizeSectors = 0},
         true},
        {{.action = "change", .devType = "disk", .optical = true, .sizeSectors = 8}, false},
        // Plugging a drive in or out is a mount matter; a partition is not the drive.
        {{.action = "add", .devType = "disk", .mediaChange = true, .sizeSectors = 8}, std::nullopt},
        {{.action = "remove", .devType = "disk", .mediaChange = true, .sizeSectors = 8},
         std::nullopt},
        {{.action = "change", .devType = "partition", .mediaChange = true, .sizeSectors = 8},
         std::nullopt},
    };
    for (const auto& [change, presence] : cases) {
        EXPECT_EQ(MediaPresence(change), presence) << change.action << " " << change.devType;
    }

    MediaStates states;
    EXPECT_EQ(states.update("/dev/sr0", true), shell::SHCNE_MEDIAINSERTED);
    EXPECT_EQ(states.update("/dev/sr0", true), std::nullopt);
    EXPECT_EQ(states.update("/dev/sdb", false), shell::SHCNE_MEDIAREMOVED);
    EXPECT_EQ(states.update("/dev/sr0", false), shell::SHCNE_MEDIAREMOVED);
    EXPECT_EQ(states.update("/dev/sr0", false), std::nullopt);
    EXPECT_EQ(states.update("/dev/sr0", true), shell::SHCNE_MEDIAINSERTED);
}

TEST(Media, ADriveIsNamedByItsMountPointWhenMountedElseByItsDevice)
{
    const std::vector<MountEntry> mounts = {
        {1, "/", "/dev/sda1", "ext4"},
        {2, "/media/u/MY STICK", "/dev/sdb1", "vfat"},
        {3, "/media/u/SD", "/dev/mmcblk0p1", "vfat"},
    };
    const ShellItem stick = DriveItem("/dev/sdb", mounts);
    EXPECT_EQ(stick.displayName, "MY STICK");
    EXPECT_EQ(stick.path, "/media/u/MY STICK/");
    EXPECT_EQ(DriveItem("/dev/mmcblk0", mounts).path, "/media/u/SD/");

    // /dev/sd is no drive of /dev/sda1's, nor /dev/mmcblk0 of a /dev/mmcblk01.
    const ShellItem unmounted = DriveItem("/dev/sd", mounts);
    EXPECT_EQ(unmounted.displayName, "sd");
    EXPECT_EQ(unmounted.path, "/dev/sd");
    EXPECT_EQ(DriveItem("/dev/mmcblk0", {{4, "/m", "/dev/mmcblk01", "vfat"}}).path, "/dev/mmcblk0");
    EXPECT_EQ(MountPointItem("/mnt/usb/").displayName, "usb");
    // Not mounted: the medium's label, else the drive's model, the node only as a last resort.
    EXPECT_EQ(
        DriveItem("/dev/sr0", mounts, MediumName({"HOLIDAY\\x202024", "HOLIDAY_2024", "", ""}))
            .displayName,
        "HOLIDAY 2024");
    EXPECT_EQ(MediumName({"", "", "DVD\\x20RW\\x20\\x20", "DVD_RW"}), "DVD RW");
    EXPECT_EQ(MediumName({"", "", "", "Card_Reader"}), "Card Reader");
}
