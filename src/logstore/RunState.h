#pragma once

#include "utility/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zlv {

// What a run of the program tells about itself, in a small file beside the lock: --status
// reads it while the run lasts (without taking the lock), and the next start reads it to
// learn how the last run ended. Stamps are the journal's "YYYY-MM-DD HH:MM:SS".
struct RunState
{
    long long pid = 0;
    std::string started;
    // Everything the run saw up to this moment is in the journal, or held in the spill
    // file for the next start to write: after a crash, what may be missing begins here.
    std::string complete;
    // When recording ended in order; empty while it runs, and so after a kill or a crash.
    std::string ended;
    bool endNoted = false; // the end's line is in the gap file
    std::uint64_t held = 0;
    // Records lost (neither written nor held) that no gap line tells yet.
    std::uint64_t lost = 0;
    std::string lostFirst;
    std::string lostLast;
    // What keeps recording incomplete right now: a gap reason word and a sentence each.
    std::vector<std::pair<std::string, std::string>> conditions;

    bool operator==(const RunState&) const = default;
};

namespace runstate {

// Lines of "key=value", ended by a line "end"; values are kept to one line.
std::string Format(const RunState& state);
// Nullopt unless the text is whole (its "end" line is there) and names a process.
std::optional<RunState> Parse(std::string_view text);
// The state in the file at `path`; nullopt when it is missing, not a regular file or not
// whole.
std::optional<RunState> Read(const std::string& path);

} // namespace runstate

// The file a run keeps its state in. Its space is set aside when it is opened, and each
// state is written over the last one in place, so that a full disk does not stop it.
class RunStateFile final
{
public:
    static constexpr std::uint64_t kBytes = 8192;

    bool open(const std::string& path);
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    // Writes `state` unless it reads exactly as the one written last.
    bool write(const RunState& state);

private:
    fs::ReservedFile m_file;
    std::string m_last;
};

} // namespace zlv
