#pragma once

#include "settings/DisplayFormat.h"
#include "utility/MappedBytes.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

class DayFileTail;

// The records of one log list, each a reference to its day-file line where the line
// already is: a large day file is mapped (MappedBytes) or, where it cannot be, kept as the
// one block it was read into, and the rows point into it. Only small files and the lines
// appended to today's file later are copied, into blocks that fill up one after the other.
// A row costs 12 bytes beyond the file's own bytes, and a mapped file's bytes are the page
// cache's, in this process only while they are looked at. The time column is rendered from
// the stored stamp only when asked for, with the display pattern in force when the record
// was read.
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
        std::uint32_t offset; // of the line in its block
        std::uint32_t length; // of the line without its line end
        std::uint16_t block;
        std::uint8_t pattern; // index into patterns()
        std::uint8_t flags;
    };
    // Bytes that never move once a row refers to them: lines copied or read, or a file's
    // own bytes mapped. Shared, so that a sort running on another thread keeps reading the
    // lines it was given even when the list is cleared under it; nothing is written to a
    // block where a row already points.
    struct Bytes
    {
        std::string owned;
        std::shared_ptr<MappedBytes> mapped;
        const char* data() const { return mapped ? mapped->data() : owned.data(); }
    };
    using Block = std::shared_ptr<Bytes>;

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
    // The bytes of a record's line, without its line end.
    std::string_view line(RecordId id) const
    {
        const Row& r = m_rows[id];
        return {m_blocks[r.block]->data() + r.offset, r.length};
    }

    void clear();
    void reserve(std::size_t records);

    // The pattern GetDisplayPattern() gives now, added when it differs from the last one.
    std::uint8_t currentPatternIndex();
    // Every record rendered from now on with `pattern`.
    void adoptPattern(const std::string& pattern);

    // Appends every line of `bytes` that holds a record, copied; returns how many.
    std::size_t appendLines(std::string_view bytes, std::uint8_t pattern);
    // The same for a whole file's bytes, which the store keeps where they are when that
    // is cheaper than copying them.
    std::size_t adoptLines(std::string&& bytes, std::uint8_t pattern);
    // The same for the first `length` bytes of a mapped file, always kept where they are.
    std::size_t adoptMapped(std::shared_ptr<MappedBytes> view, std::size_t length,
                            std::uint8_t pattern);
    // Reads what `tail` has not seen of the file; a last line without its line end is
    // appended as well and named in the result, so that it can be taken back later.
    ReadResult readFile(DayFileTail& tail, const std::string& path);
    // Drops the records from `recordCount` on.
    void rollBackTo(std::size_t recordCount);

private:
    void appendRecord(std::string_view line, std::uint8_t pattern);
    std::size_t indexBlock(std::string_view kept, std::uint8_t pattern);
    bool addBlock(Block block);
    bool copyInto(std::string_view bytes, std::size_t& offset);

    std::vector<Block> m_blocks;
    std::vector<RecordId> m_blockFirst;  // the first record each block was made for
    std::uint16_t m_fillBlock = kNoFill; // the block that copies go into, if any
    std::uint32_t m_fillUsed = 0;
    std::vector<Row> m_rows; // every record, in the order it was read
    std::vector<CompiledPattern> m_patterns;

    static constexpr std::uint16_t kNoFill = std::numeric_limits<std::uint16_t>::max();
};

// Makes room for `more` elements at the end of `v`. A list that grows a record at a time
// (today's, all day long) grows by an eighth rather than doubling, so that after a burst
// it does not keep as much room again as it holds.
template <typename T> void MakeRoom(std::vector<T>& v, std::size_t more)
{
    if (v.capacity() - v.size() < more) {
        v.reserve(std::max(v.size() + more, v.size() + v.size() / 8 + 1024));
    }
}

// A walk over many rows (a sort, a find) lets go of the mapped pages it touched every so
// many rows, so that walking a year of lines holds a few of its pages at a time rather
// than the year. Call step() with the block of each row read.
class PageRelease final
{
public:
    explicit PageRelease(const std::vector<LogRowStore::Block>& blocks)
        : m_blocks(blocks), m_touched(blocks.size())
    {}
    ~PageRelease() { releaseTouched(); }
    PageRelease(const PageRelease&) = delete;
    PageRelease& operator=(const PageRelease&) = delete;
    void step(std::uint16_t block)
    {
        if (block < m_touched.size() && !m_touched[block]) {
            m_touched[block] = 1;
            m_list.push_back(block);
        }
        if (++m_rows == kRows) {
            releaseTouched();
        }
    }

private:
    void releaseTouched();
    static constexpr std::size_t kRows = 32768;
    const std::vector<LogRowStore::Block>& m_blocks;
    std::vector<std::uint8_t> m_touched;
    std::vector<std::uint16_t> m_list;
    std::size_t m_rows = 0;
};

// The displayed fields of a stored line. Free functions over bytes, so that a sort on
// another thread can use them on its own copy of a store's parts.
namespace rowtext {

std::string_view Line(const std::vector<LogRowStore::Block>& blocks, const LogRowStore::Row& row);
// Column 0 gives the stored stamp; column 5 is empty unless the action is a rename, and
// then holds the rest of the line (a tab that slipped into the name stays part of it).
std::string_view Field(std::string_view line, int column);
// What the time column shows for a line, rendered into `buffer` (the stored stamp when it
// names no moment), at most kMaxTimeText bytes of it.
std::string_view Time(std::string_view line, const CompiledPattern& pattern, std::string& buffer);

// A time text longer than this comes only from a hand-edited format; it is cut here, so
// that neither showing nor finding in a million rows can run away with it.
inline constexpr std::size_t kMaxTimeText = 256;

} // namespace rowtext

} // namespace zlv
