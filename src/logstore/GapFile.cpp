#include "logstore/GapFile.h"

#include "logstore/DayFile.h"
#include "utility/FileSystem.h"

#include <array>
#include <utility>

namespace zlv {

namespace {

constexpr std::array<std::pair<GapReason, std::string_view>, 6> kWords{{
    {GapReason::Overflow, "overflow"},
    {GapReason::WatchLimit, "watch-limit"},
    {GapReason::WriteFailed, "write-failed"},
    {GapReason::PathTooLong, "path-too-long"},
    {GapReason::CaptureStopped, "capture-stopped"},
    {GapReason::NotRunning, "not-running"},
}};

// A gap file is small (a handful of lines a day); anything far larger is not ours.
constexpr std::uint64_t kMaxGapFileBytes = 1u << 20;

std::string OneLine(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

} // namespace

std::string_view GapReasonWord(GapReason reason)
{
    for (const auto& [r, word] : kWords) {
        if (r == reason) {
            return word;
        }
    }
    return {};
}

std::optional<GapReason> GapReasonFromWord(std::string_view word)
{
    for (const auto& [r, w] : kWords) {
        if (w == word) {
            return r;
        }
    }
    return std::nullopt;
}

namespace gapfile {

std::string FormatLine(const GapRecord& gap)
{
    std::string line = OneLine(gap.stamp);
    line += '\t';
    line += OneLine(gap.reason);
    line += '\t';
    line += OneLine(gap.sentence);
    line += "\r\n";
    return line;
}

std::optional<GapRecord> ParseLine(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    const auto firstTab = line.find('\t');
    if (firstTab == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view stamp = line.substr(0, firstTab);
    if (!dayfile::ParseStamp(stamp)) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(firstTab + 1);
    const auto secondTab = rest.find('\t');
    const std::string_view reason = rest.substr(0, secondTab);
    if (!GapReasonFromWord(reason)) {
        return std::nullopt;
    }
    const std::string_view sentence =
        secondTab == std::string_view::npos ? std::string_view() : rest.substr(secondTab + 1);
    return GapRecord{std::string(stamp), std::string(reason), std::string(sentence)};
}

std::vector<GapRecord> ReadFile(const std::string& path, RegularFile::Status* status)
{
    std::vector<GapRecord> gaps;
    std::string bytes;
    const RegularFile::Status read = ReadRegularRange(path, 0, kMaxGapFileBytes, bytes);
    if (status) {
        *status = read;
    }
    std::string_view rest = bytes;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        if (auto gap = ParseLine(line)) {
            gaps.push_back(std::move(*gap));
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return gaps;
}

} // namespace gapfile
} // namespace zlv
