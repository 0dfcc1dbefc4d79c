#include "capture/linux/MountTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <unistd.h>
#include <unordered_set>

namespace zlv::linuxcapture {

namespace {

bool IsOctal(char ch)
{
    return ch >= '0' && ch <= '7';
}

std::vector<std::string_view> SplitSpaces(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) {
            fields.push_back(line.substr(at, end - at));
        }
        at = end + 1;
    }
    return fields;
}

} // namespace

std::string DecodeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            // \400 and above do not fit a byte; the kernel never writes them, so keep them
            // verbatim.
            if (value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::vector<MountEntry> table;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::vector<std::string_view> f = SplitSpaces(text.substr(at, end - at));
        at = end + 1;

        // id parent major:minor root mount-point options [optional...] - type source super
        const auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
        if (f.size() < 6 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) {
            continue;
        }
        MountEntry e;
        const auto [ptr, ec] = std::from_chars(f[0].data(), f[0].data() + f[0].size(), e.id);
        if (ec != std::errc() || ptr != f[0].data() + f[0].size()) {
            continue;
        }
        e.mountPoint = DecodeMountField(f[4]);
        e.fileSystem = DecodeMountField(*(dash + 1));
        e.source = DecodeMountField(*(dash + 2));
        table.push_back(std::move(e));
    }
    return table;
}

bool IsSameOrBelow(std::string_view path, std::string_view root)
{
    while (root.size() > 1 && root.back() == '/') {
        root.remove_suffix(1);
    }
    if (path.substr(0, root.size()) != root) {
        return false;
    }
    return path.size() == root.size() || root == "/" || path[root.size()] == '/';
}

bool IsStrictlyBelow(std::string_view path, std::string_view root)
{
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return IsSameOrBelow(path, root) && path.size() > root.size() && !(root == "/" && path == "/");
}

std::vector<MountEntry> Drives(const std::vector<MountEntry>& table,
                               const std::vector<std::string>& roots)
{
    std::vector<MountEntry> drives;
    for (const MountEntry& e : table) {
        if (std::any_of(roots.begin(), roots.end(),
                        [&](const std::string& r) { return IsStrictlyBelow(e.mountPoint, r); })) {
            drives.push_back(e);
        }
    }
    return drives;
}

bool IsRemoteOrUserSpace(std::string_view fileSystem)
{
    static constexpr std::string_view kRemote[] = {
        "nfs",  "nfs4",       "cifs",   "smb3",     "smbfs",     "sshfs",  "9p",
        "afs",  "ceph",       "fuse",   "davfs",    "glusterfs", "lustre", "ncpfs",
        "coda", "gvfsd-fuse", "beegfs", "orangefs", "virtiofs"};
    return fileSystem.starts_with("fuse.") ||
           std::find(std::begin(kRemote), std::end(kRemote), fileSystem) != std::end(kRemote);
}

MountChanges DiffMounts(const std::vector<MountEntry>& before, const std::vector<MountEntry>& after)
{
    std::unordered_set<int> beforeIds;
    std::unordered_set<int> afterIds;
    for (const MountEntry& e : before) {
        beforeIds.insert(e.id);
    }
    for (const MountEntry& e : after) {
        afterIds.insert(e.id);
    }
    MountChanges changes;
    for (const MountEntry& e : before) {
        if (!afterIds.count(e.id)) {
            changes.removed.push_back(e);
        }
    }
    for (const MountEntry& e : after) {
        if (!beforeIds.count(e.id)) {
            changes.added.push_back(e);
        }
    }
    return changes;
}

std::string ReadWholeFile(int fd, bool* ok)
{
    std::string text;
    char buffer[16384];
    if (::lseek(fd, 0, SEEK_SET) < 0) {
        if (ok) {
            *ok = false;
        }
        return {};
    }
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            if (ok) {
                *ok = false;
            }
            return {};
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (ok) {
        *ok = true;
    }
    return text;
}

} // namespace zlv::linuxcapture
