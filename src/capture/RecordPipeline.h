#pragma once

#include "capture/Notification.h"
#include "logstore/DataFolder.h"
#include "logstore/DayFileIndex.h"
#include "logstore/HeldSpill.h"
#include "logstore/LogRecord.h"
#include "utility/Clock.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace zlv {

// Turns notifications into day-file lines: names and classifies the event, resolves its
// items, applies the two keep tests and the 5-second repeat test, and appends the line. The
// repeat test drops a record only when the latest record about its item is identical and
// less than 5 seconds old: the shell's double notification of one operation goes, a file
// created, deleted and created again stays three records.
// A line that cannot be written (full disk, data folder gone or unwritable) is held in
// memory with its stamp and written, in order, once writing works again.
class RecordPipeline final
{
public:
    static constexpr int kRepeatWindowSeconds = 5;
    static constexpr std::size_t kMaxHeldRecords = 100000;
    static constexpr std::size_t kMaxHeldBytes = 64u << 20;

    enum class Outcome
    {
        Dropped, // the keep or the repeat test said no
        Written,
        Held, // waits in memory for the next successful write
        Lost  // could be neither written nor held: the memory for held records is full
    };

    // Records that found the memory for held records full.
    struct Loss
    {
        std::size_t count = 0;
        LocalDateTime first;
        LocalDateTime last;
    };

    explicit RecordPipeline(const DataFolder& folder, const Clock& clock = Clock::instance())
        : m_folder(folder), m_clock(clock)
    {}

    // The record a notification stands for, before the repeat test; nullopt when the keep
    // tests drop it. Time is left empty.
    static std::optional<LogRecord> Classify(const Notification& n);

    // Handles one notification to its end. Anything but Dropped changes what the Today
    // list should show (a held record too, once it is written).
    Outcome handle(const Notification& n);

    // Lets go of what the repeat test no longer needs (lines older than its window): a burst
    // of records leaves a large index behind otherwise.
    void releaseSpare();

    // Writes held records, oldest first, until one fails; returns how many were written.
    std::size_t writeHeld();
    std::size_t heldRecords() const { return m_held.size(); }
    const Loss& loss() const { return m_loss; }
    Loss takeLoss() { return std::exchange(m_loss, Loss{}); }
    void setHoldLimits(std::size_t records, std::size_t bytes)
    {
        m_maxHeld = records;
        m_maxHeldBytes = bytes;
    }

    // Copies every held record into `spill` as well (those held now first), for as long as
    // it has room; nullptr stops copying. Not owned.
    void setSpill(HeldSpill* spill);
    // Holds a record an earlier run could not write, with its own time, as if it had just
    // failed to be written; writeHeld() then writes it in its turn.
    bool restoreHeld(const LocalDateTime& at, std::string text);
    // The held records that the spill has no copy of (the newest ones), as a Loss: what a
    // crash now would lose.
    Loss unspilledHeld() const;

private:
    struct Held
    {
        LocalDateTime at;
        std::string text;
    };

    // What the held records say to the repeat test: whether the latest record about the
    // item is held (then it is newer than any line on disk), and its stamp when it is
    // identical to the record.
    struct HeldRepeat
    {
        bool aboutItem = false;
        std::optional<std::int64_t> stamp;
    };

    bool write(const LocalDateTime& at, std::string_view text, const fs::FileState* seen = nullptr);
    bool hold(const LocalDateTime& at, std::string text);
    HeldRepeat latestHeld(std::string_view text) const;

    const DataFolder& m_folder;
    const Clock& m_clock;
    DayFileIndex m_index{kRepeatWindowSeconds};
    fs::AppendFile m_dayFile;

    std::deque<Held> m_held;
    std::size_t m_heldBytes = 0;
    std::uint64_t m_heldEnd = 0; // sequence number of the next held record
    // Hash of an item (DayFileIndex::ItemKeys) to the sequence number of the latest held
    // line about it.
    std::unordered_map<std::uint64_t, std::uint64_t> m_latestHeld;
    std::size_t m_maxHeld = kMaxHeldRecords;
    std::size_t m_maxHeldBytes = kMaxHeldBytes;
    Loss m_loss;
    HeldSpill* m_spill = nullptr;
    std::size_t m_unspilled = 0; // the newest held records that have no copy in m_spill
};

} // namespace zlv
