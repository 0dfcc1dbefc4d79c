#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

// The scripted day of bench/desktop_day: a home as a desktop user has it, the user's own
// operations with the journal each must leave, and the churn of programs around them.
namespace zlv::bench::day {

struct UserOperation
{
    std::string what;
    // The records it must leave, as the day file has them after the stamp; none for a save
    // over an existing document.
    std::vector<std::string> expected;
    // The items it touches, "folder/\tname": a record about one of them that is not
    // expected makes the operation wrong.
    std::vector<std::string> items;
    std::chrono::steady_clock::time_point done; // its last step returned
};

// The user's files before the day begins: documents, pictures, music, a Git project with
// its ignore file, a tool's cache tagged as such, hidden caches and settings.
void MakeHome(const std::string& home);

// At least 100 operations of the user, paced like a person at a desktop, in one thread.
std::vector<UserOperation> RunUserDay(const std::string& home, unsigned seed);

// What programs do meanwhile, until `stop`: editors' swap, probe and lock files, builds in
// the project, package installs, caches, a browser's profile. Returns how many file
// operations the programs made.
long RunProgramChurn(const std::string& home, const std::atomic<bool>& stop);

} // namespace zlv::bench::day
