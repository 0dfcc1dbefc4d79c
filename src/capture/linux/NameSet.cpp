#include "capture/linux/NameSet.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <utility>
#include <vector>

namespace zlv::linuxcapture {

namespace {

constexpr std::uint32_t kSmallestTable = 4;

} // namespace

NameSet::~NameSet()
{
    clear();
}

NameSet::NameSet(NameSet&& other) noexcept
    : m_capacity(std::exchange(other.m_capacity, 0)), m_count(std::exchange(other.m_count, 0))
{
    if (isTable()) {
        m_table = std::exchange(other.m_table, nullptr);
    } else {
        std::copy(other.m_inline, other.m_inline + kInline, m_inline);
    }
}

NameSet& NameSet::operator=(NameSet&& other) noexcept
{
    if (this != &other) {
        clear();
        m_capacity = std::exchange(other.m_capacity, 0);
        m_count = std::exchange(other.m_count, 0);
        if (isTable()) {
            m_table = std::exchange(other.m_table, nullptr);
        } else {
            std::copy(other.m_inline, other.m_inline + kInline, m_inline);
        }
    }
    return *this;
}

void NameSet::clear()
{
    if (isTable()) {
        std::free(m_table);
    }
    m_capacity = 0;
    m_count = 0;
    std::fill(m_inline, m_inline + kInline, 0u);
}

std::uint32_t NameSet::Fingerprint(std::string_view name)
{
    const std::uint64_t h = std::hash<std::string_view>{}(name);
    const auto fingerprint = static_cast<std::uint32_t>(h ^ (h >> 32));
    return fingerprint == 0 ? 1 : fingerprint; // 0 marks a free slot
}

bool NameSet::contains(std::string_view name) const
{
    const std::uint32_t fingerprint = Fingerprint(name);
    if (!isTable()) {
        return std::find(m_inline, m_inline + m_count, fingerprint) != m_inline + m_count;
    }
    const std::uint32_t mask = m_capacity - 1;
    for (std::uint32_t i = fingerprint & mask;; i = (i + 1) & mask) {
        if (m_table[i] == fingerprint) {
            return true;
        }
        if (m_table[i] == 0) {
            return false;
        }
    }
}

void NameSet::place(std::uint32_t fingerprint)
{
    const std::uint32_t mask = m_capacity - 1;
    std::uint32_t i = fingerprint & mask;
    while (m_table[i] != 0 && m_table[i] != fingerprint) {
        i = (i + 1) & mask;
    }
    if (m_table[i] == 0) {
        m_table[i] = fingerprint;
        ++m_count;
    }
}

void NameSet::rebuild(std::uint32_t capacity)
{
    std::vector<std::uint32_t> all;
    all.reserve(m_count);
    const std::uint32_t* from = slots();
    const std::uint32_t span = isTable() ? m_capacity : m_count;
    std::copy_if(from, from + span, std::back_inserter(all), [](std::uint32_t f) { return f; });
    clear();
    if (capacity == 0) {
        std::copy(all.begin(), all.end(), m_inline);
        m_count = static_cast<std::uint32_t>(all.size());
        return;
    }
    auto* table = static_cast<std::uint32_t*>(std::calloc(capacity, sizeof(std::uint32_t)));
    if (!table) {
        return; // out of memory: the folder is taken as empty, which only costs a "Created"
    }
    m_table = table;
    m_capacity = capacity;
    for (const std::uint32_t f : all) {
        place(f);
    }
}

void NameSet::insert(std::string_view name)
{
    const std::uint32_t fingerprint = Fingerprint(name);
    if (!isTable()) {
        if (std::find(m_inline, m_inline + m_count, fingerprint) != m_inline + m_count) {
            return;
        }
        if (m_count < kInline) {
            m_inline[m_count++] = fingerprint;
            return;
        }
        rebuild(kSmallestTable);
        if (!isTable()) {
            return;
        }
    } else if ((m_count + 1) * 4 > m_capacity * 3) {
        // Linear probing stays short below three quarters full.
        rebuild(m_capacity * 2);
        if (!isTable()) {
            return;
        }
    }
    place(fingerprint);
}

void NameSet::erase(std::string_view name)
{
    const std::uint32_t fingerprint = Fingerprint(name);
    if (!isTable()) {
        std::uint32_t* end = m_inline + m_count;
        std::uint32_t* at = std::find(m_inline, end, fingerprint);
        if (at != end) {
            *at = *(end - 1);
            *(end - 1) = 0;
            --m_count;
        }
        return;
    }
    const std::uint32_t mask = m_capacity - 1;
    std::uint32_t i = fingerprint & mask;
    while (m_table[i] != fingerprint) {
        if (m_table[i] == 0) {
            return;
        }
        i = (i + 1) & mask;
    }
    // Backward shift instead of a tombstone: every entry after the hole that would no longer
    // be reached from its home slot moves into it, so a long-lived folder never fills up
    // with dead slots.
    for (std::uint32_t j = (i + 1) & mask; m_table[j] != 0; j = (j + 1) & mask) {
        const std::uint32_t home = m_table[j] & mask;
        const bool reachable = i <= j ? (home > i && home <= j) : (home > i || home <= j);
        if (!reachable) {
            m_table[i] = m_table[j];
            i = j;
        }
    }
    m_table[i] = 0;
    --m_count;
    // A folder emptied of most of its entries gives the memory back.
    if (m_count <= kInline) {
        rebuild(0);
    } else if (m_capacity > kSmallestTable && m_count * 8 < m_capacity) {
        rebuild(m_capacity / 4 < kSmallestTable ? kSmallestTable : m_capacity / 4);
    }
}

std::size_t NameSet::heapBytes() const
{
    // glibc keeps one size word in front of every block.
    return isTable() ? ::malloc_usable_size(m_table) + sizeof(std::size_t) : 0;
}

} // namespace zlv::linuxcapture
