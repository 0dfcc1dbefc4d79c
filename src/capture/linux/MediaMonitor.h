#pragma once

#include "capture/Notification.h"
#include "capture/linux/MountTable.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

struct udev;
struct udev_monitor;
struct udev_device;

namespace zlv::linuxcapture {

// What one udev event of the block subsystem says about a drive.
struct BlockChange
{
    std::string action;        // "change", "add", "remove", ...
    std::string devType;       // "disk" or "partition"
    bool mediaChange = false;  // DISK_MEDIA_CHANGE=1
    bool optical = false;      // ID_CDROM=1: the drive reports its medium itself
    bool opticalMedia = false; // ID_CDROM_MEDIA=1
    std::optional<std::uint64_t> sizeSectors;
};

// Whether, after this event, the drive holds a medium (true) or none (false); nullopt when
// the event says nothing about media. Only a "change" of a whole disk that stays attached
// counts: plugging a drive in or out is a mount matter, not a medium one.
std::optional<bool> MediaPresence(const BlockChange& change);

// The medium state of every drive seen, so that an event repeating what is known (udev
// replays "change" for every device on a trigger) gives no record.
class MediaStates final
{
public:
    // The event to deliver for `device` now holding a medium or not; nullopt when that is
    // what was known already.
    std::optional<std::uint32_t> update(const std::string& device, bool present);

private:
    std::unordered_map<std::string, bool> m_present;
};

// The shell item of a mount point: named after its last component, its path ending in "/"
// so that the record's Path is the mount point itself.
ShellItem MountPointItem(const std::string& mountPoint);

// What udev knows of a medium's name: its file system's label and the drive's model, each
// in udev's escaped form (\x20 for a space) where it has one, else plain.
struct MediumNames
{
    std::string labelEncoded;
    std::string label;
    std::string modelEncoded;
    std::string model;
};

// The name a user knows a medium by: its label, else the drive's model; empty when udev
// knows neither.
std::string MediumName(const MediumNames& names);

// The item that stands for a drive: its mount point when the device or one of its
// partitions is mounted, else the device node named by `name` (by the node's own name when
// `name` is empty).
ShellItem DriveItem(const std::string& devNode, const std::vector<MountEntry>& mounts,
                    const std::string& name = {});

// Media inserted into and removed from drives that stay attached, from udev's monitor.
class MediaMonitor final
{
public:
    MediaMonitor() = default;
    ~MediaMonitor();
    MediaMonitor(const MediaMonitor&) = delete;
    MediaMonitor& operator=(const MediaMonitor&) = delete;

    // False when udev cannot be reached (no udev, a container): media events are then not
    // recorded, everything else is.
    bool open();
    int fd() const;

    // The media notifications of every device event waiting on the monitor.
    std::vector<Notification> receive(const std::vector<MountEntry>& mounts);

private:
    void learnCurrentStates();

    ::udev* m_udev = nullptr;
    ::udev_monitor* m_monitor = nullptr;
    MediaStates m_states;
    // The name each medium had when it came in: once it is out, udev no longer knows its label.
    std::unordered_map<std::string, std::string> m_names;
};

} // namespace zlv::linuxcapture
