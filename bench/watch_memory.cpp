// What a watched folder costs in memory: a tree of 150,000 folders watched by the capture's
// watch tree, its heap before and after, against `inotifywait -m -r` over the same tree,
// whose resident memory is compared with that of one watching an empty folder. The two
// run one after the other: together they would need more watches than a user may have.
//
//   watch_memory [--folders 150000] [--runs 3]
#include "capture/linux/WatchTree.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace sfs = std::filesystem;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::size_t HeapInUse()
{
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Folders in three levels under `root`, names as long as a home's usually are.
std::size_t MakeTree(const std::string& root, std::size_t folders)
{
    std::size_t made = 0;
    const std::size_t fan = 60;
    for (std::size_t a = 0; made < folders; ++a) {
        const std::string top = root + "/project-" + std::to_string(a);
        ::mkdir(top.c_str(), 0700);
        ++made;
        for (std::size_t b = 0; b < fan && made < folders; ++b) {
            const std::string mid = top + "/module-" + std::to_string(b);
            ::mkdir(mid.c_str(), 0700);
            ++made;
            for (std::size_t c = 0; c < fan && made < folders; ++c) {
                ::mkdir((mid + "/src-" + std::to_string(c)).c_str(), 0700);
                ++made;
            }
        }
    }
    return made;
}

long RssKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

// inotifywait over `dir`: its resident memory in KiB once every watch is set.
long InotifywaitRssKb(const std::string& dir)
{
    int err[2];
    if (::pipe(err) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(err[1], 2);
        ::close(err[0]);
        ::execlp("inotifywait", "inotifywait", "-m", "-r", "-q", "-q", dir.c_str(),
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(err[1]);
    // With -q -q it says nothing; it is set up once its watch count stops growing.
    long rss = -1;
    std::size_t still = 0;
    for (int tick = 0; tick < 1200 && still < 10; ++tick) {
        ::usleep(100000);
        const long now = RssKb(pid);
        still = now == rss ? still + 1 : 0;
        rss = now;
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    ::close(err[0]);
    return rss;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t folders = 150000;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--folders") == 0) {
            folders = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        }
    }
    char pattern[] = "/tmp/zlv-bench-watch-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = pattern;
    const std::string tree = root + "/home";
    const std::string empty = root + "/empty";
    ::mkdir(tree.c_str(), 0700);
    ::mkdir(empty.c_str(), 0700);
    const std::size_t made = MakeTree(tree, folders);

    std::vector<double> ours, theirs;
    std::size_t watched = 0;
    for (int run = 0; run < runs; ++run) {
        {
            zlv::linuxcapture::WatchTree watches(root + "/data");
            if (!watches.open()) {
                return 1;
            }
            ::malloc_trim(0);
            const std::size_t before = HeapInUse();
            watches.watchRoot(tree);
            ::malloc_trim(0);
            watched = watches.watchCount();
            ours.push_back(static_cast<double>(HeapInUse() - before) /
                           static_cast<double>(std::max<std::size_t>(watched, 1)));
        }
        const long base = InotifywaitRssKb(empty);
        const long full = InotifywaitRssKb(tree);
        theirs.push_back(static_cast<double>(full - base) * 1024.0 / static_cast<double>(made));
    }
    sfs::remove_all(root);
    std::printf("folders: %zu, watched: %zu\n", made + 1, watched);
    std::printf("inotifywait_bytes_per_folder: %.0f\n", Median(theirs));
    std::printf("ratio_vs_inotifywait: %.2f\n", Median(ours) / Median(theirs));
    std::printf("watch_bytes_per_folder: %.0f\n", Median(ours));
    return watched > made / 2 ? 0 : 1;
}
