#pragma once

#include <cstdint>

namespace zlv::fs {

// What identifies one file on disk, so that a reader notices when it was replaced.
struct FileState
{
    std::uint64_t size = 0;
    std::uint64_t identity = 0; // inode (Linux) or file index (Windows)
    std::uint64_t device = 0;   // device (Linux) or volume serial number (Windows)
};

} // namespace zlv::fs
