#pragma once

#include "logstore/LogRowStore.h"
#include "logstore/ShownTimes.h"
#include "utility/TextMatcher.h"

#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// Whether a record shows a text in any of its columns as a list shows them, letter case
// ignored, never across two columns.
class RecordMatcher final
{
public:
    explicit RecordMatcher(std::string_view needle);
    bool matches(std::string_view line, std::string_view timeText) const;
    // False when no time the store's patterns render can hold the needle (say a letter no
    // month name has), so that no time needs rendering at all.
    bool mayMatchTimes(const LogRowStore& store) const;
    void setCheckTimes(bool check) { m_checkTimes = check; }
    bool checksTimes() const { return m_checkTimes; }

private:
    bool inShownFields(std::string_view line) const;

    TextMatcher m_text;
    bool m_checkTimes = true;
};

// The ids of `from` (kept in their order) whose record matches. Large lists are shared out
// over the machine's cores. Renders the times first where the needle may be found in them.
std::vector<LogRowStore::RecordId> FilterRecords(const LogRowStore& store, ShownTimes& times,
                                                 const std::vector<LogRowStore::RecordId>& from,
                                                 RecordMatcher matcher);

} // namespace zlv
