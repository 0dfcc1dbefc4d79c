#pragma once

#include "logstore/GapFile.h"
#include "utility/Clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zlv {

// Something capture wants the user to know about the completeness of the journal.
struct CaptureIncident
{
    GapReason reason = GapReason::Overflow;
    // What happened, in a sentence the user can read (the gap file keeps it too).
    std::string sentence;
    // Operations known to be missing; -1 when nobody can know.
    std::int64_t missing = -1;
    // The condition lasts until a later incident of the same reason with `cleared` set
    // (the watch limit is still reached, writes still fail); a one-off gap is not ongoing.
    bool ongoing = false;
    bool cleared = false;
    // The user has to do something about it (raise a limit, free disk space).
    bool needsAction = false;
    // Whether the incident leaves a hole in the journal (and so a line in the gap file).
    // Records held back while the disk is full are no gap as long as they get written.
    bool isGap = true;
    // When the hole began, for a gap noticed only later; empty means now.
    std::optional<LocalDateTime> began = std::nullopt;
};

// What the program knows, at any moment of the run, about whether its journal is complete.
class CaptureHealth final
{
public:
    // `heldCount` reads how many records are held in memory from whoever holds them.
    explicit CaptureHealth(std::function<std::size_t()> heldCount = {})
        : m_heldCount(std::move(heldCount))
    {}

    struct Entry
    {
        CaptureIncident incident;
        LocalDateTime since;
        bool active = false; // an ongoing condition that has not cleared yet
    };

    // Notes an incident noticed at `at`; returns true when the user has not yet been asked
    // to act on this reason during the run (so a caller can show one box per reason).
    bool note(const CaptureIncident& incident, const LocalDateTime& at);

    // True while nothing has gone missing this run and no condition is active.
    bool complete() const { return m_entries.empty() && heldRecords() == 0; }
    // Every incident of the run, oldest first, merged per reason while it stays active.
    const std::vector<Entry>& entries() const { return m_entries; }
    bool anyActive() const;

    // Records held in memory because the day file cannot be written just now.
    std::size_t heldRecords() const { return m_heldCount ? m_heldCount() : 0; }

private:
    std::vector<Entry> m_entries;
    std::vector<GapReason> m_asked;
    std::function<std::size_t()> m_heldCount;
};

} // namespace zlv
