#include "capture/ShellEvents.h"
#include "capture/linux/MediaMonitor.h"

#include <gtest/gtest.h>

using namespace zlv;
using namespace zlv::linuxcapture;

namespace {

BlockChange Change(std::string action, std::string type)
{
    BlockChange c;
    c.action = std::move(action);
    c.devType = std::move(type);
    return c;
}

} // namespace

TEST(Media, ACardReaderTellsPresenceBySizeOnAMediaChange)
{
    BlockChange c = Change("change", "disk");
    c.mediaChange = true;
    c.sizeSectors = 31116288;
    EXPECT_EQ(MediaPresence(c), true);
    c.sizeSectors = 0;
    EXPECT_EQ(MediaPresence(c), false);
    c.sizeSectors.reset();
    EXPECT_EQ(MediaPresence(c), std::nullopt);

    // A change without the media flag (a partition table rewritten, a trigger) says nothing.
    BlockChange plain = Change("change", "disk");
    plain.sizeSectors = 100;
    EXPECT_EQ(MediaPresence(plain), std::nullopt);
}

TEST(Media, AnOpticalDriveTellsPresenceItselfAndOnlyChangesOfWholeDisksCount)
{
    BlockChange cd = Change("change", "disk");
    cd.optical = true;
    cd.sizeSectors = 0; // a disc that is still spinning up reads as size 0
    cd.opticalMedia = true;
    EXPECT_EQ(MediaPresence(cd), true);
    cd.opticalMedia = false;
    EXPECT_EQ(MediaPresence(cd), false);

    for (const char* action : {"add", "remove", "bind"}) {
        BlockChange c = Change(action, "disk");
        c.mediaChange = true;
        c.sizeSectors = 8;
        EXPECT_EQ(MediaPresence(c), std::nullopt) << action;
    }
    BlockChange partition = Change("change", "partition");
    partition.mediaChange = true;
    partition.sizeSectors = 8;
    EXPECT_EQ(MediaPresence(partition), std::nullopt);
}

TEST(Media, OnlyTransitionsBecomeEventsPerDevice)
{
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
    EXPECT_EQ(MountPointItem("/mnt/usb/").path, "/mnt/usb/");
}
