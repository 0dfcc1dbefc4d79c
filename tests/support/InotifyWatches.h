#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>

namespace zlv::test {

// The inotify watches this process holds, as the kernel counts them.
inline std::size_t WatchesHeld()
{
    std::size_t watches = 0;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fdinfo")) {
        std::ifstream info(fd.path());
        for (std::string line; std::getline(info, line);) {
            watches += line.rfind("inotify wd:", 0) == 0;
        }
    }
    return watches;
}

} // namespace zlv::test
