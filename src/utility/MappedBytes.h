#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zlv {

// A read-only view of part of a file, reached where the kernel already keeps it rather
// than copied: the pages belong to the page cache, are shared with every other reader and
// count towards this process only while it touches them.
//
// A file cut short or failing to read under the view would end the process with SIGBUS on
// the next touch (a hand edit saving in place, a network drive gone). The view guards
// against that: a page that cannot be read any more is replaced by one of NULs, so that
// whoever shows it shows damage instead of crashing, and the owner of the view finds out
// the usual way (the file changed).
class MappedBytes final
{
public:
    // The bytes [offset, offset + length) of the open file `fd`; nullptr where mapping is
    // not available (Windows, a file system that refuses it, too many views) and the
    // caller must read instead.
    static std::shared_ptr<MappedBytes> map(int fd, std::uint64_t offset, std::size_t length);
    ~MappedBytes();
    MappedBytes(const MappedBytes&) = delete;
    MappedBytes& operator=(const MappedBytes&) = delete;

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }
    // Lets the process's hold on the pages go; they stay in the page cache and a later
    // touch brings them back. Safe while other threads read the view.
    void release() const;

private:
    MappedBytes() = default;
    void* m_base = nullptr;
    std::size_t m_mapped = 0;
    const char* m_data = nullptr;
    std::size_t m_size = 0;
    int m_slot = -1;
};

} // namespace zlv
