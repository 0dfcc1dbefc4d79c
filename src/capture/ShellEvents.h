#pragma once

#include <cstdint>
#include <string_view>

// The shell change events (mdlPubSHDefs): their values, their names and which of them
// become records.
namespace zlv::shell {

inline constexpr std::uint32_t SHCNE_RENAMEITEM = 0x00000001;
inline constexpr std::uint32_t SHCNE_CREATE = 0x00000002;
inline constexpr std::uint32_t SHCNE_DELETE = 0x00000004;
inline constexpr std::uint32_t SHCNE_MKDIR = 0x00000008;
inline constexpr std::uint32_t SHCNE_RMDIR = 0x00000010;
inline constexpr std::uint32_t SHCNE_MEDIAINSERTED = 0x00000020;
inline constexpr std::uint32_t SHCNE_MEDIAREMOVED = 0x00000040;
inline constexpr std::uint32_t SHCNE_DRIVEREMOVED = 0x00000080;
inline constexpr std::uint32_t SHCNE_DRIVEADD = 0x00000100;
inline constexpr std::uint32_t SHCNE_NETSHARE = 0x00000200;
inline constexpr std::uint32_t SHCNE_NETUNSHARE = 0x00000400;
inline constexpr std::uint32_t SHCNE_ATTRIBUTES = 0x00000800;
inline constexpr std::uint32_t SHCNE_UPDATEDIR = 0x00001000;
inline constexpr std::uint32_t SHCNE_UPDATEITEM = 0x00002000;
inline constexpr std::uint32_t SHCNE_SERVERDISCONNECT = 0x00004000;
inline constexpr std::uint32_t SHCNE_UPDATEIMAGE = 0x00008000;
inline constexpr std::uint32_t SHCNE_DRIVEADDGUI = 0x00010000;
inline constexpr std::uint32_t SHCNE_RENAMEFOLDER = 0x00020000;
inline constexpr std::uint32_t SHCNE_FREESPACE = 0x00040000;
inline constexpr std::uint32_t SHCNE_DISKEVENTS = 0x0002381F;
inline constexpr std::uint32_t SHCNE_ASSOCCHANGED = 0x08000000;
inline constexpr std::uint32_t SHCNE_GLOBALEVENTS = 0x0C0581E0;
inline constexpr std::uint32_t SHCNE_ALLEVENTS = 0x7FFFFFFF;
inline constexpr std::uint32_t SHCNE_INTERRUPT = 0x80000000;

// The event's name, matched on the whole value; empty for anything not in the table
// (an event combined with the interrupt flag included).
std::string_view EventName(std::uint32_t event);

struct Classification
{
    std::string_view object; // empty when the event is not recorded
    std::string_view action;
};

// What a named event records; both texts empty for names that are not recorded.
Classification Classify(std::string_view eventName);

// The two events whose items are not item identifier lists, so their items are never read.
constexpr bool ItemsAreNotIdLists(std::uint32_t event)
{
    return event == SHCNE_UPDATEIMAGE || event == SHCNE_FREESPACE;
}

} // namespace zlv::shell
