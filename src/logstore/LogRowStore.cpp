#include "logstore/LogRowStore.h"

#include "logstore/DayFile.h"
#include "logstore/DayFileTail.h"
#include "utility/FileSystem.h"

#include <algorithm>
#include <array>

namespace zlv {

namespace {

static_assert(sizeof(LogRowStore::Row) == 12, "a row costs 12 bytes beyond its line");

// Bytes smaller than this are copied into a shared block rather than kept as a block of
// their own, so that a range of many small day files takes few blocks.
constexpr std::size_t kAdoptBytes = 64u << 10;
// Copies go into blocks that double from the first size up to the last.
constexpr std::size_t kFirstFillBytes = 64u << 10;
constexpr std::size_t kLastFillBytes = 4u << 20;
// An unterminated last line is read at most this far, as DayFileTail reads a line.
constexpr std::uint64_t kMaxUnterminated = 4u << 20;
// One block index is kept free to say "no fill block".
constexpr std::size_t kMaxBlocks = std::numeric_limits<std::uint16_t>::max();

// Object, Action, Path, Original Name and the rest of a stored line. The line passed the
// record test when it was read, so it holds a 19-byte stamp, a tab and four more tabs.
std::array<std::string_view, 5> SubFields(std::string_view line)
{
    std::array<std::string_view, 5> out;
    std::string_view rest = line.substr(std::min(line.size(), dayfile::kStampLength + 1));
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t tab = rest.find('\t');
        out[i] = rest.substr(0, tab);
        rest.remove_prefix(tab == std::string_view::npos ? rest.size() : tab + 1);
    }
    out[4] = rest;
    return out;
}

} // namespace

namespace rowtext {

std::string_view Line(const std::vector<LogRowStore::Block>& blocks, const LogRowStore::Row& row)
{
    return {blocks[row.block]->data() + row.offset, row.length};
}

std::string_view Field(std::string_view line, int column)
{
    if (column == 0) {
        return line.substr(0, dayfile::kStampLength);
    }
    const auto fields = SubFields(line);
    if (column == 5 && fields[1] != "Renamed") {
        return {}; // only a rename has a new name; whatever else follows is not shown
    }
    return fields[static_cast<std::size_t>(column - 1)];
}

std::string_view Time(std::string_view line, const CompiledPattern& pattern, std::string& buffer)
{
    buffer.clear();
    const std::string_view stored = Field(line, 0);
    if (const auto at = dayfile::ParseStamp(stored)) {
        pattern.renderTo(*at, buffer, kMaxTimeText);
        return buffer;
    }
    return stored;
}

} // namespace rowtext

void PageRelease::releaseTouched()
{
    m_rows = 0;
    for (const std::uint16_t block : m_list) {
        m_touched[block] = 0;
        if (const auto& view = m_blocks[block]->mapped) {
            view->release();
        }
    }
    m_list.clear();
}

void LogRowStore::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_blockFirst.clear();
    m_blockFirst.shrink_to_fit();
    m_fillBlock = kNoFill;
    m_fillUsed = 0;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_patterns.clear();
}

void LogRowStore::reserve(std::size_t records)
{
    m_rows.reserve(std::min(records, kMaxRecords));
}

std::uint8_t LogRowStore::currentPatternIndex()
{
    const std::string pattern = GetDisplayPattern();
    if (m_patterns.empty() || m_patterns.back().pattern() != pattern) {
        if (m_patterns.size() > std::numeric_limits<std::uint8_t>::max()) {
            m_patterns.back() = CompiledPattern(pattern); // only after 256 format changes
        } else {
            m_patterns.emplace_back(pattern);
        }
    }
    return static_cast<std::uint8_t>(m_patterns.size() - 1);
}

void LogRowStore::adoptPattern(const std::string& pattern)
{
    m_patterns.clear();
    m_patterns.emplace_back(pattern);
    for (Row& row : m_rows) {
        row.pattern = 0;
    }
}

bool LogRowStore::addBlock(Block block)
{
    if (m_blocks.size() >= kMaxBlocks) {
        return false;
    }
    m_blocks.push_back(std::move(block));
    m_blockFirst.push_back(static_cast<RecordId>(m_rows.size()));
    return true;
}

bool LogRowStore::copyInto(std::string_view bytes, std::size_t& offset)
{
    const bool fits = m_fillBlock != kNoFill &&
                      m_blocks[m_fillBlock]->owned.capacity() - m_fillUsed >= bytes.size();
    if (!fits) {
        const std::size_t previous =
            m_fillBlock == kNoFill ? 0 : m_blocks[m_fillBlock]->owned.capacity();
        const std::size_t size =
            std::max(bytes.size(), std::clamp(previous * 2, kFirstFillBytes, kLastFillBytes));
        auto block = std::make_shared<Bytes>();
        // Reserved, not resized: pages are touched only as lines arrive, and appending
        // within the capacity never moves what rows already point at.
        block->owned.reserve(size);
        if (!addBlock(std::move(block))) {
            return false;
        }
        m_fillBlock = static_cast<std::uint16_t>(m_blocks.size() - 1);
        m_fillUsed = 0;
    }
    m_blocks[m_fillBlock]->owned.append(bytes);
    offset = m_fillUsed;
    m_fillUsed += static_cast<std::uint32_t>(bytes.size());
    return true;
}

void LogRowStore::appendRecord(std::string_view line, std::uint8_t pattern)
{
    std::size_t offset = 0;
    if (m_rows.size() >= kMaxRecords || !copyInto(line, offset)) {
        return;
    }
    MakeRoom(m_rows, 1);
    m_rows.push_back(Row{static_cast<std::uint32_t>(offset),
                         static_cast<std::uint32_t>(line.size()), m_fillBlock, pattern, 0});
}

std::size_t LogRowStore::appendLines(std::string_view bytes, std::uint8_t pattern)
{
    std::size_t added = 0;
    while (!bytes.empty()) {
        const std::string_view line = dayfile::NextLine(bytes);
        if (dayfile::RecordTextOfLine(line)) {
            const std::size_t before = m_rows.size();
            appendRecord(line, pattern);
            added += m_rows.size() - before;
        }
    }
    return added;
}

std::size_t LogRowStore::adoptLines(std::string&& bytes, std::uint8_t pattern)
{
    if (bytes.size() < kAdoptBytes || bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        return appendLines(bytes, pattern);
    }
    // Bytes read by growing a string (Windows reads in pieces) may hold much spare room,
    // which a kept block would keep for as long as the list.
    if (bytes.capacity() - bytes.size() > bytes.size() / 8) {
        bytes.shrink_to_fit();
    }
    auto block = std::make_shared<Bytes>();
    block->owned = std::move(bytes);
    if (!addBlock(std::move(block))) {
        return 0;
    }
    return indexBlock(m_blocks.back()->owned, pattern);
}

std::size_t LogRowStore::adoptMapped(std::shared_ptr<MappedBytes> view, std::size_t length,
                                     std::uint8_t pattern)
{
    if (length > std::numeric_limits<std::uint32_t>::max()) {
        return 0;
    }
    auto block = std::make_shared<Bytes>();
    block->mapped = std::move(view);
    if (!addBlock(block)) {
        return 0;
    }
    const std::size_t added = indexBlock({block->mapped->data(), length}, pattern);
    block->mapped->release(); // read once to index it; the rows shown bring back their pages
    return added;
}

std::size_t LogRowStore::indexBlock(std::string_view kept, std::uint8_t pattern)
{
    const auto block = static_cast<std::uint16_t>(m_blocks.size() - 1);
    // Day-file lines are rarely shorter than this: room for them all at once, and what is
    // never filled costs no memory.
    MakeRoom(m_rows, kept.size() / 48);
    std::string_view rest = kept;
    std::size_t added = 0;
    while (!rest.empty() && m_rows.size() < kMaxRecords) {
        const std::size_t offset = static_cast<std::size_t>(rest.data() - kept.data());
        const std::string_view line = dayfile::NextLine(rest);
        if (dayfile::RecordTextOfLine(line)) {
            MakeRoom(m_rows, 1);
            m_rows.push_back(Row{static_cast<std::uint32_t>(offset),
                                 static_cast<std::uint32_t>(line.size()), block, pattern, 0});
            ++added;
        }
    }
    return added;
}

void LogRowStore::rollBackTo(std::size_t recordCount)
{
    if (m_rows.size() <= recordCount) {
        return;
    }
    m_rows.resize(recordCount);
    // A block made for a record that is gone holds no record that stays. The bytes copied
    // into a fill block that stays are left unused rather than written over: a sort on
    // another thread may still be reading them.
    while (!m_blocks.empty() && m_blockFirst.back() >= recordCount) {
        m_blocks.pop_back();
        m_blockFirst.pop_back();
    }
    if (m_fillBlock != kNoFill && m_fillBlock >= m_blocks.size()) {
        m_fillBlock = kNoFill;
        m_fillUsed = 0;
    }
}

LogRowStore::ReadResult LogRowStore::readFile(DayFileTail& tail, const std::string& path)
{
    ReadResult result;
    const std::uint8_t pattern = currentPatternIndex();
    const std::size_t start = m_rows.size();
    bool atEnd = false; // the last chunk ended where the file ends
    for (bool first = true;; first = false) {
        DayFileTail::Chunk chunk = tail.poll(path, true);
        if (chunk.restarted) {
            if (first) {
                result.restarted = true;
            } else {
                rollBackTo(start); // replaced while being read: what came before is gone
            }
        }
        if (chunk.mapped) {
            adoptMapped(std::move(chunk.mapped), chunk.mappedLength, pattern);
        } else if (chunk.bytes.empty()) {
            break;
        } else {
            adoptLines(std::move(chunk.bytes), pattern);
        }
        if (!chunk.more) {
            atEnd = true;
            break;
        }
    }
    if (atEnd) {
        return result;
    }
    // A last line without its line end is part of the file as it stands; it is kept apart
    // so that it can be taken back once the rest of that line arrives.
    const auto state = fs::StatFile(path);
    if (state && state->size > tail.offset()) {
        bool ok = false;
        const std::string rest = fs::ReadFrom(path, tail.offset(), kMaxUnterminated, &ok);
        if (ok && dayfile::WholeLinesEnd(rest) == 0) {
            const std::size_t before = m_rows.size();
            if (appendLines(rest, pattern) > 0) {
                result.unterminated = static_cast<RecordId>(before);
            }
        }
    }
    return result;
}

} // namespace zlv
