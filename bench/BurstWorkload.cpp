#include "BurstWorkload.h"

#include <barrier>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zlv::bench {

void CreateEmptyFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
    }
}

std::string NumberedPath(const std::string& dir, const char* prefix, int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s%05d", prefix, i);
    return dir + "/" + name;
}

void PrepareBurst(const std::string& dir)
{
    for (int i = 0; i < kBurstFiles; ++i) {
        CreateEmptyFile(NumberedPath(dir, "o", i));
        CreateEmptyFile(NumberedPath(dir, "d", i));
    }
}

void RunBurst(const std::string& dir)
{
    for (int i = 0; i < kBurstFiles; ++i) {
        CreateEmptyFile(NumberedPath(dir, "c", i));
    }
    for (int i = 0; i < kBurstFiles; ++i) {
        ::rename(NumberedPath(dir, "o", i).c_str(), NumberedPath(dir, "r", i).c_str());
    }
    for (int i = 0; i < kBurstFiles; ++i) {
        ::unlink(NumberedPath(dir, "d", i).c_str());
    }
    std::barrier start(kBurstTrees);
    std::vector<std::thread> threads;
    for (int t = 0; t < kBurstTrees; ++t) {
        threads.emplace_back([&, t] {
            const std::string b = dir + "/t" + std::to_string(t) + "/a/b";
            start.arrive_and_wait();
            std::filesystem::create_directories(b);
            for (int f = 0; f < kBurstTreeFiles; ++f) {
                CreateEmptyFile(b + "/f" + std::to_string(f));
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
}

} // namespace zlv::bench
