#include "logstore/LogListModel.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>

namespace zlv {

namespace {

// A finished background sort is handed to the user-interface thread through its event
// loop; without an application there is none, and every sort runs at once.
LogList::Poster QueuedPoster()
{
    if (!QCoreApplication::instance()) {
        return {};
    }
    return [](LogList::Task task) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(task),
                                  Qt::QueuedConnection);
    };
}

Qt::SortOrder ToQt(SortOrder order)
{
    return order == SortOrder::Ascending ? Qt::AscendingOrder : Qt::DescendingOrder;
}

} // namespace

class LogListModel::Relay final : public LogListObserver
{
public:
    explicit Relay(LogListModel& model) : m_model(model) {}

    void aboutToReset() override { m_model.beginResetModel(); }
    void resetDone() override { m_model.endResetModel(); }
    void aboutToInsert(int first, int count) override
    {
        m_model.beginInsertRows({}, first, first + count - 1);
    }
    void insertDone() override { m_model.endInsertRows(); }
    void aboutToRemove(int first, int count) override
    {
        m_model.beginRemoveRows({}, first, first + count - 1);
    }
    void removeDone() override { m_model.endRemoveRows(); }
    void aboutToReorder() override { m_model.aboutToReorder(); }
    void reorderDone() override { m_model.reorderDone(); }
    void timesChanged(int first, int last) override
    {
        Q_EMIT m_model.dataChanged(m_model.index(first, 0), m_model.index(last, 0),
                                   {Qt::DisplayRole});
    }
    void coloursChanged(int first, int last) override
    {
        Q_EMIT m_model.dataChanged(m_model.index(first, 0), m_model.index(last, kColumnCount - 1),
                                   {Qt::ForegroundRole});
    }
    void sortFinished() override { Q_EMIT m_model.sortFinished(); }

private:
    LogListModel& m_model;
};

LogListModel::LogListModel(QObject* parent)
    : QAbstractTableModel(parent), m_relay(std::make_unique<Relay>(*this)), m_list(QueuedPoster())
{
    m_list.setObserver(m_relay.get());
}

LogListModel::~LogListModel()
{
    m_list.setObserver(nullptr);
}

void LogListModel::setCaptions(const QStringList& captions)
{
    m_captions = captions;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

int LogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_list.rowCount();
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

void LogListModel::sortBy(int column, Qt::SortOrder order)
{
    m_list.sortBy(column,
                  order == Qt::AscendingOrder ? SortOrder::Ascending : SortOrder::Descending);
}

Qt::SortOrder LogListModel::sortOrder() const
{
    return ToQt(m_list.sortOrder());
}

void LogListModel::setFilter(const QString& text)
{
    m_list.setFilter(text.toStdString());
}

QString LogListModel::text(int row, int column) const
{
    const std::string_view shown = m_list.cell(row, column, m_buffer);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

QString LogListModel::stamp(int row) const
{
    const std::string_view stored = m_list.stamp(row);
    return QString::fromLatin1(stored.data(), static_cast<qsizetype>(stored.size()));
}

void LogListModel::aboutToReorder()
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_movingIndexes = persistentIndexList();
    m_movingRecords.clear();
    m_movingRecords.reserve(static_cast<std::size_t>(m_movingIndexes.size()));
    for (const QModelIndex& index : m_movingIndexes) {
        m_movingRecords.push_back(m_list.recordAt(index.row()));
    }
}

void LogListModel::reorderDone()
{
    if (!m_movingIndexes.isEmpty()) {
        const std::vector<int> rows = m_list.rowsOfRecords(m_movingRecords);
        QModelIndexList after;
        after.reserve(m_movingIndexes.size());
        for (qsizetype i = 0; i < m_movingIndexes.size(); ++i) {
            after.push_back(index(rows[static_cast<std::size_t>(i)], m_movingIndexes[i].column()));
        }
        changePersistentIndexList(m_movingIndexes, after);
    }
    m_movingIndexes.clear();
    m_movingRecords.clear();
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace zlv
