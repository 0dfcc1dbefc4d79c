#include "logstore/DayFileIndex.h"

#include "logstore/DayFile.h"

#include <functional>

namespace zlv {

namespace {

std::uint64_t Hash(std::string_view text)
{
    return std::hash<std::string_view>{}(text);
}

int SecondsOfDayOfLine(std::string_view line)
{
    // Characters 12-13, 15-16 and 18-19 of the stamp, which RecordTextOfLine has validated.
    auto two = [&](std::size_t at) { return (line[at] - '0') * 10 + (line[at + 1] - '0'); };
    return two(11) * 3600 + two(14) * 60 + two(17);
}

} // namespace

void DayFileIndex::indexLines(const DayFileTail::Chunk& chunk)
{
    std::string_view rest(chunk.bytes);
    std::uint64_t offset = chunk.offset;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        end = end == std::string_view::npos ? rest.size() : end + 1;
        const std::string_view line = rest.substr(0, end);
        if (const auto text = dayfile::RecordTextOfLine(line)) {
            // Later lines replace earlier ones: the repeat test wants the latest.
            m_entries[Hash(*text)] =
                Entry{offset, static_cast<std::uint32_t>(line.size()), SecondsOfDayOfLine(line)};
        }
        offset += end;
        rest.remove_prefix(end);
    }
}

void DayFileIndex::catchUp(const std::string& path)
{
    for (;;) {
        DayFileTail::Chunk chunk = m_tail.poll(path);
        if (chunk.restarted) {
            m_entries.clear();
        }
        indexLines(chunk);
        if (!chunk.more || chunk.bytes.empty()) {
            return;
        }
    }
}

void DayFileIndex::noteOwnAppend(const std::string& path, const std::string& line,
                                 const fs::FileState& after)
{
    if (m_tail.skipOwnAppend(path, after, line.size())) {
        DayFileTail::Chunk chunk;
        chunk.offset = after.size - line.size();
        chunk.bytes = line;
        indexLines(chunk);
    }
}

std::optional<int> DayFileIndex::latestSecondsOfDay(const std::string& path,
                                                    std::string_view recordText)
{
    catchUp(path);
    const auto it = m_entries.find(Hash(recordText));
    if (it == m_entries.end()) {
        return std::nullopt;
    }
    // Two different records may share a hash; the line itself settles it. A mismatch counts
    // as no repeat, so a collision can at worst write a duplicate, never lose a record.
    bool ok = false;
    const std::string line = fs::ReadFrom(path, it->second.offset, it->second.length, &ok);
    const auto text = ok ? dayfile::RecordTextOfLine(line) : std::nullopt;
    if (!text || *text != recordText) {
        return std::nullopt;
    }
    return it->second.seconds;
}

} // namespace zlv
