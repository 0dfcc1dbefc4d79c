#pragma once

#include "logstore/DayFileTail.h"
#include "logstore/LogRowStore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zlv::win {

// The rows of one list as the list view asks for them: records in the shared store, in the
// order of the list's sort, every sixth one green.
class ListRows final
{
public:
    using RecordId = LogRowStore::RecordId;

    int count() const { return static_cast<int>(m_order.size()); }
    void clear();
    // Appends a day file's records and puts the order back to the first column,
    // descending. False, with nothing changed, when no file is there.
    bool appendFile(const std::string& path);
    void loadFiles(const std::vector<std::string>& paths);
    // What clear() and appendFile(path) give, reading only what was appended since.
    void rebuildFrom(const std::string& path);

    void sortBy(int column, bool descending);
    int sortColumn() const { return m_column; }
    bool descending() const { return m_descending; }

    // Every sixth row of the current order green, from the first; the colours then stay
    // with their records through a re-sort.
    void highlight();
    bool green(int row) const;

    // The text a cell shows (the time column rendered into `buffer`).
    std::string_view text(int row, int column, std::string& buffer) const;
    std::string stamp(int row) const;
    RecordId recordAt(int row) const;
    int rowOf(RecordId record) const;
    // Changes whenever record ids stop meaning what they meant.
    std::uint64_t generation() const { return m_generation; }
    void refreshTimes();

private:
    RecordId idAt(int row) const;
    void resort();

    LogRowStore m_store;
    std::vector<RecordId> m_order; // ascending by the sort key
    int m_column = 0;
    bool m_descending = true;
    bool m_following = true; // colours by position until the user re-sorts
    DayFileTail m_tail;
    bool m_tailInSync = false;
    std::uint64_t m_generation = 0;
};

} // namespace zlv::win
