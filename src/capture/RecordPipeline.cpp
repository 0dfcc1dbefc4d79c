#include "capture/RecordPipeline.h"

#include "capture/ShellEvents.h"
#include "logstore/DayFile.h"
#include "utility/FileSystem.h"
#include "utility/ListUtility.h"

#include <cstdlib>

namespace zlv {

namespace {

// The text up to and including the last separator; empty when there is none.
std::string FolderPart(const std::string& path)
{
    const std::size_t cut = path.rfind(fs::kSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

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

bool RecordPipeline::handle(const Notification& n)
{
    const std::optional<LogRecord> record = Classify(n);
    if (!record) {
        return false;
    }
    // One reading of the clock for the whole record, so that its month folder, its repeat
    // test and its line agree even across midnight.
    const LocalDateTime now = m_clock.now();
    m_folder.ensureMonthFolder(now.date);

    const std::string dayFile = m_folder.dayFilePath(now.date);
    const std::string text = dayfile::RecordText(*record);
    if (const auto then = m_index.latestSecondsOfDay(dayFile, text)) {
        if (std::abs(now.secondsOfDay() - *then) < kRepeatWindowSeconds) {
            return false;
        }
    }

    const std::string line = dayfile::FormatLine(dayfile::FormatStamp(now), text);
    fs::FileState after;
    if (!m_folder.append(now.date, line, &after)) {
        return false;
    }
    m_index.noteOwnAppend(dayFile, line, after);
    return true;
}

} // namespace zlv
