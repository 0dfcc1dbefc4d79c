#pragma once

#include "utility/Clock.h"
#include "utility/RegularFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zlv {

// Why a stretch of the journal may be missing operations.
enum class GapReason
{
    Overflow,       // the kernel's event queue overflowed
    WatchLimit,     // some folders could not be watched
    WriteFailed,    // records could not be written and had to be dropped
    PathTooLong,    // a path the platform could not watch or name
    CaptureStopped, // capture ended or could not start
    NotRunning,     // between one run's end of recording and the next one's start
};

// The word a gap file stores for `reason`, and back; nullopt for a word we do not know.
std::string_view GapReasonWord(GapReason reason);
std::optional<GapReason> GapReasonFromWord(std::string_view word);

// One gap: when it was noticed, why, and a sentence a person can read.
struct GapRecord
{
    std::string stamp; // "YYYY-MM-DD HH:MM:SS", as in a day file
    std::string reason;
    std::string sentence;

    bool operator==(const GapRecord&) const = default;
};

// A day's gaps live beside its day file, in DD.gaps, one tab-separated line each. The day
// file itself never carries them, so every reader of day files stays as it is.
namespace gapfile {

// "stamp TAB reason TAB sentence CR LF"; tabs and line ends inside the sentence become
// spaces so that a gap is always one line of three fields.
std::string FormatLine(const GapRecord& gap);
// Accepts CR LF, LF or no line end; nullopt for a line without a valid stamp or reason.
std::optional<GapRecord> ParseLine(std::string_view line);
// Every well-formed line of the file, in file order; nothing when it is missing or not a
// regular file (never waiting on a FIFO or a device in its place). Damaged lines are
// skipped. `status` tells a reader that must say why nothing came.
std::vector<GapRecord> ReadFile(const std::string& path, RegularFile::Status* status = nullptr);

} // namespace gapfile
} // namespace zlv
