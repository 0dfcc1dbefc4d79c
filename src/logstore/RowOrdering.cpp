#include "logstore/RowOrdering.h"

#include <algorithm>
#include <cstdlib>

namespace zlv {

namespace {

using RecordId = LogRowStore::RecordId;

// The first eight bytes as a big-endian number: most comparisons of a sort end here,
// without touching the key bytes scattered over the arena.
std::uint64_t Prefix(std::string_view key)
{
    std::uint64_t p = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        p <<= 8;
        if (i < key.size()) {
            p |= static_cast<unsigned char>(key[i]);
        }
    }
    return p;
}

// For the large arrays a sort builds and drops again.
template <typename T> struct BulkAllocator
{
    using value_type = T;
    BulkAllocator() = default;
    template <typename U> BulkAllocator(const BulkAllocator<U>&) {}
    T* allocate(std::size_t n)
    {
        return reinterpret_cast<T*>(AllocateBulk(BulkRounded(n * sizeof(T))));
    }
    void deallocate(T* p, std::size_t) { std::free(p); }
    friend bool operator==(const BulkAllocator&, const BulkAllocator&) { return true; }
};

template <typename T> using BulkVector = std::vector<T, BulkAllocator<T>>;

} // namespace

void SortRecords(const std::vector<LogRowStore::Block>& blocks,
                 const std::vector<LogRowStore::Row>& rows,
                 const std::vector<CompiledPattern>& patterns, std::vector<RecordId>& order,
                 int column)
{
    const std::size_t n = order.size();
    if (n < 2) {
        return;
    }
    BulkVector<std::string_view> keys(n);
    BulkVector<char> rendered;
    if (column == 0) {
        // Rendered once per sort into one buffer; its views are taken only when it is
        // complete, since it may move while it grows.
        BulkVector<std::uint64_t> ends(n);
        rendered.reserve(n * 24);
        std::string buffer;
        for (std::size_t i = 0; i < n; ++i) {
            const LogRowStore::Row& row = rows[order[i]];
            const std::string_view k =
                rowtext::Key(rowtext::Line(blocks, row), patterns[row.pattern], 0, buffer);
            rendered.insert(rendered.end(), k.begin(), k.end());
            ends[i] = rendered.size();
        }
        std::uint64_t begin = 0;
        for (std::size_t i = 0; i < n; ++i) {
            keys[i] = std::string_view(rendered.data() + begin, ends[i] - begin);
            begin = ends[i];
        }
    } else {
        for (std::size_t i = 0; i < n; ++i) {
            keys[i] = rowtext::Field(rowtext::Line(blocks, rows[order[i]]), column);
        }
    }

    // Bytes that every key shares (a common folder, say) decide nothing; the sixteen after
    // them, held in the item itself, decide most comparisons without touching the keys.
    std::size_t shared = keys[0].size();
    for (std::size_t i = 1; i < n && shared > 0; ++i) {
        const std::string_view k = keys[i];
        std::size_t same = 0;
        const std::size_t limit = std::min(shared, k.size());
        while (same < limit && k[same] == keys[0][same]) {
            ++same;
        }
        shared = same;
    }
    struct Item
    {
        std::uint64_t high;
        std::uint64_t low;
        RecordId id;
        std::uint32_t slot;
    };
    BulkVector<Item> items;
    items.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view rest = keys[i].substr(shared);
        items.push_back(Item{Prefix(rest),
                             Prefix(rest.substr(std::min<std::size_t>(8, rest.size()))), order[i],
                             static_cast<std::uint32_t>(i)});
    }
    const auto less = [&keys, shared](const Item& a, const Item& b) {
        if (a.high != b.high) {
            return a.high < b.high;
        }
        if (a.low != b.low) {
            return a.low < b.low;
        }
        const int c = keys[a.slot].substr(shared).compare(keys[b.slot].substr(shared));
        return c != 0 ? c < 0 : a.id < b.id;
    };
    // Loaded day files are mostly in order already for the time column: one day file is
    // one ascending run, and with the default format a whole month of them is. Merging the
    // runs costs far less than sorting from scratch; rows in no order get a plain sort.
    std::vector<std::size_t> runs{0};
    for (std::size_t i = 1; i < n; ++i) {
        if (less(items[i], items[i - 1])) {
            runs.push_back(i);
            if (runs.size() > n / 64 + 1) {
                break;
            }
        }
    }
    if (runs.size() > n / 64 + 1) {
        std::sort(items.begin(), items.end(), less);
    } else if (runs.size() > 1) {
        runs.push_back(n);
        BulkVector<Item> spare(n);
        while (runs.size() > 2) {
            std::vector<std::size_t> merged{0};
            for (std::size_t r = 0; r + 1 < runs.size(); r += 2) {
                const auto first = items.begin() + static_cast<std::ptrdiff_t>(runs[r]);
                const auto middle = items.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]);
                const auto last = r + 2 < runs.size()
                                      ? items.begin() + static_cast<std::ptrdiff_t>(runs[r + 2])
                                      : middle;
                std::merge(first, middle, middle, last,
                           spare.begin() + static_cast<std::ptrdiff_t>(runs[r]), less);
                merged.push_back(r + 2 < runs.size() ? runs[r + 2] : runs[r + 1]);
            }
            items.swap(spare);
            runs.swap(merged);
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = items[i].id;
    }
}

} // namespace zlv
