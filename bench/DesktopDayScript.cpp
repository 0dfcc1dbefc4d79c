#include "DesktopDayScript.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <git2.h>
#include <random>
#include <thread>
#include <unistd.h>

namespace zlv::bench::day {

namespace {

namespace sfs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRounds = 8; // each kind of operation this many times: 15 x 8 = 120

void Write(const std::string& path, const std::string& text = "text\n")
{
    std::ofstream(path, std::ios::binary) << text;
}

void Rename(const std::string& from, const std::string& to)
{
    ::rename(from.c_str(), to.c_str());
}

void Remove(const std::string& path)
{
    std::error_code ec;
    sfs::remove_all(path, ec);
}

std::string Rec(const char* object, const char* action, const std::string& folder,
                const std::string& name, const std::string& newName = {})
{
    return std::string(object) + "\t" + action + "\t" + folder + "/\t" + name + "\t" + newName;
}

std::string Item(const std::string& folder, const std::string& name)
{
    return folder + "/\t" + name;
}

std::string N(const char* stem, int k, const char* end = "")
{
    return stem + std::to_string(k) + end;
}

// Written a chunk at a time over `duration`, as a download arrives.
void WriteSlowly(const std::string& path, std::chrono::milliseconds duration)
{
    std::ofstream out(path, std::ios::binary);
    const auto until = std::chrono::steady_clock::now() + duration;
    do {
        out << std::string(16384, 'd') << std::flush;
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < until);
}

} // namespace

void MakeHome(const std::string& home)
{
    const std::string doc = home + "/Documents";
    for (const char* dir : {"/notes", "/reports", "/code", "/inbox", "/archive", "/letters"}) {
        sfs::create_directories(doc + dir);
    }
    for (int k = 0; k < kRounds; ++k) {
        Write(doc + "/notes/" + N("note-", k, ".txt"));
        Write(doc + "/reports/" + N("report-", k, ".odt"));
        Write(doc + "/code/" + N("script-", k, ".sh"));
        Write(doc + "/inbox/" + N("scan-", k, ".pdf"));
        Write(doc + "/inbox/" + N("junk-", k, ".txt"));
        sfs::create_directories(doc + "/" + N("old-folder-", k));
        sfs::create_directories(doc + "/" + N("empty-", k));
    }
    for (int f = 0; f < 40; ++f) {
        sfs::create_directories(doc + "/" + N("d", f));
        for (int i = 0; i < 50; ++i) {
            Write(doc + "/" + N("d", f) + "/" + N("page-", i, ".txt"));
        }
    }
    for (int f = 0; f < 30; ++f) {
        sfs::create_directories(home + "/Pictures/" + N("p", f));
        for (int i = 0; i < 100; ++i) {
            Write(home + "/Pictures/" + N("p", f) + "/" + N("img-", i, ".jpg"));
        }
    }
    for (int f = 0; f < 100; ++f) {
        sfs::create_directories(home + "/Music/" + N("album-", f));
        for (int i = 0; i < 12; ++i) {
            Write(home + "/Music/" + N("album-", f) + "/" + N("track-", i, ".mp3"));
        }
    }
    sfs::create_directories(home + "/Downloads");
    // A project under Git, which ignores its build, its packages and compiled Python.
    const std::string proj = home + "/src/proj";
    for (int f = 0; f < 20; ++f) {
        sfs::create_directories(proj + "/src/" + N("mod", f));
        for (int i = 0; i < 10; ++i) {
            Write(proj + "/src/" + N("mod", f) + "/" + N("file", i, ".c"));
        }
    }
    Write(proj + "/.gitignore", "build/\nnode_modules/\n__pycache__/\n*.o\n");
    git_libgit2_init();
    git_repository* repo = nullptr;
    git_repository_init(&repo, proj.c_str(), 0);
    git_repository_free(repo);
    git_libgit2_shutdown();
    // A tool whose build tree tags itself as a cache.
    sfs::create_directories(home + "/src/tool/target/debug");
    Write(home + "/src/tool/target/CACHEDIR.TAG", "Signature: 8a477f597d28d172789f06886806bc55\n");
    // What nobody sees: caches, settings, a browser profile, the trash.
    for (const char* dir : {"/.cache/thumbnails/normal", "/.config/app", "/.mozilla/profile",
                            "/.local/share/Trash/files"}) {
        sfs::create_directories(home + dir);
    }
}

std::vector<UserOperation> RunUserDay(const std::string& home, unsigned seed)
{
    const std::string doc = home + "/Documents";
    const std::string dl = home + "/Downloads";
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pause(150, 600);
    using Step = std::function<UserOperation(int)>;
    const std::vector<Step> kinds = {
        [&](int k) { // a new file written by a program the user runs
            const std::string f = doc + "/" + N("d", k);
            Write(f + "/" + N("letter-", k, ".txt"));
            return UserOperation{
                "new file", {Rec("File", "Created", f, N("letter-", k, ".txt"))}, {}, {}};
        },
        [&](int k) { // a GTK editor saves a new document
            const std::string f = doc + "/letters";
            Write(f + "/.goutputstream-" + N("NEW", k));
            Rename(f + "/.goutputstream-" + N("NEW", k), f + "/" + N("todo-", k, ".txt"));
            return UserOperation{
                "save new (GIO)", {Rec("File", "Created", f, N("todo-", k, ".txt"))}, {}, {}};
        },
        [&](int k) { // ... and an existing one
            const std::string f = doc + "/notes";
            Write(f + "/.goutputstream-" + N("OLD", k));
            Rename(f + "/.goutputstream-" + N("OLD", k), f + "/" + N("note-", k, ".txt"));
            return UserOperation{"save existing (GIO)", {}, {Item(f, N("note-", k, ".txt"))}, {}};
        },
        [&](int k) { // an office suite saves an open document
            const std::string f = doc + "/reports";
            const std::string name = N("report-", k, ".odt");
            Write(f + "/.~lock." + name + "#");
            Write(f + "/" + N("lu", 4000 + k, "abcd.tmp"), "document");
            Rename(f + "/" + N("lu", 4000 + k, "abcd.tmp"), f + "/" + name);
            Remove(f + "/.~lock." + name + "#");
            return UserOperation{"save existing (office)", {}, {Item(f, name)}, {}};
        },
        [&](int k) { // ... and saves one under a new name
            const std::string f = doc + "/reports";
            const std::string name = N("plan-", k, ".odt");
            Write(f + "/" + N("lu", 5000 + k, "efgh.tmp"), "document");
            Rename(f + "/" + N("lu", 5000 + k, "efgh.tmp"), f + "/" + name);
            return UserOperation{"save new (office)", {Rec("File", "Created", f, name)}, {}, {}};
        },
        [&](int k) { // vim writes a file it edits: probe, backup dance, swap gone
            const std::string f = doc + "/code";
            const std::string name = N("script-", k, ".sh");
            Write(f + "/4913");
            Remove(f + "/4913");
            Rename(f + "/" + name, f + "/" + name + "~");
            Write(f + "/" + name, "edited\n");
            Remove(f + "/" + name + "~");
            return UserOperation{"edit (vim)", {}, {Item(f, name), Item(f, "4913")}, {}};
        },
        [&](int k) {
            const std::string f = home + "/Pictures/" + N("p", k);
            Rename(f + "/img-0.jpg", f + "/" + N("holiday-", k, ".jpg"));
            return UserOperation{"rename",
                                 {Rec("File", "Renamed", f, "img-0.jpg", N("holiday-", k, ".jpg"))},
                                 {},
                                 {}};
        },
        [&](int k) {
            const std::string name = N("scan-", k, ".pdf");
            Rename(doc + "/inbox/" + name, doc + "/archive/" + name);
            return UserOperation{"move",
                                 {Rec("File", "Deleted", doc + "/inbox", name),
                                  Rec("File", "Created", doc + "/archive", name)},
                                 {},
                                 {}};
        },
        [&](int k) {
            const std::string f = home + "/Music/" + N("album-", k);
            Remove(f + "/track-3.mp3");
            return UserOperation{"delete", {Rec("File", "Deleted", f, "track-3.mp3")}, {}, {}};
        },
        [&](int k) {
            sfs::create_directory(doc + "/" + N("Project ", k));
            return UserOperation{
                "new folder", {Rec("Folder", "Created", doc, N("Project ", k))}, {}, {}};
        },
        [&](int k) {
            Rename(doc + "/" + N("old-folder-", k), doc + "/" + N("Taxes 20", 20 + k));
            return UserOperation{
                "rename folder",
                {Rec("Folder", "Renamed", doc, N("old-folder-", k), N("Taxes 20", 20 + k))},
                {},
                {}};
        },
        [&](int k) {
            Remove(doc + "/" + N("empty-", k));
            return UserOperation{
                "delete folder", {Rec("Folder", "Deleted", doc, N("empty-", k))}, {}, {}};
        },
        [&](int k) { // Firefox: placeholder, .part, placeholder removed, .part renamed
            const std::string name = N("archive-", k, ".zip");
            Write(dl + "/" + name, "");
            WriteSlowly(dl + "/" + name + ".part", k % 2 ? 1500ms : 200ms);
            Remove(dl + "/" + name);
            Rename(dl + "/" + name + ".part", dl + "/" + name);
            return UserOperation{"download (Firefox)", {Rec("File", "Created", dl, name)}, {}, {}};
        },
        [&](int k) { // Chromium: its own name, then the final one with its ending
            const std::string name = N("paper-", k, ".pdf");
            const std::string first = dl + "/" + N("Unconfirmed ", 100000 + k, ".crdownload");
            WriteSlowly(first, k % 2 ? 1500ms : 200ms);
            Rename(first, dl + "/" + name + ".crdownload");
            Rename(dl + "/" + name + ".crdownload", dl + "/" + name);
            return UserOperation{"download (Chromium)", {Rec("File", "Created", dl, name)}, {}, {}};
        },
        [&](int k) { // to the trash, as the file manager does
            const std::string name = N("junk-", k, ".txt");
            Rename(doc + "/inbox/" + name, home + "/.local/share/Trash/files/" + name);
            return UserOperation{"trash", {Rec("File", "Deleted", doc + "/inbox", name)}, {}, {}};
        },
    };
    std::vector<UserOperation> done;
    for (int k = 0; k < kRounds; ++k) {
        for (const Step& step : kinds) {
            UserOperation op = step(k);
            op.done = std::chrono::steady_clock::now();
            done.push_back(std::move(op));
            std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        }
    }
    return done;
}

long RunProgramChurn(const std::string& home, const std::atomic<bool>& stop)
{
    std::atomic<long> operations{0};
    const auto count = [&operations](long n) { operations += n; };
    const auto until = [&stop](std::chrono::milliseconds wait) {
        const auto end = std::chrono::steady_clock::now() + wait;
        while (!stop && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(20ms);
        }
        return !stop;
    };
    std::vector<std::thread> programs;
    // Editors: swap files, vim's probe, Emacs's autosave and lock, a document's lock.
    programs.emplace_back([&] {
        const std::string f = home + "/Documents/code";
        for (int i = 0; until(700ms); ++i) {
            Write(f + "/.draft.txt.swp");
            Write(f + "/4913");
            Remove(f + "/4913");
            Write(f + "/#draft.txt#");
            // Emacs's lock is a dangling link; a failure only leaves this round without one.
            [[maybe_unused]] const int locked =
                ::symlink("user@host.1234", (f + "/.#draft.txt").c_str());
            Write(home + "/Documents/reports/.~lock.plan-x.odt#");
            until(400ms);
            Remove(f + "/.draft.txt.swp");
            Remove(f + "/#draft.txt#");
            Remove(f + "/.#draft.txt");
            Remove(home + "/Documents/reports/.~lock.plan-x.odt#");
            count(10);
        }
    });
    // Builds in the project, compiled Python beside its sources, packages installed.
    programs.emplace_back([&] {
        const std::string proj = home + "/src/proj";
        for (int round = 0; until(round == 0 ? 2000ms : 12000ms); ++round) {
            for (int i = 0; i < 300; ++i) {
                const std::string dir = proj + "/build/CMakeFiles/" + N("target", i / 30) + ".dir";
                sfs::create_directories(dir);
                Write(dir + "/" + N("unit", i, ".c.o"));
                Write(proj + "/src/" + N("mod", i % 20) + "/" + N("file", i % 10, ".o"));
            }
            sfs::create_directories(proj + "/src/__pycache__");
            Write(proj + "/src/__pycache__/setup.cpython-311.pyc");
            Remove(proj + "/node_modules");
            for (int p = 0; p < 100; ++p) {
                const std::string pkg = proj + "/node_modules/" + N("pkg-", p) + "/lib";
                sfs::create_directories(pkg);
                for (int i = 0; i < 20; ++i) {
                    Write(pkg + "/" + N("index", i, ".js"));
                }
            }
            until(4000ms);
            Remove(proj + "/build");
            count(300 * 2 + 2 + 2100 * 2 + 10);
        }
    });
    // A tool's build tree that tags itself as a cache, cleaned and built again.
    programs.emplace_back([&] {
        const std::string target = home + "/src/tool/target";
        while (until(9000ms)) {
            Remove(target);
            sfs::create_directories(target + "/debug/deps");
            Write(target + "/CACHEDIR.TAG", "Signature: 8a477f597d28d172789f06886806bc55\n");
            for (int i = 0; i < 200; ++i) {
                Write(target + "/debug/deps/" + N("lib", i, ".rlib"));
            }
            count(205);
        }
    });
    // Thumbnails and a browser's profile, all the time.
    programs.emplace_back([&] {
        for (int i = 0; until(50ms); ++i) {
            Write(home + "/.cache/thumbnails/normal/" + N("t", i % 500, ".png"));
            Write(home + "/.mozilla/profile/places.sqlite-journal");
            Remove(home + "/.mozilla/profile/places.sqlite-journal");
            count(3);
        }
    });
    for (std::thread& t : programs) {
        t.join();
    }
    return operations;
}

} // namespace zlv::bench::day
