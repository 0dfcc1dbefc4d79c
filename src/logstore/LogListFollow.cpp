// Following today's file: after each record the list reads only what was appended, and
// looks exactly as a fresh load of the whole file would.
#include "logstore/LogListModel.h"
#include "utility/FileSystem.h"

#include <algorithm>
#include <numeric>

namespace zlv {

bool LogListModel::fullReload(const std::string& path)
{
    beginResetModel();
    clearStorage();
    const bool exists = fs::FileExists(path);
    const LogRowStore::ReadResult read = m_store.readFile(m_tail, path);
    m_unterminated = read.unterminated;
    m_tailInSync = true;
    m_order.resize(m_store.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    if (exists) {
        m_sortColumn = 0;
        m_sortOrder = Qt::DescendingOrder;
    }
    sortOrderArray(m_sortColumn);
    refilter();
    m_highlight = Highlight::Following;
    endResetModel();
    return false;
}

void LogListModel::removeUnterminated()
{
    if (!m_unterminated) {
        return;
    }
    const RecordId id = *m_unterminated;
    m_unterminated.reset();
    contentChanged();
    const int row = rowOfRecord(id);
    if (row >= 0) {
        beginRemoveRows({}, row, row);
    }
    for (std::vector<RecordId>* ids : {&m_order, &m_shown}) {
        const auto it = std::find(ids->rbegin(), ids->rend(), id);
        if (it != ids->rend()) {
            ids->erase(it.base() - 1);
        }
    }
    if (row >= 0) {
        endRemoveRows();
    }
    if (id + 1u == m_store.size()) {
        m_store.rollBackTo(id);
        m_times.truncate(id);
    }
}

void LogListModel::insertPending(std::size_t firstPending)
{
    const std::size_t total = m_store.size();
    if (firstPending >= total) {
        return;
    }
    contentChanged();
    std::string previous, buffer;
    // The usual case: every new record sorts after all that are shown (a later time of the
    // same day), so they all go on top in one insertion.
    bool inOrder = true;
    bool havePrevious = !m_order.empty();
    if (havePrevious) {
        previous.assign(key(m_order.back(), 0, buffer));
    }
    for (std::size_t id = firstPending; id < total; ++id) {
        const std::string_view k = key(static_cast<RecordId>(id), 0, buffer);
        if (havePrevious && k.compare(previous) < 0) {
            inOrder = false;
            break;
        }
        previous.assign(k);
        havePrevious = true;
    }
    std::vector<RecordId> fresh(total - firstPending);
    std::iota(fresh.begin(), fresh.end(), static_cast<RecordId>(firstPending));
    if (filtering()) {
        fresh = FilterRecords(m_store, m_times, fresh, RecordMatcher(m_filter));
    }
    if (inOrder) {
        // The rows shown are sorted descending here, so the new ones go on top.
        if (!fresh.empty()) {
            beginInsertRows({}, 0, static_cast<int>(fresh.size()) - 1);
        }
        for (std::size_t id = firstPending; id < total; ++id) {
            m_order.push_back(static_cast<RecordId>(id));
        }
        if (filtering()) {
            m_shown.insert(m_shown.end(), fresh.begin(), fresh.end());
        }
        if (!fresh.empty()) {
            endInsertRows();
        }
        return;
    }
    const std::size_t count = total - firstPending;
    if (filtering() || (count > 256 && count * 8 > m_order.size())) {
        beginResetModel();
        for (std::size_t id = firstPending; id < total; ++id) {
            m_order.push_back(static_cast<RecordId>(id));
        }
        sortOrderArray(0);
        if (filtering()) {
            m_shown.insert(m_shown.end(), fresh.begin(), fresh.end());
            reorderShown();
        }
        endResetModel();
        return;
    }
    for (std::size_t id = firstPending; id < total; ++id) {
        const std::string newKey(key(static_cast<RecordId>(id), 0, buffer));
        // A new record has the highest id, so it goes after every record of an equal key.
        const auto at = std::upper_bound(m_order.begin(), m_order.end(), std::string_view(newKey),
                                         [this, &buffer](std::string_view k, RecordId other) {
                                             return k.compare(key(other, 0, buffer)) < 0;
                                         });
        const auto pos = static_cast<int>(at - m_order.begin());
        const int row = rowCount() - pos;
        beginInsertRows({}, row, row);
        m_order.insert(at, static_cast<RecordId>(id));
        endInsertRows();
    }
}

bool LogListModel::rebuildFrom(const std::string& dayFilePath)
{
    if (!m_tailInSync || m_tail.path() != dayFilePath) {
        return fullReload(dayFilePath);
    }
    const std::string pattern = GetDisplayPattern();
    if (m_store.patterns().size() != 1 || m_store.patterns().front().pattern() != pattern) {
        adoptPattern(pattern); // a full reload would render every row with today's format
    }
    relayout(0, Qt::DescendingOrder);
    removeUnterminated();

    const std::size_t firstPending = m_store.size();
    const LogRowStore::ReadResult read = m_store.readFile(m_tail, dayFilePath);
    if (read.restarted) {
        // Truncated, replaced or gone: what the rows reflect is no longer the file.
        m_store.rollBackTo(firstPending);
        m_tail.reset();
        return fullReload(dayFilePath);
    }
    m_unterminated = read.unterminated;
    insertPending(firstPending);

    if (m_highlight != Highlight::Following) {
        m_highlight = Highlight::Following;
    }
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1),
                           {Qt::ForegroundRole});
    }
    return true;
}

} // namespace zlv
