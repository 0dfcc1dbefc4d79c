#include "logstore/HeldSpill.h"

#include "logstore/DayFile.h"
#include "utility/FileSystem.h"
#include "utility/RegularFile.h"

#include <cstdio>
#include <memory>

namespace zlv {

namespace {

constexpr std::size_t kHeaderBytes = 64;
constexpr std::string_view kTitle = "zelvory held records\n";
// Less than this is not worth setting aside: a handful of records.
constexpr std::uint64_t kLeastReserve = 4096;

std::string Header(std::size_t written, std::uint64_t end)
{
    char text[kHeaderBytes + 1];
    const int n = std::snprintf(text, sizeof text, "%.*swritten=%010zu end=%010llu\n",
                                static_cast<int>(kTitle.size()), kTitle.data(), written,
                                static_cast<unsigned long long>(end));
    std::string header(text, n > 0 ? static_cast<std::size_t>(n) : 0);
    header.resize(kHeaderBytes - 1, ' ');
    header += '\n';
    return header;
}

// The number after `key` in the header; nullopt when it is not there as we write it.
std::optional<std::uint64_t> Field(std::string_view header, std::string_view key)
{
    const std::size_t at = header.find(key);
    if (at == std::string_view::npos || header.size() < at + key.size() + 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : header.substr(at + key.size(), 10)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

} // namespace

HeldSpill::~HeldSpill()
{
    close();
}

std::vector<HeldSpill::Entry> HeldSpill::ReadPending(const std::string& path)
{
    std::vector<Entry> entries;
    std::string bytes;
    // Never more than a spill sets aside, however large the file has been made.
    if (ReadRegularRange(path, 0, kHeaderBytes + kReserveBytes, bytes) !=
            RegularFile::Status::Open ||
        bytes.compare(0, kTitle.size(), kTitle) != 0) {
        return entries;
    }
    const std::string_view header = std::string_view(bytes).substr(0, kHeaderBytes);
    const auto written = Field(header, "written=");
    const auto end = Field(header, "end=");
    if (!written || !end || *end < kHeaderBytes || *end > bytes.size()) {
        return entries;
    }
    std::string_view rest = std::string_view(bytes).substr(kHeaderBytes, *end - kHeaderBytes);
    std::size_t index = 0;
    while (!rest.empty()) {
        const std::size_t lf = rest.find('\n');
        if (lf == std::string_view::npos) {
            break;
        }
        std::string_view line = rest.substr(0, lf);
        rest.remove_prefix(lf + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto at = dayfile::ParseStamp(line.substr(0, dayfile::kStampLength));
        if (!at || line.size() <= dayfile::kStampLength || line[dayfile::kStampLength] != '\t') {
            break; // damage: what follows cannot be trusted to be whole either
        }
        if (index++ >= *written) {
            entries.push_back({*at, std::string(line.substr(dayfile::kStampLength + 1))});
        }
    }
    return entries;
}

bool HeldSpill::open(const std::string& path, std::uint64_t reserve)
{
    close();
    auto file = std::make_unique<fs::ReservedFile>();
    if (file->open(path, reserve + kHeaderBytes, kLeastReserve) == 0) {
        return false;
    }
    m_file = std::move(file);
    m_end = kHeaderBytes;
    m_count = m_written = 0;
    if (!writeHeader()) {
        close();
        return false;
    }
    return true;
}

void HeldSpill::close()
{
    m_file.reset();
    m_count = m_written = 0;
    m_end = 0;
}

bool HeldSpill::append(const LocalDateTime& at, std::string_view text)
{
    if (!m_file) {
        return false;
    }
    const std::string line = dayfile::FormatLine(dayfile::FormatStamp(at), text);
    // The line first, then the header that counts it: a kill in between leaves the header
    // as it was, and the half-counted line is ignored.
    if (!m_file->writeAt(m_end, line)) {
        return false;
    }
    m_end += line.size();
    ++m_count;
    if (!writeHeader()) {
        m_end -= line.size();
        --m_count;
        return false;
    }
    return true;
}

void HeldSpill::written()
{
    if (!m_file || m_written >= m_count) {
        return;
    }
    if (++m_written == m_count) {
        m_count = m_written = 0;
        m_end = kHeaderBytes;
    }
    writeHeader();
}

bool HeldSpill::writeHeader()
{
    return m_file && m_file->writeAt(0, Header(m_written, m_end));
}

} // namespace zlv
