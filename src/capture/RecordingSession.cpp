#include "capture/RecordingSession.h"

#include "logstore/DayFile.h"
#include "logstore/GapFile.h"
#include "utility/FileSystem.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace zlv {

namespace {

long long ProcessId()
{
#ifdef _WIN32
    return _getpid();
#else
    return ::getpid();
#endif
}

LocalDateTime SecondBefore(const LocalDateTime& at)
{
    if (at.secondsOfDay() > 0) {
        const int s = at.secondsOfDay() - 1;
        return {at.date, s / 3600, s / 60 % 60, s % 60};
    }
    return {at.date.addDays(-1), 23, 59, 59};
}

RecordPipeline::Loss Together(const RecordPipeline::Loss& a, const RecordPipeline::Loss& b)
{
    if (a.count == 0 || b.count == 0) {
        return a.count == 0 ? b : a;
    }
    return {a.count + b.count, a.first < b.first ? a.first : b.first,
            a.last < b.last ? b.last : a.last};
}

// Whether the day file of `entry` already ends with it: written, with the kill coming before
// the spill could count it as written.
bool AlreadyWritten(const DataFolder& folder, const HeldSpill::Entry& entry)
{
    const std::string path = folder.dayFilePath(entry.at.date);
    const std::string line = dayfile::FormatLine(FormatStamp(entry.at), entry.text);
    const std::optional<fs::FileState> st = fs::StatFile(path);
    return st && st->size >= line.size() &&
           fs::ReadFrom(path, st->size - line.size(), line.size()) == line;
}

} // namespace

RecordingSession::RecordingSession(const DataFolder& folder, const Clock& clock)
    : m_folder(folder), m_clock(clock)
{}

RecordingSession::Opening RecordingSession::begin()
{
    Opening o;
    const LocalDateTime now = m_clock.now();
    // Written here, in time order, so that a reader of the gap file finds them in order.
    const auto note = [&](const LocalDateTime& at, GapReason reason, std::string sentence) {
        const std::string line = gapfile::FormatLine(
            {FormatStamp(at), std::string(GapReasonWord(reason)), std::move(sentence)});
        if (!m_folder.appendGap(at.date, line)) {
            o.unwritten.emplace_back(at.date, line);
        }
    };

    o.held = HeldSpill::ReadPending(m_folder.heldSpillFile());
    if (!o.held.empty() && AlreadyWritten(m_folder, o.held.front())) {
        o.held.erase(o.held.begin());
    }
    if (const std::optional<RunState> last = runstate::Read(m_folder.runStateFile())) {
        const auto first = ParseStamp(last->lostFirst);
        const auto lastLost = ParseStamp(last->lostLast);
        if (last->lost > 0 && first && lastLost) {
            CaptureIncident lost{
                .reason = GapReason::WriteFailed,
                .sentence = LostSentence({static_cast<std::size_t>(last->lost), *first, *lastLost}),
                .missing = static_cast<std::int64_t>(last->lost),
                .began = *first};
            note(*first, lost.reason, lost.sentence);
            o.incidents.push_back(std::move(lost));
        }
        std::string since = last->ended;
        if (since.empty()) {
            since = last->complete.empty() ? last->started : last->complete;
            if (const auto at = ParseStamp(since)) {
                CaptureIncident crash{
                    .reason = GapReason::CaptureStopped,
                    .sentence = "Zelvory ended without closing its journal (it was stopped by "
                                "force, or it or the system crashed): operations made after " +
                                since + " may be missing.",
                    .began = *at};
                note(*at, crash.reason, crash.sentence);
                o.incidents.push_back(std::move(crash));
            }
        } else if (!last->endNoted) {
            if (const auto at = ParseStamp(since)) {
                note(*at, GapReason::NotRunning, "Recording stopped: Zelvory was closed.");
            }
        }
        if (const auto from = ParseStamp(since)) {
            // A second before the start, so that records of the start's own second fall
            // after it; never before the span began (a restart within one second).
            const LocalDateTime before = SecondBefore(now);
            note(before < *from && !(now < *from) ? *from : before, GapReason::NotRunning,
                 "Recording started again: Zelvory was not recording from " + since + " to " +
                     FormatStamp(now) + ".");
        }
    }

    m_started = m_complete = FormatStamp(now);
    m_file.open(m_folder.runStateFile());
    m_spill.open(m_folder.heldSpillFile());
    return o;
}

RunState RecordingSession::stateOf(const Standing& now, const LocalDateTime& at)
{
    // Held records the spill has no copy of would die with the process: until they are
    // written, what may be missing after a crash begins before them.
    if (now.unspilled.count == 0) {
        m_complete = FormatStamp(at);
    }
    RunState s;
    s.pid = ProcessId();
    s.started = m_started;
    s.complete = m_complete;
    s.held = now.held;
    s.lost = now.lost.count;
    if (now.lost.count > 0) {
        s.lostFirst = FormatStamp(now.lost.first);
        s.lostLast = FormatStamp(now.lost.last);
    }
    s.conditions = now.conditions;
    return s;
}

void RecordingSession::publish(const Standing& now)
{
    m_file.write(stateOf(now, m_clock.now()));
}

void RecordingSession::end(const Standing& now)
{
    const LocalDateTime at = m_clock.now();
    RunState s = stateOf(now, at);
    // What the spill holds is written by the next start; the rest dies with us.
    const RecordPipeline::Loss gone = Together(now.lost, now.unspilled);
    s.lost = 0;
    s.lostFirst.clear();
    s.lostLast.clear();
    if (gone.count > 0 &&
        !m_folder.appendGap(gone.first.date,
                            gapfile::FormatLine({FormatStamp(gone.first),
                                                 std::string(GapReasonWord(GapReason::WriteFailed)),
                                                 LostSentence(gone)}))) {
        s.lost = gone.count;
        s.lostFirst = FormatStamp(gone.first);
        s.lostLast = FormatStamp(gone.last);
    }
    s.ended = s.complete = FormatStamp(at);
    s.endNoted = m_folder.appendGap(
        at.date, gapfile::FormatLine({s.ended, std::string(GapReasonWord(GapReason::NotRunning)),
                                      "Recording stopped: Zelvory was closed."}));
    s.held = m_spill.pending();
    s.conditions.clear();
    m_file.write(s);
    m_file.close();
    m_spill.close();
}

void RecordingSession::reopen()
{
    m_file.open(m_folder.runStateFile());
    m_spill.open(m_folder.heldSpillFile());
}

std::string RecordingSession::LostSentence(const RecordPipeline::Loss& loss)
{
    return std::to_string(loss.count) + " operations between " + FormatStamp(loss.first) + " and " +
           FormatStamp(loss.last) +
           " were not recorded: the journal could not be written and there was no room left "
           "to keep them in memory.";
}

} // namespace zlv
