#pragma once

#include "capture/CaptureHealth.h"
#include "capture/RecordPipeline.h"
#include "logstore/DataFolder.h"
#include "logstore/HeldSpill.h"
#include "logstore/RunState.h"
#include "utility/Clock.h"

#include <string>
#include <utility>
#include <vector>

namespace zlv {

// One run of recording as the journal remembers it. Each end of recording leaves a gap line
// "not-running" at its moment, and each start one saying since when nothing was recorded,
// so that a reader shows the span between as a gap; a run that never reached its end (a
// kill, a crash, the power) is found out at the next start from the state file it kept
// current, and the span that may be missing becomes a gap of its own. Records held while
// the journal could not be written come back from the spill file and keep their times.
class RecordingSession final
{
public:
    RecordingSession(const DataFolder& folder, const Clock& clock);

    // How the run stands, as the capture form sees it.
    struct Standing
    {
        std::size_t held = 0;
        RecordPipeline::Loss unspilled; // held, but with no copy in the spill
        RecordPipeline::Loss lost;      // neither written nor held, and not told in a gap yet
        std::vector<std::pair<std::string, std::string>> conditions; // reason word, sentence
    };

    // What the last run left behind.
    struct Opening
    {
        std::vector<HeldSpill::Entry> held; // to be written first, oldest first
        // Gap lines that could not be written now (a full disk): for the caller to retry.
        std::vector<std::pair<Date, std::string>> unwritten;
        // For the user: the last run's end was not orderly, or it lost records. Their gap
        // lines are written already (or among `unwritten`).
        std::vector<CaptureIncident> incidents;
    };

    // Reads what the last run left and takes the state and spill files for this one. Once,
    // before capture starts.
    Opening begin();
    HeldSpill& spill() { return m_spill; }
    // Keeps the state file current; cheap when nothing changed.
    void publish(const Standing& now);
    // Recording ends in order now: its line in the gap file, and whatever is lost told in
    // the state file when the gap file takes nothing.
    void end(const Standing& now);
    // The data folder was made again: the files are taken again where it now stands.
    void reopen();

    // The sentence of the gap line that tells of records lost.
    static std::string LostSentence(const RecordPipeline::Loss& loss);

private:
    RunState stateOf(const Standing& now, const LocalDateTime& at);

    const DataFolder& m_folder;
    const Clock& m_clock;
    RunStateFile m_file;
    HeldSpill m_spill;
    std::string m_started;
    std::string m_complete;
};

} // namespace zlv
