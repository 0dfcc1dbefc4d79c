#include "logstore/LogRowStore.h"

#include "logstore/DayFile.h"
#include "utility/FileSystem.h"

#ifdef __linux__
#include <sys/mman.h>
#endif
#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

namespace zlv {

namespace {

constexpr std::uint32_t kBlockBytes = 4u << 20;
constexpr std::size_t kHugePage = 2u << 20;
// A time text longer than this comes only from a hand-edited format; it is cut here, so
// that neither showing nor sorting a million rows can run away with it.
constexpr std::size_t kMaxTimeText = 256;
// An unterminated last line is read at most this far, as DayFileTail reads a line.
constexpr std::uint64_t kMaxUnterminated = 4u << 20;

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

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

// A million rows take a hundred megabytes of arena, touched once as they are read in. On
// Linux the blocks ask for huge pages, so that filling them costs a few hundred page faults
// instead of tens of thousands.
char* AllocateBulk(std::size_t bytes)
{
#ifdef __linux__
    if (bytes % kHugePage == 0) {
        if (void* block = std::aligned_alloc(kHugePage, bytes)) {
            ::madvise(block, bytes, MADV_HUGEPAGE);
            return static_cast<char*>(block);
        }
    }
#endif
    auto* block = static_cast<char*>(std::malloc(bytes));
    if (!block) {
        throw std::bad_alloc();
    }
    return block;
}

std::size_t BulkRounded(std::size_t bytes)
{
    if (bytes < kHugePage / 2) {
        return std::max<std::size_t>(bytes, 1);
    }
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

namespace rowtext {

std::string_view Line(const std::vector<LogRowStore::Block>& blocks, const LogRowStore::Row& row)
{
    return {blocks[row.block].get() + row.offset, row.length};
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

std::string_view Key(std::string_view line, const CompiledPattern& pattern, int column,
                     std::string& buffer)
{
    if (column != 0) {
        return Field(line, column);
    }
    buffer.clear();
    const std::string_view stored = Field(line, 0);
    if (const auto at = dayfile::ParseStamp(stored)) {
        pattern.renderTo(*at, buffer, kMaxTimeText);
        return buffer;
    }
    return stored;
}

} // namespace rowtext

void LogRowStore::clear()
{
    m_blocks.clear();
    m_blockUsed = 0;
    m_blockSize = 0;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_patterns.clear();
}

void LogRowStore::reserve(std::size_t records)
{
    m_rows.reserve(std::min(records, kMaxRecords));
}

std::uint16_t LogRowStore::currentPatternIndex()
{
    const std::string pattern = GetDisplayPattern();
    if (m_patterns.empty() || m_patterns.back().pattern() != pattern) {
        if (m_patterns.size() > std::numeric_limits<std::uint16_t>::max()) {
            m_patterns.back() = CompiledPattern(pattern); // only after 65,536 format changes
        } else {
            m_patterns.emplace_back(pattern);
        }
    }
    return static_cast<std::uint16_t>(m_patterns.size() - 1);
}

void LogRowStore::adoptPattern(const std::string& pattern)
{
    m_patterns.clear();
    m_patterns.emplace_back(pattern);
    for (Row& row : m_rows) {
        row.pattern = 0;
    }
}

void LogRowStore::appendRecord(std::string_view text, std::uint16_t pattern)
{
    if (m_rows.size() >= kMaxRecords) {
        return;
    }
    const auto length = static_cast<std::uint32_t>(
        std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max() / 2));
    if (m_blocks.empty() || m_blockSize - m_blockUsed < length) {
        m_blockSize = std::max(kBlockBytes, length);
        m_blocks.emplace_back(AllocateBulk(m_blockSize), [](char* block) { std::free(block); });
        m_blockUsed = 0;
    }
    std::copy_n(text.data(), length, m_blocks.back().get() + m_blockUsed);
    m_rows.push_back(
        Row{static_cast<std::uint32_t>(m_blocks.size() - 1), m_blockUsed, length, pattern, 0});
    m_blockUsed += length;
}

std::size_t LogRowStore::appendLines(std::string_view bytes, std::uint16_t pattern)
{
    std::size_t added = 0;
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        const std::string_view raw =
            newline == std::string_view::npos ? bytes : bytes.substr(0, newline);
        bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
        if (dayfile::RecordTextOfLine(raw)) {
            appendRecord(WithoutLineEnd(raw), pattern);
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
    if (m_rows.empty()) {
        m_blocks.clear();
        m_blockUsed = m_blockSize = 0;
        return;
    }
    // Records fill the arena in id order, so the last record kept marks its end.
    const Row& last = m_rows.back();
    if (m_blocks.size() > last.block + 1u) {
        m_blocks.resize(last.block + 1u);
        m_blockSize = std::max(kBlockBytes, last.offset + last.length);
    }
    m_blockUsed = last.offset + last.length;
}

LogRowStore::ReadResult LogRowStore::readFile(DayFileTail& tail, const std::string& path)
{
    ReadResult result;
    const std::uint16_t pattern = currentPatternIndex();
    const std::size_t start = m_rows.size();
    bool atEnd = false; // the last chunk ended where the file ends
    for (bool first = true;; first = false) {
        const DayFileTail::Chunk chunk = tail.poll(path);
        if (chunk.restarted) {
            if (first) {
                result.restarted = true;
            } else {
                rollBackTo(start); // replaced while being read: what came before is gone
            }
        }
        if (chunk.bytes.empty()) {
            break;
        }
        appendLines(chunk.bytes, pattern);
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
        if (ok && rest.find('\n') == std::string::npos) {
            const std::size_t before = m_rows.size();
            if (appendLines(rest, pattern) > 0) {
                result.unterminated = static_cast<RecordId>(before);
            }
        }
    }
    return result;
}

} // namespace zlv
