#pragma once

#include "utility/Clock.h"
#include "utility/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zlv {

// Answers the repeat test for today's file: is the latest line about this item exactly this
// record, and when was it written? An item is a name in a folder (fields 4 and 5, and 4 and
// 6 for a rename's new name): a record repeats only when nothing else happened to its names
// since, so a file created, deleted and created again is three records however quick.
// Only lines within the repeat window of now can decide, so a fresh file is indexed from
// its end backwards until the stamps are older than the window, and later lines are taken
// in as they are appended. The first record on a day of a million lines then costs a few
// blocks of reading, not the whole day.
//
// Stopping early relies on the file being in time order. When the scanned tail holds a
// stamp later than now (the clock was set back), the whole file is indexed instead. Any
// remaining miss can only let a duplicate through: a match, when found, is always the
// latest line about the item, so no record is ever dropped wrongly.
class DayFileIndex final
{
public:
    explicit DayFileIndex(int windowSeconds) : m_window(windowSeconds) {}

    // Seconds since 1970-01-01 (local) of a moment, the scale latestStamp answers in.
    static std::int64_t Seconds(const LocalDateTime& at)
    {
        return at.date.toDayNumber() * 86400 + at.secondsOfDay();
    }

    // The stamp of the latest line of `path` about the item of `recordText`, when that line
    // is exactly `recordText` (fields 2 to 6) and may lie within the window of `now`;
    // nullopt otherwise. `state` is what a look at `path` just found (nullopt: no file).
    std::optional<std::int64_t> latestStamp(const std::string& path,
                                            const std::optional<fs::FileState>& state,
                                            std::string_view recordText, std::int64_t now);

    // Takes our own freshly appended `line` into the index without reading it back, when
    // the file is otherwise as the index last saw it (`after`: the state the append left).
    void noteOwnAppend(const std::string& path, std::string_view line, const fs::FileState& after);

    std::size_t size() const { return m_entries.size(); }
    // Forgets the lines stamped at or before `seconds`, and the room they took.
    void forgetBefore(std::int64_t seconds);

    // The hashes of the one or two items a record (fields 2 to 6) is about: its folder with
    // its name, and with its new name when it has one. Nothing for a malformed text.
    static std::vector<std::uint64_t> ItemKeys(std::string_view recordText);

private:
    struct Entry
    {
        std::uint64_t offset;
        std::uint32_t length;
        std::int64_t stamp;
        // Of the line's record text: a line that cannot be the record is known without
        // reading it back, so only a likely repeat costs a read.
        std::uint64_t textHash;
    };

    void rescan(const std::string& path, const fs::FileState& state, std::int64_t now);
    void readOn(const std::string& path, const fs::FileState& state);
    // Indexes one line at `offset`; `later` when it follows every line indexed so far.
    // Returns its stamp, or nullopt for a line that is no record.
    std::optional<std::int64_t> take(std::string_view line, std::uint64_t offset, bool later);
    void prune(std::int64_t now);

    int m_window;
    std::string m_path;
    fs::FileState m_state;
    bool m_known = false;
    std::uint64_t m_end = 0; // everything before this offset that matters is indexed
    std::unordered_map<std::uint64_t, Entry> m_entries;
    std::size_t m_pruneAt = 4096;
};

} // namespace zlv
