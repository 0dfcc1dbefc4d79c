#pragma once

#include "logstore/LogRowStore.h"

#include <vector>

namespace zlv {

// What ordering the records needs of a store. A copy of it stays valid on another thread
// whatever happens to the store meanwhile: the blocks are kept alive, the rows are owned,
// and the lines are reached through the blocks' addresses taken when the copy was made, so
// that the owning thread may go on appending to a block the copy also reads.
struct RowSnapshot
{
    std::vector<LogRowStore::Block> keep;
    std::vector<const char*> bases;
    std::vector<LogRowStore::Row> rows;

    static RowSnapshot of(const LogRowStore& store);
    std::string_view line(LogRowStore::RecordId id) const
    {
        const LogRowStore::Row& row = rows[id];
        return {bases[row.block] + row.offset, row.length};
    }
};

// What a column sorts by: the stored stamp for the time column, whatever the display
// format makes of it (so that months and hours come in their order); the shown text,
// byte by byte, for the others.
std::string_view SortKey(std::string_view line, int column);

// Puts `order` ascending by SortKey() of `column`; records with equal keys in id order,
// which is the order they were loaded in. An order already so costs one look at each key.
void SortRecords(const LogRowStore& store, std::vector<LogRowStore::RecordId>& order, int column);
void SortRecords(const RowSnapshot& snapshot, std::vector<LogRowStore::RecordId>& order,
                 int column);

} // namespace zlv
