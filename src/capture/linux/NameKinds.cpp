#include "capture/linux/NameKinds.h"

#include <algorithm>
#include <array>

namespace zlv::linuxcapture {

namespace {

// Hidden names. A file manager hides these three shapes; the programs that make them:
//   ".name"   every dot file: GIO's save (.goutputstream-XXXXXX), LibreOffice's lock
//             (.~lock.report.odt#), vim's swap files (.notes.txt.swp, .swx) and its
//             .viminfo, Emacs's lock link (.#notes.txt), Kate's swap (.notes.kate-swp),
//             caches and settings folders (.cache, .config)
//   "name~"   the backup vim, Emacs, gedit and Kate keep of the file they save (notes.txt~)
//   "#name#"  Emacs's autosave of a buffer not saved yet (#notes.txt#)
bool IsHiddenName(std::string_view name)
{
    if (name.empty()) {
        return false;
    }
    return name.front() == '.' || name.back() == '~' ||
           (name.size() >= 2 && name.front() == '#' && name.back() == '#');
}

// Endings of files still being downloaded or written by a transfer:
constexpr std::array<std::string_view, 5> kInProgressEndings = {
    ".part",       // Firefox and Thunderbird, Transmission, KDE's file transfers
    ".crdownload", // Chromium, Chrome, Edge, Brave, Vivaldi, Opera ("Unconfirmed 123.crdownload")
    ".crswap",     // Chromium-based browsers while a web page edits a file in place
    ".!qB",        // qBittorrent's unfinished files
    ".aria2",      // aria2's record of an unfinished download, beside the file
};

} // namespace

NameKind KindOfName(std::string_view name, bool isDir)
{
    if (IsHiddenName(name)) {
        return NameKind::Hidden;
    }
    if (!isDir && std::any_of(kInProgressEndings.begin(), kInProgressEndings.end(),
                              [&](std::string_view end) {
                                  return name.size() > end.size() && name.ends_with(end);
                              })) {
        return NameKind::InProgress;
    }
    return NameKind::Ordinary;
}

std::string_view BaseName(std::string_view path)
{
    const std::size_t cut = path.rfind('/');
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

} // namespace zlv::linuxcapture
