#include "capture/ShellEvents.h"

#include <array>
#include <utility>

namespace zlv::shell {

namespace {

struct Named
{
    std::uint32_t value;
    std::string_view name;
};

constexpr std::array<Named, 24> kNames{{
    {SHCNE_RENAMEITEM, "SHCNE_RENAMEITEM"},
    {SHCNE_CREATE, "SHCNE_CREATE"},
    {SHCNE_DELETE, "SHCNE_DELETE"},
    {SHCNE_MKDIR, "SHCNE_MKDIR"},
    {SHCNE_RMDIR, "SHCNE_RMDIR"},
    {SHCNE_MEDIAINSERTED, "SHCNE_MEDIAINSERTED"},
    {SHCNE_MEDIAREMOVED, "SHCNE_MEDIAREMOVED"},
    {SHCNE_DRIVEREMOVED, "SHCNE_DRIVEREMOVED"},
    {SHCNE_DRIVEADD, "SHCNE_DRIVEADD"},
    {SHCNE_NETSHARE, "SHCNE_NETSHARE"},
    {SHCNE_NETUNSHARE, "SHCNE_NETUNSHARE"},
    {SHCNE_ATTRIBUTES, "SHCNE_ATTRIBUTES"},
    {SHCNE_UPDATEDIR, "SHCNE_UPDATEDIR"},
    {SHCNE_UPDATEITEM, "SHCNE_UPDATEITEM"},
    {SHCNE_SERVERDISCONNECT, "SHCNE_SERVERDISCONNECT"},
    {SHCNE_UPDATEIMAGE, "SHCNE_UPDATEIMAGE"},
    {SHCNE_DRIVEADDGUI, "SHCNE_DRIVEADDGUI"},
    {SHCNE_RENAMEFOLDER, "SHCNE_RENAMEFOLDER"},
    {SHCNE_FREESPACE, "SHCNE_FREESPACE"},
    {SHCNE_DISKEVENTS, "SHCNE_DISKEVENTS"},
    {SHCNE_ASSOCCHANGED, "SHCNE_ASSOCCHANGED"},
    {SHCNE_GLOBALEVENTS, "SHCNE_GLOBALEVENTS"},
    {SHCNE_ALLEVENTS, "SHCNE_ALLEVENTS"},
    {SHCNE_INTERRUPT, "SHCNE_INTERRUPT"},
}};

struct Row
{
    std::string_view name;
    Classification classification;
};

constexpr std::array<Row, 10> kRecorded{{
    {"SHCNE_RENAMEITEM", {"File", "Renamed"}},
    {"SHCNE_CREATE", {"File", "Created"}},
    {"SHCNE_DELETE", {"File", "Deleted"}},
    {"SHCNE_MKDIR", {"Folder", "Created"}},
    {"SHCNE_RMDIR", {"Folder", "Deleted"}},
    {"SHCNE_RENAMEFOLDER", {"Folder", "Renamed"}},
    {"SHCNE_MEDIAINSERTED", {"Storage Media", "Inserted"}},
    {"SHCNE_MEDIAREMOVED", {"Storage Media", "Removed"}},
    {"SHCNE_DRIVEADD", {"Driver", "Added"}},
    {"SHCNE_DRIVEREMOVED", {"Driver", "Removed"}},
}};

} // namespace

std::string_view EventName(std::uint32_t event)
{
    for (const Named& n : kNames) {
        if (n.value == event) {
            return n.name;
        }
    }
    return {};
}

Classification Classify(std::string_view eventName)
{
    for (const Row& r : kRecorded) {
        if (r.name == eventName) {
            return r.classification;
        }
    }
    return {};
}

} // namespace zlv::shell
