#pragma once

#include "app/CommandLine.h"
#include "logstore/DataFolder.h"
#include "utility/Clock.h"

#include <QString>
#include <cstdio>
#include <functional>
#include <optional>

namespace zlv::cli {

// Runs --print, --follow or --status against `folder`, which is only read, and returns the
// exit status. Following ends when `stopFd` becomes readable; `following` as FollowJournal.
int RunTerminalMode(const Arguments& arguments, const DataFolder& folder, const QString& lockPath,
                    const Clock& clock, std::FILE* out, std::FILE* err, int stopFd,
                    const std::function<void()>& following = {});

// Answers whatever the arguments ask that needs no window (help, the version, printing,
// following, the status) in this terminal, and returns the exit status; nullopt when they
// ask for the window.
std::optional<int> RunWithoutWindow(const Arguments& arguments);

} // namespace zlv::cli
