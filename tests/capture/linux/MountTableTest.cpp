#include "capture/linux/MountTable.h"

#include <gtest/gtest.h>

using namespace zlv::linuxcapture;

TEST(MountTable, FieldsAreDecodedAndLinesParsedAcrossOptionalFieldsBadLinesSkipped)
{
    // Not three octal digits, cut short at the end, or out of byte range: left verbatim.
    const std::pair<std::string, std::string> fields[] = {
        {"/media/u/MY\\040STICK", "/media/u/MY STICK"},
        {"a\\011b\\012c\\134d", "a\tb\nc\\d"},
        {"x\\08y", "x\\08y"},
        {"end\\04", "end\\04"},
        {"\\", "\\"},
        {"\\777", "\\777"}};
    for (const auto& [field, decoded] : fields) {
        EXPECT_EQ(DecodeMountField(field), decoded) << field;
    }

    const std::string text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "41 22 8:17 / /media/u/MY\\040STICK rw,nosuid shared:7 master:2 - vfat /dev/sdb1 rw\n"
        "garbage line\n"
        "x 22 0:5 / /bad rw - tmpfs none rw\n"
        "43 22 0:40 / /mnt/no-dash rw shared:3 tmpfs none rw\n"
        "\n"
        "44 22 11:0 / /run/media/u/CD rw - iso9660 /dev/sr0 ro"; // no final newline
    const std::vector<MountEntry> expected = {{22, "/", "/dev/sda1", "ext4"},
                                              {41, "/media/u/MY STICK", "/dev/sdb1", "vfat"},
                                              {44, "/run/media/u/CD", "/dev/sr0", "iso9660"}};
    EXPECT_EQ(ParseMountInfo(text), expected);
}

TEST(MountTable, DrivesAreMountsStrictlyBelowARootAndChangesGoByMountId)
{
    EXPECT_TRUE(IsStrictlyBelow("/media/stick", "/media/"));
    EXPECT_FALSE(IsStrictlyBelow("/media/", "/media"));
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
    EXPECT_EQ(drives, (std::vector<MountEntry>{table[2], table[5]}));

    // /media/u/a unmounted and something else mounted at the same place gets a new id.
    const std::vector<MountEntry> after = {{6, "/mnt/b", "/dev/sdd", "ext4"},
                                           {9, "/media/u/a", "/dev/sde1", "exfat"},
                                           {10, "/media/c", "/dev/sdf1", "vfat"}};
    const MountChanges changes = DiffMounts(drives, after);
    EXPECT_EQ(changes.removed, (std::vector<MountEntry>{table[2]}));
    EXPECT_EQ(changes.added, (std::vector<MountEntry>{after[1], after[2]}));
    // Shares and user-space file systems are never walked; a fuseblk disk is local.
    for (const char* remote : {"nfs4", "cifs", "fuse.sshfs", "fuse"}) {
        EXPECT_TRUE(IsRemoteOrUserSpace(remote)) << remote;
    }
    EXPECT_FALSE(IsRemoteOrUserSpace("fuseblk") || IsRemoteOrUserSpace("ext4"));
    EXPECT_TRUE(DiffMounts(after, after).added.empty());
    EXPECT_TRUE(DiffMounts(after, after).removed.empty());
}
