#pragma once

#include "logstore/LogRowStore.h"

#include <QString>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// The rendered time texts of a store's records, by record id, so that typing into the
// find field renders each stamp once rather than once per keystroke.
class ShownTimes final
{
public:
    // Renders the records added since the last call.
    void update(const LogRowStore& store);
    // Forgets the records from `id` on (all of them by default).
    void truncate(std::size_t id = 0);
    std::string_view at(LogRowStore::RecordId id) const
    {
        return {m_text.data() + m_ends[id], m_ends[id + 1] - m_ends[id]};
    }

private:
    std::string m_text;
    std::vector<std::uint64_t> m_ends{0};
};

// Whether a record shows a text in any of its columns, ignoring case.
class RecordMatcher final
{
public:
    explicit RecordMatcher(const QString& needle);
    bool matches(std::string_view line, std::string_view timeText) const;
    // False when no time the store's patterns render can hold the needle (say a letter no
    // month name has), so that no time needs rendering at all.
    bool mayMatchTimes(const LogRowStore& store) const;
    void setCheckTimes(bool check) { m_checkTimes = check; }
    bool checksTimes() const { return m_checkTimes; }

private:
    bool contains(std::string_view haystack) const;
    std::size_t find(std::string_view haystack) const; // ASCII needles only

    QString m_needle;
    std::string m_folded; // the needle in lower case, when it is plain ASCII
    bool m_ascii = true;
    bool m_checkTimes = true;
    std::size_t m_anchor = 0; // the needle's rarest character, searched for first
};

// The ids of `from` (kept in their order) whose record matches. Large lists are shared out
// over the machine's cores.
// Renders the times first where the needle may be found in them.
std::vector<LogRowStore::RecordId> FilterRecords(const LogRowStore& store, ShownTimes& times,
                                                 const std::vector<LogRowStore::RecordId>& from,
                                                 RecordMatcher matcher);

} // namespace zlv
