#pragma once

#include "logstore/LogList.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zlv {

// The rows of one log list as a Qt model: Time, Object, Action, Path, Original Name, New
// Name. Everything a list does lives in LogList; this passes its changes on as the
// model's signals and its texts on as QStrings.
class LogListModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kColumnCount = LogList::kColumnCount;
    // The stored stamp, whatever the display format made of it: exports and anything else
    // that must know the exact moment read this, since the shown time may drop the year.
    static constexpr int StampRole = Qt::UserRole;
    // The whole shown text of a cell (at most kShownBytes of a field). The list itself is
    // handed only as much as a row can ever show, so that painting a damaged field of
    // megabytes costs no more than an ordinary one.
    static constexpr int FullTextRole = Qt::UserRole + 1;
    // Identifies a record for as long as recordGeneration() stays the same.
    using RecordId = LogList::RecordId;

    explicit LogListModel(QObject* parent = nullptr);
    ~LogListModel() override;

    LogList& list() { return m_list; }
    const LogList& list() const { return m_list; }

    void setCaptions(const QStringList& captions);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // What LogList does, in Qt's terms (see there).
    void clear() { m_list.clear(); }
    bool appendFile(const std::string& dayFilePath) { return m_list.appendFile(dayFilePath); }
    void loadFiles(const std::vector<std::string>& paths) { m_list.loadFiles(paths); }
    bool rebuildFrom(const std::string& dayFilePath) { return m_list.rebuildFrom(dayFilePath); }
    void sortBy(int column, Qt::SortOrder order);
    int sortColumn() const { return m_list.sortColumn(); }
    Qt::SortOrder sortOrder() const;
    bool sorting() const { return m_list.sorting(); }
    void setFilter(const QString& text);
    QString filter() const { return QString::fromStdString(m_list.filter()); }
    bool filtering() const { return m_list.filtering(); }
    int totalCount() const { return m_list.totalCount(); }
    void highlight() { m_list.highlight(); }
    bool isHighlighted(int row) const { return m_list.isHighlighted(row); }
    void refreshTimes() { m_list.refreshTimes(); }

    QString text(int row, int column) const;
    QString stamp(int row) const;
    RecordId recordAt(int row) const { return m_list.recordAt(row); }
    int rowOfRecord(RecordId id) const { return m_list.rowOfRecord(id); }
    std::uint64_t recordGeneration() const { return m_list.recordGeneration(); }

Q_SIGNALS:
    void sortFinished();

private:
    // Passes the list's changes on as the model's signals.
    class Relay;
    friend class Relay;
    void aboutToReorder();
    void reorderDone();

    QStringList m_captions;
    std::unique_ptr<Relay> m_relay;
    LogList m_list;
    mutable std::string m_buffer;
    // Where the persistent indexes were while the rows change places.
    QModelIndexList m_movingIndexes;
    std::vector<RecordId> m_movingRecords;
};

} // namespace zlv
