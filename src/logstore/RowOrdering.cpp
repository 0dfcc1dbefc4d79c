#include "logstore/RowOrdering.h"

#include "logstore/DayFile.h"

#ifdef __linux__
#include <sys/mman.h>
#endif
#include <algorithm>
#include <cstdlib>
#include <new>

namespace zlv {

namespace {

using RecordId = LogRowStore::RecordId;

constexpr std::size_t kHugePage = 2u << 20;

// The first eight bytes as a big-endian number: most comparisons of a sort end here,
// without touching the key bytes scattered over the blocks.
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

// A sort of a million rows builds tens of megabytes of scratch and drops it again. On
// Linux it asks for huge pages, so that filling it costs a few page faults instead of
// thousands.
void* AllocateBulk(std::size_t bytes)
{
#ifdef __linux__
    if (bytes >= kHugePage) {
        const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        if (void* block = std::aligned_alloc(kHugePage, rounded)) {
            ::madvise(block, rounded, MADV_HUGEPAGE);
            return block;
        }
    }
#endif
    if (void* block = std::malloc(std::max<std::size_t>(bytes, 1))) {
        return block;
    }
    throw std::bad_alloc();
}

template <typename T> struct BulkAllocator
{
    using value_type = T;
    BulkAllocator() = default;
    template <typename U> BulkAllocator(const BulkAllocator<U>&) {}
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateBulk(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) { std::free(p); }
    friend bool operator==(const BulkAllocator&, const BulkAllocator&) { return true; }
};

template <typename T> using BulkVector = std::vector<T, BulkAllocator<T>>;

template <typename LineOf> void Sort(const LineOf& lineOf, std::vector<RecordId>& order, int column)
{
    const std::size_t n = order.size();
    if (n < 2) {
        return;
    }
    const auto inOrder = [n, &order](auto keyAt) {
        std::string_view previous = keyAt(0);
        for (std::size_t i = 1; i < n; ++i) {
            const std::string_view k = keyAt(i);
            const int c = previous.compare(k);
            if (c > 0 || (c == 0 && order[i - 1] > order[i])) {
                return false;
            }
            previous = k;
        }
        return true;
    };
    // A fresh load by time is in order already: one look at each stamp, which starts its
    // line, and no scratch at all.
    if (column == 0 && inOrder([&](std::size_t i) { return SortKey(lineOf(order[i]), 0); })) {
        return;
    }

    struct Item
    {
        std::uint64_t high;
        std::uint64_t low;
        const char* rest; // the key past the shared bytes, for the rare ties of sixteen
        std::uint32_t length;
        RecordId id;
    };
    // Each key is looked up in its line once.
    BulkVector<Item> items;
    items.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view k = SortKey(lineOf(order[i]), column);
        items.push_back(Item{0, 0, k.data(), static_cast<std::uint32_t>(k.size()), order[i]});
    }
    const auto keyOf = [&items](std::size_t i) {
        return std::string_view(items[i].rest, items[i].length);
    };
    if (column != 0 && inOrder(keyOf)) {
        return;
    }

    // Bytes that every key shares (a common folder, the year) decide nothing; the sixteen
    // after them, held in the item itself, decide most comparisons without touching the
    // lines.
    const std::string_view first = keyOf(0);
    std::size_t shared = first.size();
    for (std::size_t i = 1; i < n && shared > 0; ++i) {
        const std::string_view k = keyOf(i);
        std::size_t same = 0;
        const std::size_t limit = std::min(shared, k.size());
        while (same < limit && k[same] == first[same]) {
            ++same;
        }
        shared = same;
    }
    for (Item& item : items) {
        const std::string_view rest = std::string_view(item.rest, item.length).substr(shared);
        item.high = Prefix(rest);
        item.low = Prefix(rest.substr(std::min<std::size_t>(8, rest.size())));
        item.rest = rest.data();
        item.length = static_cast<std::uint32_t>(rest.size());
    }
    const auto less = [](const Item& a, const Item& b) {
        if (a.high != b.high) {
            return a.high < b.high;
        }
        if (a.low != b.low) {
            return a.low < b.low;
        }
        const int c =
            std::string_view(a.rest, a.length).compare(std::string_view(b.rest, b.length));
        return c != 0 ? c < 0 : a.id < b.id;
    };
    // Loaded day files are mostly in order already for the time column: one day file is
    // one ascending run. Merging the runs costs far less than sorting from scratch; rows
    // in no order get a plain sort.
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
                const auto from = items.begin() + static_cast<std::ptrdiff_t>(runs[r]);
                const auto middle = items.begin() + static_cast<std::ptrdiff_t>(runs[r + 1]);
                const auto last = r + 2 < runs.size()
                                      ? items.begin() + static_cast<std::ptrdiff_t>(runs[r + 2])
                                      : middle;
                std::merge(from, middle, middle, last,
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

} // namespace

RowSnapshot RowSnapshot::of(const LogRowStore& store)
{
    RowSnapshot snapshot{store.blocks(), {}, store.rows()};
    snapshot.bases.reserve(snapshot.keep.size());
    for (const LogRowStore::Block& block : snapshot.keep) {
        snapshot.bases.push_back(block->data());
    }
    return snapshot;
}

std::string_view SortKey(std::string_view line, int column)
{
    return column == 0 ? line.substr(0, dayfile::kStampLength) : rowtext::Field(line, column);
}

void SortRecords(const LogRowStore& store, std::vector<RecordId>& order, int column)
{
    Sort([&store](RecordId id) { return store.line(id); }, order, column);
}

void SortRecords(const RowSnapshot& snapshot, std::vector<RecordId>& order, int column)
{
    Sort([&snapshot](RecordId id) { return snapshot.line(id); }, order, column);
}

} // namespace zlv
