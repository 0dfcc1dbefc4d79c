#pragma once

#include "logstore/LogRowStore.h"

#include <vector>

namespace zlv {

// What ordering the records needs of a store. A copy of it stays valid on another thread
// whatever happens to the store meanwhile: the blocks are shared, the rest is owned.
struct RowSnapshot
{
    std::vector<LogRowStore::Block> blocks;
    std::vector<LogRowStore::Row> rows;
    std::vector<CompiledPattern> patterns;

    static RowSnapshot of(const LogRowStore& store)
    {
        return {store.blocks(), store.rows(), store.patterns()};
    }
};

// Puts `order` ascending by the displayed text of `column`, compared byte by byte; records
// with equal texts in id order, which is the order they were loaded in.
void SortRecords(const std::vector<LogRowStore::Block>& blocks,
                 const std::vector<LogRowStore::Row>& rows,
                 const std::vector<CompiledPattern>& patterns,
                 std::vector<LogRowStore::RecordId>& order, int column);

inline void SortRecords(const LogRowStore& store, std::vector<LogRowStore::RecordId>& order,
                        int column)
{
    SortRecords(store.blocks(), store.rows(), store.patterns(), order, column);
}

} // namespace zlv
