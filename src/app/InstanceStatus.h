#pragma once

#include "logstore/DataFolder.h"
#include "utility/Clock.h"

#include <QString>
#include <cstdio>
#include <optional>

namespace zlv::cli {

// What can be learnt about the running instance from outside, without asking it anything:
// its lock names its process, and /proc tells when that started and how many watches its
// inotify descriptor holds.
struct InstanceState
{
    bool running = false;
    long long pid = 0;
    std::optional<LocalDateTime> since;
    long long watchedFolders = -1; // -1: not known (no inotify descriptor or no access)
};

InstanceState ReadInstance(const QString& lockPath);

// A descriptor that becomes readable when process `pid` ends (a pidfd); -1 where the
// system has none. CloseProcessEnd takes -1 as well.
int OpenProcessEnd(long long pid);
void CloseProcessEnd(int fd);

enum StatusExit
{
    kStatusComplete = 0,
    kStatusGapToday = 3,
    kStatusNotRunning = 4,
    kStatusIncompleteNow = 5, // records held or lost, or capture stopped or limited, right now
};

// Prints the state of the instance, what it publishes of its journal's health and today's
// gaps; returns one of StatusExit. A file that is not a regular one is named on `err`.
int PrintStatus(const DataFolder& folder, const Clock& clock, const QString& lockPath,
                std::FILE* out, std::FILE* err = nullptr);

} // namespace zlv::cli
