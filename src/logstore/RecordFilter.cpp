#include "logstore/RecordFilter.h"

#include "logstore/DayFile.h"
#include "logstore/LineText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

namespace zlv {

namespace {

constexpr unsigned char Fold(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c;
}

// The columns a record shows, after its stamp: Object, Action, Path and Original Name,
// and the New Name only for a rename. A needle never holds a tab, so searching the run
// of them at once cannot find a match across two columns.
std::string_view ShownFields(std::string_view line)
{
    std::string_view rest = line.substr(std::min(line.size(), std::size_t{20}));
    std::size_t at = 0;
    for (int tab = 0; tab < 4; ++tab) {
        at = rest.find('\t', at);
        if (at == std::string_view::npos) {
            return rest;
        }
        ++at;
    }
    if (rest.substr(rest.find('\t') + 1).substr(0, 8) == "Renamed\t") {
        return rest;
    }
    return rest.substr(0, at - 1);
}

} // namespace

void ShownTimes::update(const LogRowStore& store)
{
    if (store.size() + 1 < m_ends.size()) {
        truncate();
    }
    std::string buffer;
    for (std::size_t id = m_ends.size() - 1; id < store.size(); ++id) {
        const LogRowStore::Row& row = store.row(static_cast<LogRowStore::RecordId>(id));
        m_text += rowtext::Key(rowtext::Line(store.blocks(), row), store.patterns()[row.pattern], 0,
                               buffer);
        m_ends.push_back(m_text.size());
    }
}

void ShownTimes::truncate(std::size_t id)
{
    if (id + 1 < m_ends.size()) {
        m_ends.resize(id + 1);
        m_text.resize(m_ends.back());
    }
}

RecordMatcher::RecordMatcher(const QString& needle) : m_needle(needle)
{
    for (const QChar c : needle) {
        if (c.unicode() >= 0x80) {
            m_ascii = false;
        }
        m_folded.push_back(static_cast<char>(Fold(static_cast<unsigned char>(c.unicode()))));
    }
    // Characters of names and paths from the most common on; any other is rarer still.
    constexpr std::string_view kCommon = "e/tarionsl.dcm-uhpfg_ 0123456789wybvkxjqz";
    std::size_t rarest = 0;
    for (std::size_t i = 0; i < m_folded.size(); ++i) {
        const std::size_t rank = kCommon.find(m_folded[i]);
        if (rank == std::string_view::npos) {
            m_anchor = i;
            break;
        }
        if (rank >= rarest) {
            rarest = rank;
            m_anchor = i;
        }
    }
}

bool RecordMatcher::contains(std::string_view haystack) const
{
    if (haystack.size() > kShownBytes) {
        haystack = haystack.substr(0, kShownBytes); // what lies beyond is not shown
    }
    if (!m_ascii) {
        return DecodeShown(haystack).contains(m_needle, Qt::CaseInsensitive);
    }
    return find(haystack) != std::string_view::npos;
}

std::size_t RecordMatcher::find(std::string_view haystack) const
{
    // ASCII letters match either case; no byte of a UTF-8 sequence or of a Latin-1 letter
    // can stand for one, so the bytes are searched as they are. The scan looks for the
    // needle's rarest character with memchr and checks the rest around it.
    const std::size_t n = m_folded.size();
    if (n == 0) {
        return 0;
    }
    if (haystack.size() < n) {
        return std::string_view::npos;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(haystack.data());
    const auto anchor = static_cast<unsigned char>(m_folded[m_anchor]);
    const bool letter = anchor >= 'a' && anchor <= 'z';
    const std::size_t end = haystack.size() - n + m_anchor; // the anchor's last place
    for (std::size_t from = m_anchor; from <= end;) {
        const std::size_t length = end - from + 1;
        const void* lower = std::memchr(p + from, anchor, length);
        const void* upper = nullptr;
        if (letter) {
            const std::size_t before =
                lower
                    ? static_cast<std::size_t>(static_cast<const unsigned char*>(lower) - p) - from
                    : length;
            upper = std::memchr(p + from, anchor ^ 0x20, before);
        }
        const void* hit = upper ? upper : lower;
        if (!hit) {
            return std::string_view::npos;
        }
        const auto at = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - p);
        const std::size_t start = at - m_anchor;
        std::size_t k = 0;
        while (k < n && Fold(p[start + k]) == static_cast<unsigned char>(m_folded[k])) {
            ++k;
        }
        if (k == n) {
            return start;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

bool RecordMatcher::matches(std::string_view line, std::string_view timeText) const
{
    const std::string_view rest = line.substr(std::min(line.size(), dayfile::kStampLength + 1));
    if (rest.size() > kShownBytes) {
        // A damaged giant field: each column on its own, as far as it is shown.
        for (int column = 1; column < 6; ++column) {
            if (contains(rowtext::Field(line, column))) {
                return true;
            }
        }
    } else if (!m_ascii) {
        if (contains(ShownFields(line))) {
            return true;
        }
    } else if (const std::size_t at = find(rest); at != std::string_view::npos) {
        // A needle holds no tab, so the match lies inside one column; past the fourth tab
        // it is in the New Name, which only a rename shows.
        if (std::count(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(at), '\t') < 4 ||
            ShownFields(line).size() == rest.size()) {
            return true;
        }
    }
    return m_checkTimes && contains(timeText);
}

bool RecordMatcher::mayMatchTimes(const LogRowStore& store) const
{
    if (!m_ascii) {
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
                                 256);
                for (const char c : text) {
                    possible[Fold(static_cast<unsigned char>(c))] = true;
                }
            }
        }
    }
    return std::all_of(m_folded.begin(), m_folded.end(),
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
    std::vector<std::uint8_t> hit(from.size());
    const auto scan = [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) {
            const LogRowStore::RecordId id = from[i];
            hit[i] = matcher.matches(rowtext::Line(store.blocks(), store.row(id)),
                                     matcher.checksTimes() ? times.at(id) : std::string_view());
        }
    };
    const std::size_t n = from.size();
    const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    if (n < 50000 || cores == 1) {
        scan(0, n);
    } else {
        std::vector<std::thread> helpers;
        for (unsigned c = 1; c < cores; ++c) {
            helpers.emplace_back(scan, n * c / cores, n * (c + 1) / cores);
        }
        scan(0, n / cores);
        for (std::thread& t : helpers) {
            t.join();
        }
    }
    std::vector<LogRowStore::RecordId> out;
    out.reserve(static_cast<std::size_t>(std::count(hit.begin(), hit.end(), 1)));
    for (std::size_t i = 0; i < n; ++i) {
        if (hit[i]) {
            out.push_back(from[i]);
        }
    }
    return out;
}

} // namespace zlv
