#include "capture/RecordPipeline.h"

#include "capture/ShellEvents.h"
#include "logstore/DayFile.h"
#include "utility/FileSystem.h"
#include "utility/ListUtility.h"

#include <cstdlib>
#include <functional>

namespace zlv {

namespace {

// The text up to and including the last separator; empty when there is none.
std::string FolderPart(const std::string& path)
{
    const std::size_t cut = path.rfind(fs::kSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// What a held record costs beyond its text: the deque slot, the stamp, the map entry.
constexpr std::size_t kHeldOverhead = 96;

} // namespace

std::optional<LogRecord> RecordPipeline::Classify(const Notification& n)
{
    const std::string_view name = shell::EventName(n.event);
    const shell::Classification kind = shell::Classify(name);

    LogRecord r;
    r.object = kind.object;
    r.action = kind.action;
    if (!shell::ItemsAreNotIdLists(n.event)) {
        if (n.item1 && !n.item1->displayName.empty()) {
            r.originalName = n.item1->displayName;
            r.path = FolderPart(n.item1->path);
        }
        if (n.item2) {
            r.newName = n.item2->displayName;
        }
    }

    if (r.object.empty() || r.action.empty() || r.newName == r.originalName) {
        return std::nullopt;
    }
    if (ListUtility::IsInList(r.object, {"File", "Folder"}) && r.path.empty()) {
        return std::nullopt;
    }
    // Only now, so that the keep tests above judge the names as the system gave them.
    r.path = dayfile::SanitizeField(r.path);
    r.originalName = dayfile::SanitizeField(r.originalName);
    r.newName = dayfile::SanitizeField(r.newName);
    return r;
}

RecordPipeline::Outcome RecordPipeline::handle(const Notification& n)
{
    const std::optional<LogRecord> record = Classify(n);
    if (!record) {
        return Outcome::Dropped;
    }
    // One reading of the clock for the whole record, so that its month folder, its repeat
    // test and its line agree even across midnight.
    const LocalDateTime now = m_clock.now();
    const std::int64_t nowSeconds = DayFileIndex::Seconds(now);
    m_folder.ensureMonthFolder(now.date);

    std::string text = dayfile::RecordText(*record);
    // One look at the day file serves the repeat test and the append that follows it.
    const std::string dayPath = m_folder.dayFilePath(now.date);
    const std::optional<fs::FileState> seen = fs::StatFile(dayPath);
    // Held records are newer than every line on disk, so the latest of them decides.
    const HeldRepeat held = latestHeld(text);
    const std::optional<std::int64_t> then =
        held.aboutItem ? held.stamp : m_index.latestStamp(dayPath, seen, text, nowSeconds);
    if (then && std::abs(nowSeconds - *then) < kRepeatWindowSeconds) {
        return Outcome::Dropped;
    }

    // Never let a new line overtake the ones still waiting; once they are written, the look
    // above is out of date.
    const bool heldBefore = !m_held.empty();
    if (heldBefore) {
        writeHeld();
    }
    if (m_held.empty() && write(now, text, heldBefore || !seen ? nullptr : &*seen)) {
        return Outcome::Written;
    }
    return hold(now, std::move(text)) ? Outcome::Held : Outcome::Lost;
}

void RecordPipeline::releaseSpare()
{
    m_index.forgetBefore(DayFileIndex::Seconds(m_clock.now()) - kRepeatWindowSeconds);
}

bool RecordPipeline::write(const LocalDateTime& at, std::string_view text,
                           const fs::FileState* seen)
{
    const std::string line = dayfile::FormatLine(dayfile::FormatStamp(at), text);
    fs::FileState after;
    if (!m_folder.append(at.date, line, m_dayFile, &after, seen)) {
        return false;
    }
    m_index.noteOwnAppend(m_folder.dayFilePath(at.date), line, after);
    return true;
}

bool RecordPipeline::hold(const LocalDateTime& at, std::string text)
{
    const std::size_t bytes = text.size() + kHeldOverhead;
    if (m_held.size() >= m_maxHeld || m_heldBytes + bytes > m_maxHeldBytes) {
        if (m_loss.count++ == 0) {
            m_loss.first = at;
        }
        m_loss.last = at;
        return false;
    }
    for (const std::uint64_t key : DayFileIndex::ItemKeys(text)) {
        m_latestHeld[key] = m_heldEnd;
    }
    ++m_heldEnd;
    m_heldBytes += bytes;
    // Once one record found no room in the spill, the newer ones stay out too: the spill
    // always holds the oldest of the held records, as writeHeld() takes them.
    if (!(m_spill && m_unspilled == 0 && m_spill->append(at, text))) {
        ++m_unspilled;
    }
    m_held.push_back(Held{at, std::move(text)});
    return true;
}

void RecordPipeline::setSpill(HeldSpill* spill)
{
    m_spill = spill;
    m_unspilled = m_held.size();
    for (const Held& held : m_held) {
        if (!m_spill || !m_spill->append(held.at, held.text)) {
            break;
        }
        --m_unspilled;
    }
}

bool RecordPipeline::restoreHeld(const LocalDateTime& at, std::string text)
{
    return hold(at, std::move(text));
}

RecordPipeline::Loss RecordPipeline::unspilledHeld() const
{
    Loss loss;
    loss.count = m_unspilled;
    if (m_unspilled > 0) {
        loss.first = m_held[m_held.size() - m_unspilled].at;
        loss.last = m_held.back().at;
    }
    return loss;
}

RecordPipeline::HeldRepeat RecordPipeline::latestHeld(std::string_view text) const
{
    const std::uint64_t first = m_heldEnd - m_held.size();
    std::optional<std::uint64_t> latest;
    bool oneLine = true;
    for (const std::uint64_t key : DayFileIndex::ItemKeys(text)) {
        const auto it = m_latestHeld.find(key);
        // Below `first`: written meanwhile, the day file answers for it.
        const std::optional<std::uint64_t> seq = it != m_latestHeld.end() && it->second >= first
                                                     ? std::optional(it->second)
                                                     : std::nullopt;
        oneLine = oneLine && seq && (!latest || *latest == *seq);
        if (seq) {
            latest = seq;
        }
    }
    if (!latest) {
        return {};
    }
    const Held& held = m_held[*latest - first];
    if (!oneLine || held.text != text) {
        return HeldRepeat{true, std::nullopt};
    }
    return HeldRepeat{true, DayFileIndex::Seconds(held.at)};
}

std::size_t RecordPipeline::writeHeld()
{
    std::size_t written = 0;
    // Each keeps its own stamp and so its own day file, however long the wait was.
    while (!m_held.empty() && write(m_held.front().at, m_held.front().text)) {
        m_heldBytes -= m_held.front().text.size() + kHeldOverhead;
        if (m_held.size() > m_unspilled) {
            m_spill->written();
        } else {
            --m_unspilled;
        }
        m_held.pop_front();
        ++written;
    }
    if (m_held.empty()) {
        m_latestHeld.clear();
    }
    return written;
}

} // namespace zlv
