#include "logstore/DayFileIndex.h"

#include "logstore/DayFile.h"

#include <algorithm>
#include <functional>

namespace zlv {

namespace {

constexpr std::uint64_t kBlock = 64 * 1024;
// A "line" longer than this is damage, not a record: it is skipped rather than gathered.
constexpr std::size_t kLongestLine = 256 * 1024;
// More new bytes than this since the last look means someone else wrote in bulk; reading
// the tail afresh is cheaper than indexing all of it.
constexpr std::uint64_t kMostToReadOn = 4u << 20;

std::uint64_t Hash(std::string_view text)
{
    return std::hash<std::string_view>{}(text);
}

} // namespace

std::vector<std::uint64_t> DayFileIndex::ItemKeys(std::string_view recordText)
{
    // Object, Action, Path, Original Name, New Name.
    std::string_view fields[5];
    std::size_t start = 0;
    for (int i = 0; i < 5; ++i) {
        const std::size_t tab = i < 4 ? recordText.find('\t', start) : recordText.size();
        if (tab == std::string_view::npos) {
            return {};
        }
        fields[i] = recordText.substr(start, tab - start);
        start = tab + 1;
    }
    std::string key;
    const auto itemKey = [&key, &fields](std::string_view name) {
        key.assign(fields[2]).append(1, '\t').append(name);
        return Hash(key);
    };
    std::vector<std::uint64_t> keys{itemKey(fields[3])};
    if (!fields[4].empty()) {
        keys.push_back(itemKey(fields[4]));
    }
    return keys;
}

std::optional<std::int64_t> DayFileIndex::take(std::string_view line, std::uint64_t offset,
                                               bool later)
{
    const auto text = dayfile::RecordTextOfLine(line);
    const auto at =
        text ? dayfile::ParseStamp(line.substr(0, dayfile::kStampLength)) : std::nullopt;
    if (!at) {
        return std::nullopt;
    }
    const Entry entry{offset, static_cast<std::uint32_t>(line.size()), Seconds(*at), Hash(*text)};
    for (const std::uint64_t key : ItemKeys(*text)) {
        if (later) {
            m_entries[key] = entry;
        } else {
            m_entries.emplace(key, entry); // read backwards: the first one seen is latest
        }
    }
    return entry.stamp;
}

void DayFileIndex::rescan(const std::string& path, const fs::FileState& state, std::int64_t now)
{
    m_entries.clear();
    m_pruneAt = 4096;
    m_path = path;
    m_state = state;
    m_known = true;
    m_end = 0;

    bool seekingEnd = true; // bytes after the file's last LF are a line still being written
    bool skipping = false;  // the rest of an over-long line lies ahead
    bool whole = false;     // a stamp later than now: the clock went back, read everything
    std::string carried;    // the end of a line whose start lies in the block before
    for (std::uint64_t pos = state.size; pos > 0;) {
        const std::uint64_t size = std::min(kBlock, pos);
        pos -= size;
        bool ok = false;
        std::string buffer = fs::ReadFrom(path, pos, size, &ok);
        if (!ok || buffer.size() != size) {
            return; // changed under us; the next look notices and starts over
        }
        buffer += carried;
        std::size_t lineEnd = buffer.size();
        while (lineEnd > 0) {
            const std::size_t lf =
                lineEnd >= 2 ? buffer.rfind('\n', lineEnd - 2) : std::string::npos;
            if (lf == std::string::npos && pos > 0) {
                break; // the line starts in the block before
            }
            const std::size_t start = lf == std::string::npos ? 0 : lf + 1;
            const std::string_view line(buffer.data() + start, lineEnd - start);
            lineEnd = start;
            if (skipping) {
                skipping = false;
                continue;
            }
            if (seekingEnd) {
                if (line.back() != '\n') {
                    continue;
                }
                seekingEnd = false;
                m_end = pos + start + line.size();
            }
            const auto stamp = take(line, pos + start, false);
            whole = whole || (stamp && *stamp > now);
            if (!whole && stamp && *stamp <= now - m_window) {
                return; // in a file in time order, nothing before this can be a repeat
            }
        }
        carried.assign(buffer, 0, lineEnd);
        if (carried.size() > kLongestLine) {
            carried.clear();
            skipping = true;
        }
    }
}

void DayFileIndex::readOn(const std::string& path, const fs::FileState& state)
{
    bool ok = false;
    const std::string bytes = fs::ReadFrom(path, m_end, state.size - m_end, &ok);
    m_state = state;
    std::size_t start = 0;
    for (std::size_t lf; ok && (lf = bytes.find('\n', start)) != std::string::npos;
         start = lf + 1) {
        take(std::string_view(bytes).substr(start, lf + 1 - start), m_end + start, true);
    }
    m_end += start;
}

void DayFileIndex::prune(std::int64_t now)
{
    if (m_entries.size() < m_pruneAt) {
        return;
    }
    forgetBefore(now - m_window);
}

void DayFileIndex::forgetBefore(std::int64_t seconds)
{
    // An entry older than the window answers "no repeat", and so does its absence.
    std::erase_if(m_entries, [&](const auto& e) { return e.second.stamp <= seconds; });
    m_pruneAt = std::max<std::size_t>(4096, 2 * m_entries.size());
    if (m_entries.bucket_count() > 4 * m_pruneAt) {
        m_entries.rehash(0); // the buckets of a burst's worth of lines go too
    }
}

void DayFileIndex::noteOwnAppend(const std::string& path, std::string_view line,
                                 const fs::FileState& after)
{
    const bool inStep = m_known && path == m_path && after.size != 0 &&
                        after.identity == m_state.identity && after.device == m_state.device &&
                        after.size == m_end + line.size();
    if (inStep) {
        take(line, m_end, true);
        m_end = after.size;
        m_state = after;
    }
}

std::optional<std::int64_t> DayFileIndex::latestStamp(const std::string& path,
                                                      const std::optional<fs::FileState>& state,
                                                      std::string_view recordText, std::int64_t now)
{
    if (!state) {
        m_known = false;
        m_entries.clear();
        return std::nullopt;
    }
    const bool sameFile = m_known && path == m_path && state->identity == m_state.identity &&
                          state->device == m_state.device && state->size >= m_end;
    if (!sameFile || state->size - m_end > kMostToReadOn) {
        rescan(path, *state, now);
    } else if (state->size > m_end) {
        readOn(path, *state);
    }
    prune(now);

    // The latest line about each name of the record must be one and the same line.
    const std::vector<std::uint64_t> keys = ItemKeys(recordText);
    if (keys.empty()) {
        return std::nullopt;
    }
    const auto it = m_entries.find(keys.front());
    if (it == m_entries.end()) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < keys.size(); ++i) {
        const auto other = m_entries.find(keys[i]);
        if (other == m_entries.end() || other->second.offset != it->second.offset) {
            return std::nullopt;
        }
    }
    // Another record about the item, or one too old to count: no repeat, and nothing read.
    if (it->second.textHash != Hash(recordText) || now - it->second.stamp >= m_window ||
        it->second.stamp - now >= m_window) {
        return std::nullopt;
    }
    // Two different items may share a hash; the line itself settles it. A mismatch counts
    // as no repeat, so a collision can at worst write a duplicate, never lose a record.
    bool ok = false;
    const std::string line = fs::ReadFrom(path, it->second.offset, it->second.length, &ok);
    const auto text = ok ? dayfile::RecordTextOfLine(line) : std::nullopt;
    if (!text || *text != recordText) {
        return std::nullopt;
    }
    return it->second.stamp;
}

} // namespace zlv
