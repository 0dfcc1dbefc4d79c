#pragma once

#include "logstore/LogRowStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// The rendered time texts of a store's records, by record id, so that typing into the
// find field renders each stamp once rather than once per keystroke. Built only when a
// find text could lie in a time, and dropped with the list.
class ShownTimes final
{
public:
    // Renders the records added since the last call.
    void update(const LogRowStore& store);
    // Forgets the records from `id` on (all of them by default), and their memory with
    // them when nothing is left.
    void truncate(std::size_t id = 0);
    std::string_view at(LogRowStore::RecordId id) const
    {
        return {m_text.data() + m_ends[id], m_ends[id + 1] - m_ends[id]};
    }

private:
    std::string m_text;
    std::vector<std::uint64_t> m_ends{0};
};

} // namespace zlv
