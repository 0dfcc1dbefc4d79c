#include "capture/linux/MediaMonitor.h"

#include "capture/ShellEvents.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#ifdef ZLV_HAVE_UDEV
#include <libudev.h>
#endif

namespace zlv::linuxcapture {

namespace {

std::string LastComponent(const std::string& path)
{
    std::string_view p = path;
    while (p.size() > 1 && p.back() == '/') {
        p.remove_suffix(1);
    }
    const std::size_t cut = p.rfind('/');
    return std::string(cut == std::string_view::npos || p.size() == 1 ? p : p.substr(cut + 1));
}

// True when `source` is `devNode` or one of its partitions: /dev/sdb1 of /dev/sdb,
// /dev/mmcblk0p1 of /dev/mmcblk0; /dev/sdb of /dev/sd is not.
bool IsDeviceOrPartition(std::string_view source, std::string_view devNode)
{
    if (devNode.empty() || source.substr(0, devNode.size()) != devNode) {
        return false;
    }
    std::string_view rest = source.substr(devNode.size());
    if (rest.empty()) {
        return true;
    }
    const bool endsInDigit = std::isdigit(static_cast<unsigned char>(devNode.back())) != 0;
    if (endsInDigit) {
        if (rest.front() != 'p') {
            return false;
        }
        rest.remove_prefix(1);
    }
    return !rest.empty() && std::all_of(rest.begin(), rest.end(), [](char ch) {
        return std::isdigit(static_cast<unsigned char>(ch)) != 0;
    });
}

} // namespace

std::optional<bool> MediaPresence(const BlockChange& change)
{
    if (change.action != "change" || change.devType != "disk") {
        return std::nullopt;
    }
    if (change.optical) {
        return change.opticalMedia;
    }
    if (!change.mediaChange || !change.sizeSectors) {
        return std::nullopt;
    }
    return *change.sizeSectors > 0;
}

std::optional<std::uint32_t> MediaStates::update(const std::string& device, bool present)
{
    const auto known = m_present.find(device);
    if (known != m_present.end() && known->second == present) {
        return std::nullopt;
    }
    m_present[device] = present;
    return present ? shell::SHCNE_MEDIAINSERTED : shell::SHCNE_MEDIAREMOVED;
}

ShellItem MountPointItem(const std::string& mountPoint)
{
    std::string path = mountPoint;
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    return ShellItem{LastComponent(mountPoint), path};
}

std::string MediumName(const MediumNames& names)
{
    // udev writes bytes it will not show as \xHH; models come padded with spaces.
    const auto decode = [](std::string_view text) {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            unsigned value = 0;
            if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
                std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr ==
                    text.data() + i + 4) {
                out += static_cast<char>(value);
                i += 3;
            } else {
                out += text[i];
            }
        }
        const std::size_t first = out.find_first_not_of(' ');
        return first == std::string::npos
                   ? std::string()
                   : out.substr(first, out.find_last_not_of(' ') + 1 - first);
    };
    for (const std::string& encoded : {names.labelEncoded, names.label}) {
        if (std::string label = decode(encoded); !label.empty()) {
            return label;
        }
    }
    if (std::string model = decode(names.modelEncoded); !model.empty()) {
        return model;
    }
    // The plain model has its spaces turned into underscores.
    std::string model = names.model;
    std::replace(model.begin(), model.end(), '_', ' ');
    return decode(model);
}

ShellItem DriveItem(const std::string& devNode, const std::vector<MountEntry>& mounts,
                    const std::string& name)
{
    for (const MountEntry& m : mounts) {
        if (IsDeviceOrPartition(m.source, devNode)) {
            return MountPointItem(m.mountPoint);
        }
    }
    return ShellItem{name.empty() ? LastComponent(devNode) : name, devNode};
}

#ifdef ZLV_HAVE_UDEV

namespace {

std::string_view Property(udev_device* d, const char* key)
{
    const char* value = ::udev_device_get_property_value(d, key);
    return value ? std::string_view(value) : std::string_view();
}

BlockChange Describe(udev_device* d, const char* action)
{
    BlockChange c;
    c.action = action ? action : "";
    const char* type = ::udev_device_get_devtype(d);
    c.devType = type ? type : "";
    c.mediaChange = Property(d, "DISK_MEDIA_CHANGE") == "1";
    c.optical = Property(d, "ID_CDROM") == "1";
    c.opticalMedia = Property(d, "ID_CDROM_MEDIA") == "1";
    if (const char* size = ::udev_device_get_sysattr_value(d, "size")) {
        std::uint64_t sectors = 0;
        const std::string_view text(size);
        if (std::from_chars(text.data(), text.data() + text.size(), sectors).ec == std::errc()) {
            c.sizeSectors = sectors;
        }
    }
    return c;
}

} // namespace

MediaMonitor::~MediaMonitor()
{
    if (m_monitor) {
        ::udev_monitor_unref(m_monitor);
    }
    if (m_udev) {
        ::udev_unref(m_udev);
    }
}

bool MediaMonitor::open()
{
    m_udev = ::udev_new();
    if (!m_udev) {
        return false;
    }
    m_monitor = ::udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor ||
        ::udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", "disk") < 0 ||
        ::udev_monitor_enable_receiving(m_monitor) < 0) {
        return false;
    }
    learnCurrentStates();
    return true;
}

int MediaMonitor::fd() const
{
    return m_monitor ? ::udev_monitor_get_fd(m_monitor) : -1;
}

void MediaMonitor::learnCurrentStates()
{
    // Without a baseline the first replayed "change" of a drive that has held its disc all
    // along would read as an insertion.
    udev_enumerate* e = ::udev_enumerate_new(m_udev);
    if (!e) {
        return;
    }
    ::udev_enumerate_add_match_subsystem(e, "block");
    ::udev_enumerate_add_match_property(e, "DEVTYPE", "disk");
    ::udev_enumerate_scan_devices(e);
    for (udev_list_entry* it = ::udev_enumerate_get_list_entry(e); it;
         it = ::udev_list_entry_get_next(it)) {
        udev_device* d = ::udev_device_new_from_syspath(m_udev, ::udev_list_entry_get_name(it));
        if (!d) {
            continue;
        }
        BlockChange c = Describe(d, "change");
        c.mediaChange = true; // ask the question the event would answer
        const char* node = ::udev_device_get_devnode(d);
        if (const std::optional<bool> present = MediaPresence(c); present && node) {
            m_states.update(node, *present);
        }
        ::udev_device_unref(d);
    }
    ::udev_enumerate_unref(e);
}

std::vector<Notification> MediaMonitor::receive(const std::vector<MountEntry>& mounts)
{
    std::vector<Notification> out;
    if (!m_monitor) {
        return out;
    }
    while (udev_device* d = ::udev_monitor_receive_device(m_monitor)) {
        const char* node = ::udev_device_get_devnode(d);
        const std::optional<bool> present = MediaPresence(Describe(d, ::udev_device_get_action(d)));
        if (node && present) {
            if (const auto event = m_states.update(node, *present)) {
                std::string name = MediumName({std::string(Property(d, "ID_FS_LABEL_ENC")),
                                               std::string(Property(d, "ID_FS_LABEL")),
                                               std::string(Property(d, "ID_MODEL_ENC")),
                                               std::string(Property(d, "ID_MODEL"))});
                if (*present) {
                    m_names[node] = name;
                } else if (const auto known = m_names.find(node); known != m_names.end()) {
                    name = known->second.empty() ? name : known->second;
                    m_names.erase(known);
                }
                out.push_back(Notification{*event, DriveItem(node, mounts, name), std::nullopt});
            }
        }
        ::udev_device_unref(d);
    }
    return out;
}

#else

MediaMonitor::~MediaMonitor() = default;

bool MediaMonitor::open()
{
    return false;
}

int MediaMonitor::fd() const
{
    return -1;
}

void MediaMonitor::learnCurrentStates() {}

std::vector<Notification> MediaMonitor::receive(const std::vector<MountEntry>&)
{
    return {};
}

#endif

} // namespace zlv::linuxcapture
