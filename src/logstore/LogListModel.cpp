#include "logstore/LogListModel.h"

#include "logstore/LineText.h"
#include "logstore/RowOrdering.h"
#include "utility/FileSystem.h"

#include <QBrush>
#include <QColor>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <numeric>

namespace zlv {

namespace {

// Below this a sort takes well under a tenth of a second and is done at once.
constexpr std::size_t kBackgroundSortRows = 100000;

} // namespace

LogListModel::LogListModel(QObject* parent) : QAbstractTableModel(parent) {}

LogListModel::~LogListModel() = default;

void LogListModel::setCaptions(const QStringList& captions)
{
    m_captions = captions;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

int LogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown().size());
}

int LogListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

Qt::ItemFlags LogListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QVariant LogListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_captions.size()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return m_captions.at(section);
}

QVariant LogListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kColumnCount) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole: {
        // Wider than any screen; what lies beyond would be elided anyway.
        constexpr qsizetype kPaintedChars = 1024;
        QString shown = text(index.row(), index.column());
        if (shown.size() > kPaintedChars) {
            shown.truncate(kPaintedChars);
            shown += QChar(0x2026);
        }
        return shown;
    }
    case FullTextRole:
        return text(index.row(), index.column());
    case StampRole:
        return stamp(index.row());
    case Qt::ForegroundRole:
        if (isHighlighted(index.row())) {
            static const QBrush kGreen{QColor(0, 128, 0)};
            return kGreen;
        }
        return {};
    default:
        return {};
    }
}

void LogListModel::sort(int column, Qt::SortOrder order)
{
    sortBy(column, order);
}

std::string_view LogListModel::key(RecordId id, int column, std::string& buffer) const
{
    const LogRowStore::Row& row = m_store.row(id);
    return rowtext::Key(rowtext::Line(m_store.blocks(), row), m_store.patterns()[row.pattern],
                        column, buffer);
}

LogListModel::RecordId LogListModel::idAtRow(int row) const
{
    const auto r = static_cast<std::size_t>(row);
    const std::vector<RecordId>& ids = shown();
    return m_sortOrder == Qt::DescendingOrder ? ids[ids.size() - 1 - r] : ids[r];
}

QString LogListModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return {};
    }
    std::string buffer;
    return DecodeShown(key(idAtRow(row), column, buffer));
}

QString LogListModel::stamp(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    const RecordId id = idAtRow(row);
    return DecodeShown(rowtext::Field(rowtext::Line(m_store.blocks(), m_store.row(id)), 0));
}

LogListModel::RecordId LogListModel::recordAt(int row) const
{
    return row >= 0 && row < rowCount() ? idAtRow(row) : std::numeric_limits<RecordId>::max();
}

int LogListModel::rowOfRecord(RecordId id) const
{
    const std::vector<RecordId>& ids = shown();
    const auto it = std::find(ids.begin(), ids.end(), id);
    if (it == ids.end()) {
        return -1;
    }
    const auto pos = static_cast<int>(it - ids.begin());
    return m_sortOrder == Qt::DescendingOrder ? rowCount() - 1 - pos : pos;
}

void LogListModel::clearStorage()
{
    m_store.clear();
    m_order.clear();
    m_order.shrink_to_fit();
    m_shown.clear();
    m_shown.shrink_to_fit();
    m_times.truncate();
    cancelBackgroundSort();
    contentChanged();
    m_orderStale = false;
    m_highlight = Highlight::None;
    m_tail.reset();
    m_tailInSync = false;
    m_unterminated.reset();
    ++m_generation;
}

void LogListModel::sortOrderArray(int column)
{
    SortRecords(m_store, m_order, column);
}

void LogListModel::relayout(int column, Qt::SortOrder order, std::vector<RecordId>* sorted)
{
    if (!sorted) {
        cancelBackgroundSort();
    }
    const bool resort = column != m_sortColumn || m_orderStale || sorted;
    if (!resort && order == m_sortOrder) {
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<RecordId> ids;
    ids.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& index : before) {
        ids.push_back(idAtRow(index.row()));
    }
    m_sortColumn = column;
    m_sortOrder = order;
    if (sorted) {
        m_order.swap(*sorted);
        m_orderStale = false;
        reorderShown();
    } else if (resort) {
        sortOrderArray(column);
        m_orderStale = false;
        reorderShown();
    }
    if (!before.isEmpty()) {
        std::vector<int> rowOf(m_store.size(), -1);
        for (int row = 0; row < rowCount(); ++row) {
            rowOf[idAtRow(row)] = row;
        }
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            after.push_back(index(rowOf[ids[static_cast<std::size_t>(i)]], before[i].column()));
        }
        changePersistentIndexList(before, after);
    }
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void LogListModel::sortBy(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    freezeHighlight();
    const bool resort = column != m_sortColumn || m_orderStale;
    if (m_pending && m_pending->column == column) {
        m_pending->order = order; // the same sort is on its way; only its direction changed
        return;
    }
    if (resort && m_order.size() >= kBackgroundSortRows) {
        sortInBackground(column, order);
        return;
    }
    relayout(column, order);
    Q_EMIT sortFinished();
}

void LogListModel::sortInBackground(int column, Qt::SortOrder order)
{
    m_pending = PendingSort{column, order};
    const std::uint64_t ticket = ++m_sortTicket;
    const std::uint64_t content = m_contentTicket;
    // The worker has its own copy of what it reads: the list may be cleared, reloaded or
    // re-sorted meanwhile, and only a result for the records as they still are is taken.
    auto snapshot = std::make_shared<RowSnapshot>(RowSnapshot::of(m_store));
    auto ids = std::make_shared<std::vector<RecordId>>(m_order);
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, ticket, content, ids] {
        watcher->deleteLater();
        if (ticket != m_sortTicket || !m_pending) {
            return;
        }
        const PendingSort wanted = *m_pending;
        if (content != m_contentTicket) {
            sortInBackground(wanted.column, wanted.order);
            return;
        }
        m_pending.reset();
        relayout(wanted.column, wanted.order, ids.get());
        Q_EMIT sortFinished();
    });
    watcher->setFuture(QtConcurrent::run([snapshot, ids, column] {
        SortRecords(snapshot->blocks, snapshot->rows, snapshot->patterns, *ids, column);
    }));
}

void LogListModel::cancelBackgroundSort()
{
    ++m_sortTicket;
    m_pending.reset();
}

void LogListModel::contentChanged()
{
    ++m_contentTicket;
}

void LogListModel::reorderShown()
{
    if (!filtering()) {
        return;
    }
    std::vector<std::uint8_t> member(m_store.size());
    for (const RecordId id : m_shown) {
        member[id] = 1;
    }
    m_shown.clear();
    for (const RecordId id : m_order) {
        if (member[id]) {
            m_shown.push_back(id);
        }
    }
}

void LogListModel::refilter()
{
    if (!filtering()) {
        m_shown.clear();
        m_shown.shrink_to_fit();
        return;
    }
    m_shown = FilterRecords(m_store, m_times, m_order, RecordMatcher(m_filter));
}

void LogListModel::setFilter(const QString& text)
{
    if (text == m_filter) {
        return;
    }
    // Whatever shows the longer text shows the shorter one too: while the search grows,
    // only the rows shown now need a look.
    const bool narrowing = filtering() && text.contains(m_filter, Qt::CaseInsensitive);
    std::vector<RecordId> next;
    if (!text.isEmpty()) {
        next = FilterRecords(m_store, m_times, narrowing ? m_shown : m_order, RecordMatcher(text));
    }
    // A key that leaves the same rows (the first letters of a search often match them all)
    // spares the view a relayout of every row.
    const bool same = (text.isEmpty() ? m_order : next) == shown();
    if (!same) {
        beginResetModel();
    }
    m_filter = text;
    m_shown = std::move(next);
    if (!same) {
        endResetModel();
    }
}

void LogListModel::adoptPattern(const std::string& pattern)
{
    m_store.adoptPattern(pattern);
    m_times.truncate();
    contentChanged();
    if (m_pending) {
        sortInBackground(m_pending->column, m_pending->order); // by the new texts
    }
    if (filtering()) {
        // The times shown have changed, so have the rows that show the text.
        beginResetModel();
        refilter();
        endResetModel();
    }
    if (m_sortColumn == 0 && rowCount() > 1) {
        m_orderStale = true; // shown as sorted by the old texts until the next sort
    }
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DisplayRole});
    }
}

void LogListModel::refreshTimes()
{
    adoptPattern(GetDisplayPattern());
}

void LogListModel::clear()
{
    beginResetModel();
    clearStorage();
    endResetModel();
}

bool LogListModel::appendFile(const std::string& dayFilePath)
{
    if (!fs::FileExists(dayFilePath)) {
        return false;
    }
    beginResetModel();
    freezeHighlight(); // the rows already shown keep the colour they have
    if (m_store.empty()) {
        // Loaded from its start into an empty list: the rows now reflect the file, and the
        // Today rebuild can go on from here reading only what is appended.
        m_tail.reset();
        const LogRowStore::ReadResult read = m_store.readFile(m_tail, dayFilePath);
        m_unterminated = read.unterminated;
        m_tailInSync = true;
    } else {
        DayFileTail tail;
        m_store.readFile(tail, dayFilePath);
        m_tail.reset();
        m_tailInSync = false;
        m_unterminated.reset();
    }
    m_order.resize(m_store.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    m_sortColumn = 0;
    m_sortOrder = Qt::DescendingOrder;
    m_orderStale = false;
    cancelBackgroundSort();
    contentChanged();
    sortOrderArray(0);
    refilter();
    endResetModel();
    return true;
}

void LogListModel::loadFiles(const std::vector<std::string>& dayFilePaths)
{
    beginResetModel();
    clearStorage();
    std::uint64_t bytes = 0;
    std::vector<std::string> present;
    for (const std::string& path : dayFilePaths) {
        if (const auto state = fs::StatFile(path)) {
            bytes += state->size;
            present.push_back(path);
        }
    }
    // Day-file lines are rarely shorter than this, so the rows are sized once from a good
    // guess instead of being doubled up from nothing while a million of them arrive.
    m_store.reserve(
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 80, LogRowStore::kMaxRecords)));
    bool any = false;
    for (const std::string& path : present) {
        if (!fs::FileExists(path)) {
            continue;
        }
        any = true;
        DayFileTail tail;
        m_store.readFile(tail, path);
    }
    if (any) {
        // Each file load leaves the first column descending; with no file loaded the list
        // keeps the sort state it had.
        m_sortColumn = 0;
        m_sortOrder = Qt::DescendingOrder;
    }
    m_order.resize(m_store.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    sortOrderArray(m_sortColumn);
    refilter();
    endResetModel();
}

} // namespace zlv
