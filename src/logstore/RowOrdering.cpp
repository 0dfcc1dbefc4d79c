#include "logstore/RowOrdering.h"

#include "logstore/DayFile.h"

#ifdef __linux__
#include <sys/mman.h>
#endif
#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>

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

// Keys of the same length and bytes up to this many after the shared ones are compared
// in their items alone; longer ones that tie there are compared again from copies.
constexpr std::size_t kInlineKey = 24;

template <typename LineOf>
void Sort(const LineOf& lineOf, const std::vector<LogRowStore::Block>& blocks,
          const std::vector<LogRowStore::Row>& rows, std::vector<RecordId>& order, int column)
{
    const std::size_t n = order.size();
    if (n < 2) {
        return;
    }
    const auto inOrder = [&](auto keyAt) {
        PageRelease pages(blocks);
        std::string_view previous = keyAt(0);
        for (std::size_t i = 1; i < n; ++i) {
            pages.step(rows[order[i]].block);
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
    // line, and no scratch at all. Other columns find out from their items.
    const auto keyOf = [&](std::size_t i) { return SortKey(lineOf(order[i]), column); };
    if (column == 0 && inOrder(keyOf)) {
        return;
    }

    // The keys are read in id order, which is the order of the lines in their blocks, so
    // that the pages of a mapped file are read front to back and let go behind, however
    // the rows stand now.
    std::vector<std::uint8_t> present(rows.size());
    for (const RecordId id : order) {
        present[id] = 1;
    }
    const auto forEachKey = [&](auto use) {
        PageRelease pages(blocks);
        for (std::size_t id = 0; id < present.size(); ++id) {
            if (present[id]) {
                const auto record = static_cast<RecordId>(id);
                pages.step(rows[id].block);
                use(record, SortKey(lineOf(record), column));
            }
        }
    };

    // Bytes that every key shares (a common folder, the year) decide nothing; the next
    // kInlineKey, held in the item itself, decide nearly every comparison. Only the items
    // are compared while sorting, never the lines, so that the order stays consistent
    // even if a mapped file changes under the sort.
    std::optional<std::string> first;
    std::size_t shared = 0;
    forEachKey([&](RecordId, std::string_view key) {
        if (!first) {
            first.emplace(key);
            shared = key.size();
        }
        std::size_t same = 0;
        const std::size_t limit = std::min(shared, key.size());
        while (same < limit && key[same] == (*first)[same]) {
            ++same;
        }
        shared = same;
    });
    struct Item
    {
        std::uint64_t key[3];
        std::uint32_t length; // of the key past the shared bytes
        RecordId id;
    };
    BulkVector<Item> items;
    items.reserve(n);
    forEachKey([&](RecordId id, std::string_view key) {
        const std::string_view rest = key.substr(std::min(shared, key.size()));
        Item item{{}, static_cast<std::uint32_t>(rest.size()), id};
        for (std::size_t w = 0; w < 3; ++w) {
            item.key[w] = Prefix(rest.substr(std::min(rest.size(), w * 8)));
        }
        items.push_back(item);
    });
    if (items.size() != n) {
        return; // a record named twice: no order of these ids holds every one
    }
    const auto sameInline = [](const Item& a, const Item& b) {
        return a.key[0] == b.key[0] && a.key[1] == b.key[1] && a.key[2] == b.key[2];
    };
    const auto less = [](const Item& a, const Item& b) {
        for (std::size_t w = 0; w < 3; ++w) {
            if (a.key[w] != b.key[w]) {
                return a.key[w] < b.key[w];
            }
        }
        return a.length != b.length ? a.length < b.length : a.id < b.id;
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
    // Keys longer than the items hold that tie in them: ordered again by copies of the
    // whole keys, one run of ties at a time.
    std::vector<std::pair<std::string, RecordId>> ties;
    for (std::size_t begin = 0; begin < n;) {
        std::size_t end = begin + 1;
        bool longKey = items[begin].length > kInlineKey;
        while (end < n && sameInline(items[begin], items[end])) {
            longKey = longKey || items[end].length > kInlineKey;
            ++end;
        }
        if (longKey && end - begin > 1) {
            ties.clear();
            for (std::size_t i = begin; i < end; ++i) {
                const std::string_view key = SortKey(lineOf(items[i].id), column);
                ties.emplace_back(key.substr(std::min(shared, key.size())), items[i].id);
            }
            std::sort(ties.begin(), ties.end());
            for (std::size_t i = begin; i < end; ++i) {
                items[i].id = ties[i - begin].second;
            }
        }
        begin = end;
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
    Sort([&store](RecordId id) { return store.line(id); }, store.blocks(), store.rows(), order,
         column);
}

void SortRecords(const RowSnapshot& snapshot, std::vector<RecordId>& order, int column)
{
    Sort([&snapshot](RecordId id) { return snapshot.line(id); }, snapshot.keep, snapshot.rows,
         order, column);
}

} // namespace zlv
