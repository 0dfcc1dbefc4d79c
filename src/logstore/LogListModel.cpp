#include "logstore/LogListModel.h"

#include "logstore/DayFile.h"
#include "utility/FileSystem.h"

#include <QBrush>
#include <QColor>

#ifdef __linux__
#include <sys/mman.h>
#endif
#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <new>
#include <numeric>

namespace zlv {

namespace {

constexpr std::uint32_t kBlockBytes = 4u << 20;
constexpr std::uint8_t kGreenFlag = 1;
// Beyond this a list would not fit in memory anyway; refusing more keeps row numbers in int.
constexpr std::size_t kMaxRecords = static_cast<std::size_t>(std::numeric_limits<int>::max()) / 2;
// A time text longer than this comes only from a hand-edited format; it is cut here, so
// that neither showing nor sorting a million rows can run away with it.
constexpr std::size_t kMaxTimeText = 256;
// An unterminated last line is read at most this far, as DayFileTail reads a line.
constexpr std::uint64_t kMaxUnterminated = 4u << 20;

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// Object, Action, Path, Original Name and the rest of a stored line. The line passed the
// record test when it was read, so it holds a 19-byte stamp, a tab and four more tabs.
std::array<std::string_view, 5> SubFields(std::string_view line)
{
    std::array<std::string_view, 5> out;
    std::string_view rest = line.substr(dayfile::kStampLength + 1);
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t tab = rest.find('\t');
        out[i] = rest.substr(0, tab);
        rest.remove_prefix(tab == std::string_view::npos ? rest.size() : tab + 1);
    }
    out[4] = rest;
    return out;
}

bool ValidUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned int min = 0;
        unsigned int cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, min = 0x80, cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, min = 0x800, cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, min = 0x10000, cp = c & 0x07u;
        } else {
            return false;
        }
        if (end - p <= extra) {
            return false;
        }
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i] & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        p += extra + 1;
    }
    return true;
}

// Day files written here are UTF-8. A line in any other encoding (a file from an older
// Windows build in its ANSI code page, or damage) is shown in the local 8-bit encoding on
// Windows and as Latin-1 elsewhere, so that every byte stays visible as some character.
QString Decode(std::string_view bytes)
{
    const auto size = static_cast<qsizetype>(bytes.size());
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return QString::fromLatin1(bytes.data(), size);
    }
    if (ValidUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), size);
    }
#ifdef _WIN32
    return QString::fromLocal8Bit(bytes.data(), size);
#else
    return QString::fromLatin1(bytes.data(), size);
#endif
}

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

// A million rows take a hundred megabytes of arena, touched once as they are read in. On
// Linux the blocks ask for huge pages, so that filling them costs a few hundred page faults
// instead of tens of thousands.
char* AllocateBlock(std::size_t bytes)
{
#ifdef __linux__
    constexpr std::size_t kHugePage = 2u << 20;
    if (bytes % kHugePage == 0) {
        if (void* block = std::aligned_alloc(kHugePage, bytes)) {
            ::madvise(block, bytes, MADV_HUGEPAGE);
            return static_cast<char*>(block);
        }
    }
#endif
    auto* block = static_cast<char*>(std::malloc(bytes));
    if (!block) {
        throw std::bad_alloc();
    }
    return block;
}

std::size_t HugePageRounded(std::size_t bytes)
{
    constexpr std::size_t kHugePage = 2u << 20;
    if (bytes < kHugePage / 2) {
        return std::max<std::size_t>(bytes, 1);
    }
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

// For the large arrays a sort builds and drops again.
template <typename T> struct BulkAllocator
{
    using value_type = T;
    BulkAllocator() = default;
    template <typename U> BulkAllocator(const BulkAllocator<U>&) {}
    T* allocate(std::size_t n)
    {
        return reinterpret_cast<T*>(AllocateBlock(HugePageRounded(n * sizeof(T))));
    }
    void deallocate(T* p, std::size_t) { std::free(p); }
    friend bool operator==(const BulkAllocator&, const BulkAllocator&) { return true; }
};

template <typename T> using BulkVector = std::vector<T, BulkAllocator<T>>;

} // namespace

void LogListModel::FreeBlock::operator()(char* block) const
{
    std::free(block);
}

LogListModel::LogListModel(QObject* parent) : QAbstractTableModel(parent) {}

LogListModel::~LogListModel() = default;

void LogListModel::setCaptions(const QStringList& captions)
{
    m_captions = captions;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

int LogListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
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
    case Qt::DisplayRole:
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

std::string_view LogListModel::line(const Row& row) const
{
    return {m_blocks[row.block].get() + row.offset, row.length};
}

std::string_view LogListModel::field(const Row& row, int column) const
{
    const std::string_view l = line(row);
    if (column == 0) {
        return l.substr(0, dayfile::kStampLength);
    }
    const auto fields = SubFields(l);
    if (column == 5 && fields[1] != "Renamed") {
        return {}; // only a rename has a new name; whatever else follows is not shown
    }
    return fields[static_cast<std::size_t>(column - 1)];
}

std::string_view LogListModel::key(RecordId id, int column, std::string& buffer) const
{
    const Row& row = m_rows[id];
    if (column != 0) {
        return field(row, column);
    }
    buffer.clear();
    const std::string_view stored = field(row, 0);
    if (const auto at = dayfile::ParseStamp(stored)) {
        m_patterns[row.pattern].renderTo(*at, buffer, kMaxTimeText);
        return buffer;
    }
    return stored;
}

LogListModel::RecordId LogListModel::idAtRow(int row) const
{
    const auto r = static_cast<std::size_t>(row);
    return m_sortOrder == Qt::DescendingOrder ? m_order[m_order.size() - 1 - r] : m_order[r];
}

bool LogListModel::green(int row, const Row& r) const
{
    switch (m_highlight) {
    case Highlight::Following:
        return row % 6 == 0;
    case Highlight::Frozen:
        return (r.flags & kGreenFlag) != 0;
    case Highlight::None:
        break;
    }
    return false;
}

bool LogListModel::isHighlighted(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    return green(row, m_rows[idAtRow(row)]);
}

QString LogListModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= kColumnCount) {
        return {};
    }
    std::string buffer;
    return Decode(key(idAtRow(row), column, buffer));
}

QString LogListModel::stamp(int row) const
{
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    return Decode(field(m_rows[idAtRow(row)], 0));
}

LogListModel::RecordId LogListModel::recordAt(int row) const
{
    return row >= 0 && row < rowCount() ? idAtRow(row) : std::numeric_limits<RecordId>::max();
}

int LogListModel::rowOfRecord(RecordId id) const
{
    const auto it = std::find(m_order.begin(), m_order.end(), id);
    if (it == m_order.end()) {
        return -1;
    }
    const auto pos = static_cast<int>(it - m_order.begin());
    return m_sortOrder == Qt::DescendingOrder ? rowCount() - 1 - pos : pos;
}

void LogListModel::clearStorage()
{
    m_blocks.clear();
    m_blockUsed = 0;
    m_blockSize = 0;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_order.clear();
    m_order.shrink_to_fit();
    m_patterns.clear();
    m_orderStale = false;
    m_highlight = Highlight::None;
    m_tail.reset();
    m_tailInSync = false;
    m_unterminated.reset();
    ++m_generation;
}

std::uint16_t LogListModel::currentPatternIndex()
{
    const std::string pattern = GetDisplayPattern();
    if (m_patterns.empty() || m_patterns.back().pattern() != pattern) {
        if (m_patterns.size() > std::numeric_limits<std::uint16_t>::max()) {
            m_patterns.back() = CompiledPattern(pattern); // only after 65,536 format changes
        } else {
            m_patterns.emplace_back(pattern);
        }
    }
    return static_cast<std::uint16_t>(m_patterns.size() - 1);
}

void LogListModel::appendRecord(std::string_view text, std::uint16_t pattern)
{
    if (m_rows.size() >= kMaxRecords) {
        return;
    }
    const auto length = static_cast<std::uint32_t>(
        std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max() / 2));
    if (m_blocks.empty() || m_blockSize - m_blockUsed < length) {
        m_blockSize = std::max(kBlockBytes, length);
        m_blocks.emplace_back(AllocateBlock(m_blockSize));
        m_blockUsed = 0;
    }
    std::copy_n(text.data(), length, m_blocks.back().get() + m_blockUsed);
    m_rows.push_back(
        Row{static_cast<std::uint32_t>(m_blocks.size() - 1), m_blockUsed, length, pattern, 0});
    m_blockUsed += length;
}

std::size_t LogListModel::appendLines(std::string_view bytes, std::uint16_t pattern)
{
    std::size_t added = 0;
    while (!bytes.empty()) {
        const std::size_t newline = bytes.find('\n');
        const std::string_view raw =
            newline == std::string_view::npos ? bytes : bytes.substr(0, newline);
        bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
        if (dayfile::RecordTextOfLine(raw)) {
            appendRecord(WithoutLineEnd(raw), pattern);
            ++added;
        }
    }
    return added;
}

void LogListModel::rollBackTo(std::size_t recordCount)
{
    if (m_rows.size() <= recordCount) {
        return;
    }
    m_rows.resize(recordCount);
    if (m_rows.empty()) {
        m_blocks.clear();
        m_blockUsed = m_blockSize = 0;
        return;
    }
    // Records fill the arena in id order, so the last record kept marks its end.
    const Row& last = m_rows.back();
    if (m_blocks.size() > last.block + 1u) {
        m_blocks.resize(last.block + 1u);
        m_blockSize = std::max(kBlockBytes, last.offset + last.length);
    }
    m_blockUsed = last.offset + last.length;
}

LogListModel::ReadResult LogListModel::readFile(DayFileTail& tail, const std::string& path)
{
    ReadResult result;
    const std::uint16_t pattern = currentPatternIndex();
    const std::size_t start = m_rows.size();
    bool atEnd = false; // the last chunk ended where the file ends
    for (bool first = true;; first = false) {
        const DayFileTail::Chunk chunk = tail.poll(path);
        if (chunk.restarted) {
            if (first) {
                result.restarted = true;
            } else {
                rollBackTo(start); // replaced while being read: what came before is gone
            }
        }
        if (chunk.bytes.empty()) {
            break;
        }
        appendLines(chunk.bytes, pattern);
        if (!chunk.more) {
            atEnd = true;
            break;
        }
    }
    if (atEnd) {
        return result;
    }
    // A last line without its line end is part of the file as it stands; it is kept apart
    // so that it can be taken back once the rest of that line arrives.
    const auto state = fs::StatFile(path);
    if (state && state->size > tail.offset()) {
        bool ok = false;
        const std::string rest = fs::ReadFrom(path, tail.offset(), kMaxUnterminated, &ok);
        if (ok && rest.find('\n') == std::string::npos) {
            const std::size_t before = m_rows.size();
            if (appendLines(rest, pattern) > 0) {
                result.unterminated = static_cast<RecordId>(before);
            }
        }
    }
    return result;
}

void LogListModel::sortOrderArray(int column)
{
    const std::size_t n = m_order.size();
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
            const std::string_view k = key(m_order[i], 0, buffer);
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
            keys[i] = field(m_rows[m_order[i]], column);
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
                             Prefix(rest.substr(std::min<std::size_t>(8, rest.size()))), m_order[i],
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
        m_order[i] = items[i].id;
    }
}

void LogListModel::relayout(int column, Qt::SortOrder order)
{
    const bool resort = column != m_sortColumn || m_orderStale;
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
    if (resort) {
        sortOrderArray(column);
        m_orderStale = false;
    }
    if (!before.isEmpty()) {
        std::vector<int> rowOf(m_rows.size(), -1);
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

void LogListModel::freezeHighlight()
{
    if (m_highlight != Highlight::Following) {
        return;
    }
    for (int row = 0; row < rowCount(); ++row) {
        Row& r = m_rows[idAtRow(row)];
        r.flags = static_cast<std::uint8_t>((r.flags & ~kGreenFlag) | (row % 6 == 0 ? 1 : 0));
    }
    m_highlight = Highlight::Frozen;
}

void LogListModel::sortBy(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    freezeHighlight();
    relayout(column, order);
}

void LogListModel::highlight()
{
    if (m_highlight == Highlight::Following) {
        return;
    }
    if (m_highlight == Highlight::None) {
        m_highlight = Highlight::Following;
    } else {
        for (int row = 0; row < rowCount(); row += 6) {
            m_rows[idAtRow(row)].flags |= kGreenFlag;
        }
    }
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1),
                           {Qt::ForegroundRole});
    }
}

void LogListModel::adoptPattern(const std::string& pattern)
{
    m_patterns.clear();
    m_patterns.emplace_back(pattern);
    for (Row& row : m_rows) {
        row.pattern = 0;
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
    const bool empty = m_rows.empty();
    if (empty) {
        // Loaded from its start into an empty list: the rows now reflect the file, and the
        // Today rebuild can go on from here reading only what is appended.
        m_tail.reset();
        const ReadResult read = readFile(m_tail, dayFilePath);
        m_unterminated = read.unterminated;
        m_tailInSync = true;
    } else {
        DayFileTail tail;
        readFile(tail, dayFilePath);
        m_tail.reset();
        m_tailInSync = false;
        m_unterminated.reset();
    }
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    m_sortColumn = 0;
    m_sortOrder = Qt::DescendingOrder;
    m_orderStale = false;
    sortOrderArray(0);
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
    m_rows.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(bytes / 80, kMaxRecords)));
    bool any = false;
    for (const std::string& path : present) {
        if (!fs::FileExists(path)) {
            continue;
        }
        any = true;
        DayFileTail tail;
        readFile(tail, path);
    }
    if (any) {
        // Each file load leaves the first column descending; with no file loaded the list
        // keeps the sort state it had.
        m_sortColumn = 0;
        m_sortOrder = Qt::DescendingOrder;
    }
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    sortOrderArray(m_sortColumn);
    endResetModel();
}

bool LogListModel::fullReload(const std::string& path)
{
    beginResetModel();
    clearStorage();
    const bool exists = fs::FileExists(path);
    const ReadResult read = readFile(m_tail, path);
    m_unterminated = read.unterminated;
    m_tailInSync = true;
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), RecordId{0});
    if (exists) {
        m_sortColumn = 0;
        m_sortOrder = Qt::DescendingOrder;
    }
    sortOrderArray(m_sortColumn);
    m_highlight = Highlight::Following;
    endResetModel();
    return false;
}

void LogListModel::removeUnterminated()
{
    if (!m_unterminated) {
        return;
    }
    const RecordId id = *m_unterminated;
    m_unterminated.reset();
    const auto it = std::find(m_order.rbegin(), m_order.rend(), id);
    if (it != m_order.rend()) {
        const auto pos = static_cast<int>(m_order.rend() - it - 1);
        const int row = m_sortOrder == Qt::DescendingOrder ? rowCount() - 1 - pos : pos;
        beginRemoveRows({}, row, row);
        m_order.erase(it.base() - 1);
        endRemoveRows();
    }
    if (id + 1u == m_rows.size()) {
        rollBackTo(id);
    }
}

void LogListModel::insertPending(std::size_t firstPending)
{
    const std::size_t total = m_rows.size();
    if (firstPending >= total) {
        return;
    }
    const std::size_t count = total - firstPending;
    std::string previous, buffer;
    // The usual case: every new record sorts after all that are shown (a later time of the
    // same day), so they all go on top in one insertion.
    bool inOrder = true;
    bool havePrevious = !m_order.empty();
    if (havePrevious) {
        previous.assign(key(m_order.back(), 0, buffer));
    }
    for (std::size_t id = firstPending; id < total; ++id) {
        const std::string_view k = key(static_cast<RecordId>(id), 0, buffer);
        if (havePrevious && k.compare(previous) < 0) {
            inOrder = false;
            break;
        }
        previous.assign(k);
        havePrevious = true;
    }
    if (inOrder) {
        beginInsertRows({}, 0, static_cast<int>(count) - 1);
        for (std::size_t id = firstPending; id < total; ++id) {
            m_order.push_back(static_cast<RecordId>(id));
        }
        endInsertRows();
        return;
    }
    if (count > 256 && count * 8 > m_order.size()) {
        beginResetModel();
        for (std::size_t id = firstPending; id < total; ++id) {
            m_order.push_back(static_cast<RecordId>(id));
        }
        sortOrderArray(0);
        endResetModel();
        return;
    }
    for (std::size_t id = firstPending; id < total; ++id) {
        const std::string newKey(key(static_cast<RecordId>(id), 0, buffer));
        // A new record has the highest id, so it goes after every record of an equal key.
        const auto at = std::upper_bound(m_order.begin(), m_order.end(), std::string_view(newKey),
                                         [this, &buffer](std::string_view k, RecordId other) {
                                             return k.compare(key(other, 0, buffer)) < 0;
                                         });
        const auto pos = static_cast<int>(at - m_order.begin());
        const int row = rowCount() - pos;
        beginInsertRows({}, row, row);
        m_order.insert(at, static_cast<RecordId>(id));
        endInsertRows();
    }
}

bool LogListModel::rebuildFrom(const std::string& dayFilePath)
{
    if (!m_tailInSync || m_tail.path() != dayFilePath) {
        return fullReload(dayFilePath);
    }
    const std::string pattern = GetDisplayPattern();
    if (m_patterns.size() != 1 || m_patterns.front().pattern() != pattern) {
        adoptPattern(pattern); // a full reload would render every row with today's format
    }
    relayout(0, Qt::DescendingOrder);
    removeUnterminated();

    const std::size_t firstPending = m_rows.size();
    const ReadResult read = readFile(m_tail, dayFilePath);
    if (read.restarted) {
        // Truncated, replaced or gone: what the rows reflect is no longer the file.
        rollBackTo(firstPending);
        m_tail.reset();
        return fullReload(dayFilePath);
    }
    m_unterminated = read.unterminated;
    insertPending(firstPending);

    if (m_highlight != Highlight::Following) {
        m_highlight = Highlight::Following;
    }
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, kColumnCount - 1),
                           {Qt::ForegroundRole});
    }
    return true;
}

} // namespace zlv
