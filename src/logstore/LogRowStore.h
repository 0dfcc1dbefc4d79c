#pragma once

#include "logstore/DayFileTail.h"
#include "settings/DisplayFormat.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// The records of one log list, each kept once as the bytes of its day-file line.
//
// Lines live in 4 MiB arena blocks that never move, so a million of them cost one
// allocation per few thousand and a 16-byte row entry each. The time column is rendered
// from the stored stamp only when asked for, with the display pattern in force when the
// record was read.
class LogRowStore final
{
public:
    using RecordId = std::uint32_t;
    // Beyond this a list would not fit in memory anyway; refusing more keeps row numbers
    // in int.
    static constexpr std::size_t kMaxRecords =
        static_cast<std::size_t>(std::numeric_limits<int>::max()) / 2;

    struct Row
    {
        std::uint32_t block;
        std::uint32_t offset;
        std::uint32_t length;
        std::uint16_t pattern; // index into patterns()
        std::uint8_t flags;
    };
    // Blocks are shared so that a sort running on another thread keeps reading the lines
    // it was given even when the list is cleared under it.
    using Block = std::shared_ptr<char[]>;

    struct ReadResult
    {
        bool restarted = false;               // the tail started the file over
        std::optional<RecordId> unterminated; // the record of a last line with no line end
    };

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    const Row& row(RecordId id) const { return m_rows[id]; }
    Row& row(RecordId id) { return m_rows[id]; }
    const std::vector<Row>& rows() const { return m_rows; }
    const std::vector<Block>& blocks() const { return m_blocks; }
    const std::vector<CompiledPattern>& patterns() const { return m_patterns; }

    void clear();
    void reserve(std::size_t records);

    // The pattern GetDisplayPattern() gives now, added when it differs from the last one.
    std::uint16_t currentPatternIndex();
    // Every record rendered from now on with `pattern`.
    void adoptPattern(const std::string& pattern);

    // Appends every line of `bytes` that holds a record; returns how many.
    std::size_t appendLines(std::string_view bytes, std::uint16_t pattern);
    // Reads what `tail` has not seen of the file; a last line without its line end is
    // appended as well and named in the result, so that it can be taken back later.
    ReadResult readFile(DayFileTail& tail, const std::string& path);
    // Drops the records from `recordCount` on.
    void rollBackTo(std::size_t recordCount);

private:
    void appendRecord(std::string_view line, std::uint16_t pattern);

    std::vector<Block> m_blocks;
    std::uint32_t m_blockUsed = 0;
    std::uint32_t m_blockSize = 0;
    std::vector<Row> m_rows; // every record, in the order it was read
    std::vector<CompiledPattern> m_patterns;
};

// The bytes of a stored line and its displayed fields. Free functions over the parts of a
// store, so that a sort on another thread can use them on its own copy of the parts.
namespace rowtext {

std::string_view Line(const std::vector<LogRowStore::Block>& blocks, const LogRowStore::Row& row);
// Column 0 gives the stored stamp; column 5 is empty unless the action is a rename.
std::string_view Field(std::string_view line, int column);
// The text a column shows, as bytes: the time column rendered into `buffer`.
std::string_view Key(std::string_view line, const CompiledPattern& pattern, int column,
                     std::string& buffer);

} // namespace rowtext

// Large arrays (arena blocks, sort scratch) on huge pages where the system has them.
char* AllocateBulk(std::size_t bytes);
std::size_t BulkRounded(std::size_t bytes);

} // namespace zlv
