// The order of a log list: a sort asked for by a header click or a load, done at once for
// a short list and on a thread of its own for a long one.
#include "logstore/LogList.h"
#include "logstore/RowOrdering.h"

#include <thread>

namespace zlv {

namespace {

// Below this a sort takes well under a tenth of a second and is done at once.
constexpr std::size_t kBackgroundSortRows = 100000;

} // namespace

// A sort running on its own thread, with its own copy of what it reads: the list may be
// cleared, reloaded or re-sorted meanwhile, and only a result for the records as they
// still are is taken.
struct LogList::SortJob
{
    int column = 0;
    std::uint64_t ticket = 0;
    std::uint64_t content = 0;
    RowSnapshot snapshot;
    std::vector<RecordId> ids;
    std::thread thread;
};

int LogList::sortColumn() const
{
    return m_pending ? m_pending->column : m_sortColumn;
}

SortOrder LogList::sortOrder() const
{
    return m_pending ? m_pending->order : m_sortOrder;
}

void LogList::sortOrderArray(int column)
{
    SortRecords(m_store, m_order, column);
}

void LogList::relayout(int column, SortOrder order, std::vector<RecordId>* sorted)
{
    if (!sorted) {
        cancelBackgroundSort();
    }
    const bool resort = column != m_sortColumn || sorted;
    if (!resort && order == m_sortOrder) {
        return;
    }
    if (m_observer) {
        m_observer->aboutToReorder();
    }
    m_sortColumn = column;
    m_sortOrder = order;
    if (sorted) {
        m_order.swap(*sorted);
        reorderShown();
    } else if (resort) {
        sortOrderArray(column);
        reorderShown();
    }
    if (m_observer) {
        m_observer->reorderDone();
    }
}

void LogList::sortBy(int column, SortOrder order)
{
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    freezeHighlight();
    if (m_pending && m_pending->column == column) {
        m_pending->order = order; // the same sort is on its way; only its direction changed
        return;
    }
    const bool resort = column != m_sortColumn;
    if (resort && m_order.size() >= kBackgroundSortRows && m_poster) {
        sortInBackground(column, order);
        return;
    }
    relayout(column, order);
    if (m_observer) {
        m_observer->sortFinished();
    }
}

void LogList::sortByHeader(int column)
{
    sortBy(column,
           sortOrder() == SortOrder::Ascending ? SortOrder::Descending : SortOrder::Ascending);
}

void LogList::sortInBackground(int column, SortOrder order)
{
    m_pending = PendingSort{column, order};
    auto job = std::make_shared<SortJob>();
    job->column = column;
    job->ticket = ++m_sortTicket;
    job->content = m_contentTicket;
    job->snapshot = RowSnapshot::of(m_store);
    job->ids = m_order;
    std::weak_ptr<int> alive = m_alive;
    Poster poster = m_poster;
    SortJob* raw = job.get();
    m_jobs.push_back(job);
    raw->thread = std::thread([raw, alive, poster, this] {
        SortRecords(raw->snapshot, raw->ids, raw->column);
        // The list is told on its own thread; it may be gone by then, and its destructor
        // waits for this thread, so `this` is looked at only while `alive` says it lives.
        poster([raw, alive, this] {
            if (alive.lock()) {
                takeBackgroundSort(raw);
            }
        });
    });
}

void LogList::takeBackgroundSort(SortJob* finished)
{
    std::shared_ptr<SortJob> job;
    for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
        if (it->get() == finished) {
            job = *it;
            m_jobs.erase(it);
            break;
        }
    }
    if (!job) {
        return;
    }
    job->thread.join();
    if (job->ticket != m_sortTicket || !m_pending) {
        return;
    }
    const PendingSort wanted = *m_pending;
    if (job->content != m_contentTicket) {
        sortInBackground(wanted.column, wanted.order); // the records changed meanwhile
        return;
    }
    m_pending.reset();
    relayout(wanted.column, wanted.order, &job->ids);
    if (m_observer) {
        m_observer->sortFinished();
    }
}

void LogList::cancelBackgroundSort()
{
    ++m_sortTicket;
    m_pending.reset();
}

void LogList::joinSorts()
{
    for (const std::shared_ptr<SortJob>& job : m_jobs) {
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
    m_jobs.clear();
}

} // namespace zlv
