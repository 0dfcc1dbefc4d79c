#include "logstore/RecordFilter.h"

#include "logstore/DayFile.h"
#include "logstore/ShownText.h"
#include "utility/Utf8.h"

#include <algorithm>
#include <array>
#include <thread>

namespace zlv {

namespace {

constexpr unsigned char FoldByte(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c;
}

bool IsRename(std::string_view line)
{
    return rowtext::Field(line, 2) == "Renamed";
}

} // namespace

RecordMatcher::RecordMatcher(std::string_view needle) : m_text(needle) {}

bool RecordMatcher::inShownFields(std::string_view line) const
{
    const std::string_view rest = line.substr(std::min(line.size(), dayfile::kStampLength + 1));
    // The bytes as stored are the text shown when they are UTF-8 and no field is cut: then
    // the whole run of columns is searched at once, and the tabs before a match tell its
    // column. A needle holds no tab, so a match never spans two columns. Bytes shown as
    // Latin-1 keep every ASCII letter where it was, so a needle of plain ASCII can skip
    // the look at them; a Windows code page of two-byte characters does not.
#ifdef _WIN32
    constexpr bool kAsciiStaysPut = false;
#else
    constexpr bool kAsciiStaysPut = true;
#endif
    if (rest.size() <= kShownBytes &&
        ((kAsciiStaysPut && m_text.ascii()) || !utf8::HasNonAscii(rest) || utf8::IsValid(rest))) {
        const std::size_t at = m_text.find(rest);
        if (at == std::string_view::npos) {
            return false;
        }
        // Past the fourth tab lies the New Name, which only a rename shows.
        return std::count(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(at), '\t') < 4 ||
               IsRename(line);
    }
    std::string buffer;
    for (int column = 1; column < 6; ++column) {
        if (m_text.foundIn(ShownText(rowtext::Field(line, column), buffer))) {
            return true;
        }
    }
    return false;
}

bool RecordMatcher::matches(std::string_view line, std::string_view timeText) const
{
    if (m_text.impossible()) {
        return false;
    }
    return inShownFields(line) || (m_checkTimes && m_text.foundIn(timeText));
}

bool RecordMatcher::mayMatchTimes(const LogRowStore& store) const
{
    if (m_text.impossible()) {
        return false;
    }
    if (!m_text.ascii()) {
        return true;
    }
    // Every byte a pattern can put out: each month and weekday, both halves of the day and
    // every digit come up among these moments.
    std::array<bool, 256> possible{};
    std::string text;
    for (const CompiledPattern& pattern : store.patterns()) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 28; day += 3) {
                text.clear();
                const int hour = (month * 5 + day) % 24;
                pattern.renderTo({Date{2000 + day, month, day}, hour, day * 2, 59 - day}, text,
                                 rowtext::kMaxTimeText);
                for (const char c : text) {
                    possible[FoldByte(static_cast<unsigned char>(c))] = true;
                }
            }
        }
    }
    const std::string& folded = m_text.folded();
    return std::all_of(folded.begin(), folded.end(),
                       [&possible](char c) { return possible[static_cast<unsigned char>(c)]; });
}

std::vector<LogRowStore::RecordId> FilterRecords(const LogRowStore& store, ShownTimes& times,
                                                 const std::vector<LogRowStore::RecordId>& from,
                                                 RecordMatcher matcher)
{
    matcher.setCheckTimes(matcher.mayMatchTimes(store));
    if (matcher.checksTimes()) {
        times.update(store);
    }
    // Looked at by record id, which is the order of the lines in their blocks: memory is
    // read front to back whatever the shown order. The pages of a mapped file stay for
    // the next key typed.
    constexpr std::uint8_t kAsk = 2;
    std::vector<std::uint8_t> hit(store.size());
    for (const LogRowStore::RecordId id : from) {
        hit[id] = kAsk;
    }
    const auto scan = [&](std::size_t begin, std::size_t end) {
        for (std::size_t id = begin; id < end; ++id) {
            if (hit[id] != kAsk) {
                continue;
            }
            const auto record = static_cast<LogRowStore::RecordId>(id);
            hit[id] = matcher.matches(
                store.line(record), matcher.checksTimes() ? times.at(record) : std::string_view());
        }
    };
    const std::size_t n = from.size();
    const std::size_t ids = store.size();
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    if (n < 50000 || cores == 1) {
        scan(0, ids);
    } else {
        std::vector<std::thread> helpers;
        for (unsigned c = 1; c < cores; ++c) {
            helpers.emplace_back(scan, ids * c / cores, ids * (c + 1) / cores);
        }
        scan(0, ids / cores);
        for (std::thread& t : helpers) {
            t.join();
        }
    }
    std::vector<LogRowStore::RecordId> out;
    for (const LogRowStore::RecordId id : from) {
        if (hit[id] == 1) {
            out.push_back(id);
        }
    }
    return out;
}

} // namespace zlv
