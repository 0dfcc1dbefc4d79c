#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zlv::linuxcapture {

// The names one watched folder holds, kept only to answer "did a rename just replace an
// existing item?": the kernel reports the rename, never the item it took the place of.
// Each name is a 32-bit fingerprint, so the set costs 16 bytes for a folder of up to two
// names and about 4 to 11 bytes a name beyond that. Two names of one folder may share a
// fingerprint (about one chance in 400,000 for a name new to a folder of 10,000); the
// price is a save of a new file taken for a save over an old one.
class NameSet final
{
public:
    NameSet() = default;
    ~NameSet();
    NameSet(NameSet&& other) noexcept;
    NameSet& operator=(NameSet&& other) noexcept;
    NameSet(const NameSet&) = delete;
    NameSet& operator=(const NameSet&) = delete;

    void insert(std::string_view name);
    void erase(std::string_view name);
    bool contains(std::string_view name) const;
    void clear();

    std::size_t size() const { return m_count; }
    // What the set holds on the heap beyond the object itself, allocator overhead included.
    std::size_t heapBytes() const;

private:
    static constexpr std::uint32_t kInline = 2;

    static std::uint32_t Fingerprint(std::string_view name);
    bool isTable() const { return m_capacity != 0; }
    std::uint32_t* slots() { return isTable() ? m_table : m_inline; }
    const std::uint32_t* slots() const { return isTable() ? m_table : m_inline; }
    void rebuild(std::uint32_t capacity);
    void place(std::uint32_t fingerprint);

    union {
        std::uint32_t* m_table;
        std::uint32_t m_inline[kInline] = {};
    };
    std::uint32_t m_capacity = 0; // 0: the fingerprints live in m_inline
    std::uint32_t m_count = 0;
};

static_assert(sizeof(NameSet) == 16);

} // namespace zlv::linuxcapture
