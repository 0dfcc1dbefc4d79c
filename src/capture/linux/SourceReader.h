#pragma once

// The reader thread of the Linux notification source, private to it.
#include "capture/linux/LinuxNotificationSource.h"
#include "capture/linux/MediaMonitor.h"
#include "capture/linux/MountTable.h"
#include "capture/linux/SettleStage.h"
#include "capture/linux/WatchTree.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zlv {

// The form the kernel reports paths in, so that prefixes compare: symbolic links resolved,
// no trailing separator. A path that does not exist (yet) is only trimmed.
std::string CanonicalPath(const std::string& path);

// The incident of a capture that cannot go on.
CaptureIncident CaptureStoppedIncident(std::string sentence);

// Waits in poll() on the stop signal, the inotify queue, the mount table and udev, and
// hands what it finds to the source's queue, through the settle stage. The stage's
// deadlines are the sink's thread's to keep: with nothing pending in the watch tree itself
// the reader sleeps until the kernel has something to say.
class LinuxNotificationSource::Reader final
{
public:
    Reader(LinuxNotificationSource& owner, std::unique_ptr<linuxcapture::WatchTree> tree);
    void run();

private:
    void loop();
    void takeExclusions();
    bool readTable();
    bool isHomeDrive(const linuxcapture::MountEntry& mount) const;
    void mountsChanged();
    void watchDrive(const linuxcapture::MountEntry& drive);
    void publish(bool all);

    LinuxNotificationSource& m_owner;
    std::unique_ptr<linuxcapture::WatchTree> m_tree;
    linuxcapture::MediaMonitor m_media;
    std::vector<std::string> m_roots;
    std::string m_home;
    int m_mountFd = -1;
    bool m_haveTable = false;
    std::vector<linuxcapture::MountEntry> m_table;
    std::vector<linuxcapture::MountEntry> m_drives;
};

} // namespace zlv
