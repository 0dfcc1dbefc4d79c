#pragma once

#include "utility/Clock.h"
#include "utility/FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// A copy, on disk, of the records held in memory while the journal cannot be written, so
// that a kill or a crash during a full disk loses none of them: the next start writes them
// with their own times.
//
// The file lives in the data folder, beside the lock: it belongs to one journal, and it
// must outlive a logout or a reboot (a runtime folder is emptied at logout). That puts it
// on the same disk as the day files, so its space is set aside when it is opened, while
// the disk still has room; a held record is then written into space that is already ours.
// What does not fit stays in memory only, and a crash loses it (the next start says so).
//
// Layout: a fixed header saying how many of the records that follow were written to the
// journal since and where they end, then the records as day-file lines.
class HeldSpill final
{
public:
    static constexpr std::uint64_t kReserveBytes = 256 * 1024;

    struct Entry
    {
        LocalDateTime at;
        std::string text; // the line without its stamp, as RecordText() builds it

        bool operator==(const Entry&) const = default;
    };

    HeldSpill() = default;
    ~HeldSpill();
    HeldSpill(const HeldSpill&) = delete;
    HeldSpill& operator=(const HeldSpill&) = delete;

    // The records a run left in the file at `path` without writing them, oldest first.
    // Only a regular file is read; anything damaged past the header is cut off there.
    static std::vector<Entry> ReadPending(const std::string& path);

    // Takes the file at `path` for this run, dropping what it held (read that first), and
    // sets up to `reserve` bytes aside for it, less when the disk has less. False when no
    // room at all could be had; append() then keeps nothing.
    bool open(const std::string& path, std::uint64_t reserve = kReserveBytes);
    void close();
    bool isOpen() const { return m_file != nullptr; }

    // Copies one held record; false when the space set aside is used up.
    bool append(const LocalDateTime& at, std::string_view text);
    // The oldest record not yet written is in its day file now. Once none is left, the
    // space is used again from its start.
    void written();
    std::size_t pending() const { return m_count - m_written; }

private:
    bool writeHeader();

    std::unique_ptr<fs::ReservedFile> m_file;
    std::uint64_t m_end = 0;
    std::size_t m_count = 0;
    std::size_t m_written = 0;
};

} // namespace zlv
