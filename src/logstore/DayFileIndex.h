#pragma once

#include "logstore/DayFileTail.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace zlv {

// Remembers, for every distinct record of today's file, where its latest line stands and
// at what time of day it was written. Kept current incrementally through DayFileTail, so
// the repeat test costs the same on the first record of the day and on the millionth.
class DayFileIndex final
{
public:
    // Seconds since midnight of the latest line of `path` whose fields 2 to 6 equal
    // `recordText` exactly; nullopt when there is none.
    std::optional<int> latestSecondsOfDay(const std::string& path, std::string_view recordText);

    // Takes our own freshly appended `line` into the index without reading it back, when
    // the file is otherwise as the index last saw it (`after`: the state the append left).
    void noteOwnAppend(const std::string& path, const std::string& line,
                       const fs::FileState& after);

    std::size_t size() const { return m_entries.size(); }

private:
    struct Entry
    {
        std::uint64_t offset;
        std::uint32_t length;
        std::int32_t seconds;
    };

    void catchUp(const std::string& path);
    void indexLines(const DayFileTail::Chunk& chunk);

    DayFileTail m_tail;
    std::unordered_map<std::uint64_t, Entry> m_entries;
};

} // namespace zlv
