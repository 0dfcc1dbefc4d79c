#include "capture/linux/MountTable.h"

#include <gtest/gtest.h>

using namespace zlv::linuxcapture;

TEST(MountTable, OctalEscapesAreDecodedAndAnythingElseIsKept)
{
    EXPECT_EQ(DecodeMountField("/media/u/MY\\040STICK"), "/media/u/MY STICK");
    EXPECT_EQ(DecodeMountField("a\\011b\\012c\\134d"), "a\tb\nc\\d");
    // Not three octal digits, cut short at the end, or out of byte range: left verbatim.
    EXPECT_EQ(DecodeMountField("x\\08y"), "x\\08y");
    EXPECT_EQ(DecodeMountField("end\\04"), "end\\04");
    EXPECT_EQ(DecodeMountField("\\"), "\\");
    EXPECT_EQ(DecodeMountField("\\777"), "\\777");
}

TEST(MountTable, LinesAreParsedAcrossOptionalFieldsAndBadLinesSkipped)
{
    const std::string text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "41 22 8:17 / /media/u/MY\\040STICK rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw\n"
        "garbage line\n"
        "x 22 0:5 / /bad rw - tmpfs none rw\n"
        "43 22 0:40 / /mnt/no-dash rw shared:3 tmpfs none rw\n"
        "\n"
        "44 22 11:0 / /run/media/u/CD rw - iso9660 /dev/sr0 ro"; // no final newline
    const std::vector<MountEntry> table = ParseMountInfo(text);
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0], (MountEntry{22, "/", "/dev/sda1", "ext4"}));
    EXPECT_EQ(table[1], (MountEntry{41, "/media/u/MY STICK", "/dev/sdb1", "vfat"}));
    EXPECT_EQ(table[2], (MountEntry{44, "/run/media/u/CD", "/dev/sr0", "iso9660"}));
}

TEST(MountTable, OnlyMountsStrictlyBelowARootAreDrives)
{
    EXPECT_TRUE(IsStrictlyBelow("/media/u/stick", "/media"));
    EXPECT_TRUE(IsStrictlyBelow("/media/stick", "/media/"));
    EXPECT_FALSE(IsStrictlyBelow("/media", "/media"));
    EXPECT_FALSE(IsStrictlyBelow("/media/", "/media"));
    EXPECT_FALSE(IsStrictlyBelow("/mediastick", "/media"));
    EXPECT_TRUE(IsStrictlyBelow("/x", "/"));
    EXPECT_FALSE(IsStrictlyBelow("/", "/"));

    const std::vector<MountEntry> table = {
        {1, "/", "/dev/sda1", "ext4"},
        {2, "/media", "tmpfs", "tmpfs"},
        {3, "/media/u/a", "/dev/sdb1", "vfat"},
        {4, "/mnt2/x", "/dev/sdc", "ext4"},
        {5, "/sys/fs/cgroup", "cgroup2", "cgroup2"},
        {6, "/mnt/b", "/dev/sdd", "ext4"},
    };
    const std::vector<MountEntry> drives = Drives(table, {"/media", "/run/media", "/mnt"});
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives[0].id, 3);
    EXPECT_EQ(drives[1].id, 6);
}

TEST(MountTable, ChangesAreMatchedByMountIdNotByPlace)
{
    const std::vector<MountEntry> before = {{3, "/media/a", "/dev/sdb1", "vfat"},
                                            {6, "/mnt/b", "/dev/sdd", "ext4"}};
    // /media/a unmounted and something else mounted at the same place gets a new id.
    const std::vector<MountEntry> after = {{6, "/mnt/b", "/dev/sdd", "ext4"},
                                           {9, "/media/a", "/dev/sde1", "exfat"},
                                           {10, "/media/c", "/dev/sdf1", "vfat"}};
    const MountChanges changes = DiffMounts(before, after);
    ASSERT_EQ(changes.removed.size(), 1u);
    EXPECT_EQ(changes.removed[0].id, 3);
    ASSERT_EQ(changes.added.size(), 2u);
    EXPECT_EQ(changes.added[0].id, 9);
    EXPECT_EQ(changes.added[1].id, 10);

    EXPECT_TRUE(DiffMounts(after, after).added.empty());
    EXPECT_TRUE(DiffMounts(after, after).removed.empty());
}
