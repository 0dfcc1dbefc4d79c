#pragma once

#include <string_view>

// What a name tells about who made an item: the conventions programs and file managers
// follow on Linux desktops. The lists live in NameKinds.cpp, each written there once.
namespace zlv::linuxcapture {

enum class NameKind
{
    // What a desktop file manager hides by default: never recorded, however long it lives.
    Hidden,
    // A file a program is still downloading: recorded only under the name it ends up with.
    InProgress,
    // Everything else, `lu1234abcd.tmp` and a user's `notes.tmp` included: recorded unless
    // its net effect is nothing.
    Ordinary
};

// The kind of a file's or folder's own name (not of the folders above it). Download
// names count for files only: a folder called "Spare.part" is the user's.
NameKind KindOfName(std::string_view name, bool isDir);

// The last component of an absolute path.
std::string_view BaseName(std::string_view path);

} // namespace zlv::linuxcapture
