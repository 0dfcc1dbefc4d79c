#include "capture/ShellEvents.h"

#include <gtest/gtest.h>
#include <string>

using namespace zlv::shell;

TEST(ShellEvents, EveryTableRowIsNamedAndAnythingElseIsNot)
{
    const std::pair<std::uint32_t, const char*> rows[] = {
        {0x00000001, "SHCNE_RENAMEITEM"},    {0x00000002, "SHCNE_CREATE"},
        {0x00000004, "SHCNE_DELETE"},        {0x00000008, "SHCNE_MKDIR"},
        {0x00000010, "SHCNE_RMDIR"},         {0x00000020, "SHCNE_MEDIAINSERTED"},
        {0x00000040, "SHCNE_MEDIAREMOVED"},  {0x00000080, "SHCNE_DRIVEREMOVED"},
        {0x00000100, "SHCNE_DRIVEADD"},      {0x00000200, "SHCNE_NETSHARE"},
        {0x00000400, "SHCNE_NETUNSHARE"},    {0x00000800, "SHCNE_ATTRIBUTES"},
        {0x00001000, "SHCNE_UPDATEDIR"},     {0x00002000, "SHCNE_UPDATEITEM"},
        {0x00004000, "SHCNE_SERVERDISCONNECT"}, {0x00008000, "SHCNE_UPDATEIMAGE"},
        {0x00010000, "SHCNE_DRIVEADDGUI"},   {0x00020000, "SHCNE_RENAMEFOLDER"},
        {0x00040000, "SHCNE_FREESPACE"},     {0x0002381F, "SHCNE_DISKEVENTS"},
        {0x08000000, "SHCNE_ASSOCCHANGED"},  {0x0C0581E0, "SHCNE_GLOBALEVENTS"},
        {0x7FFFFFFF, "SHCNE_ALLEVENTS"},     {0x80000000, "SHCNE_INTERRUPT"},
    };
    for (const auto& [value, name] : rows) {
        EXPECT_EQ(EventName(value), name) << std::hex << value;
    }
    for (std::uint32_t other : {0u, 0x80000002u, 0x00000003u, 0x00080000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(EventName(other), "") << std::hex << other;
    }
}

TEST(ShellEvents, OnlyTheTenOperationEventsAreClassified)
{
    EXPECT_EQ(Classify("SHCNE_RENAMEITEM").action, "Renamed");
    EXPECT_EQ(Classify("SHCNE_RENAMEFOLDER").object, "Folder");
    EXPECT_EQ(Classify("SHCNE_MEDIAINSERTED").object, "Storage Media");
    EXPECT_EQ(Classify("SHCNE_DRIVEADD").object, "Driver");
    EXPECT_EQ(Classify("SHCNE_DRIVEREMOVED").action, "Removed");
    int recorded = 0;
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        if (!Classify(EventName(bit)).object.empty()) {
            ++recorded;
        }
    }
    EXPECT_EQ(recorded, 10);
    EXPECT_EQ(Classify("shcne_create").object, "") << "names compare with case";
    EXPECT_EQ(Classify("").object, "");
}
