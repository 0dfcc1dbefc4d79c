#include "logstore/ShownTimes.h"

namespace zlv {

void ShownTimes::update(const LogRowStore& store)
{
    if (store.size() + 1 < m_ends.size()) {
        truncate();
    }
    std::string buffer;
    for (std::size_t id = m_ends.size() - 1; id < store.size(); ++id) {
        const LogRowStore::Row& row = store.row(static_cast<LogRowStore::RecordId>(id));
        m_text += rowtext::Time(rowtext::Line(store.blocks(), row), store.patterns()[row.pattern],
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
    if (id == 0) {
        std::string().swap(m_text);
        std::vector<std::uint64_t>{0}.swap(m_ends);
    }
}

} // namespace zlv
