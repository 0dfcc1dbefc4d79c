#include "logstore/DayFileTail.h"

#include "logstore/DayFile.h"
#include "utility/RegularFile.h"

#include <algorithm>

namespace zlv {

namespace {

// How much of what was read last is kept to recognise the file by. An append leaves it as
// it was; a rewrite in place (an editor saving, a shell's ">") almost never does.
constexpr std::size_t kCheckBytes = 4096;
// Runs shorter than this are read: mapping them would cost more than it saves. Longer
// ones are mapped up to the most a list's row can reach into one block.
constexpr std::uint64_t kMapBytes = 64u << 10;
constexpr std::uint64_t kMostMapped = 1u << 30;

void KeepLast(std::string& block, std::string_view bytes)
{
    if (bytes.size() >= kCheckBytes) {
        block.assign(bytes.substr(bytes.size() - kCheckBytes));
        return;
    }
    block.append(bytes);
    if (block.size() > kCheckBytes) {
        block.erase(0, block.size() - kCheckBytes);
    }
}

// Windows keeps a file's name taken while anyone holds the file open: the day file is let
// go after every look there, so that it can be deleted, replaced or created anew.
struct LetGoOnWindows
{
    std::unique_ptr<RegularFile>& file;
    ~LetGoOnWindows()
    {
#ifdef _WIN32
        file.reset();
#endif
    }
};

} // namespace

DayFileTail::DayFileTail(std::uint64_t maxChunkBytes) : m_maxChunk(maxChunkBytes) {}
DayFileTail::~DayFileTail() = default;
DayFileTail::DayFileTail(DayFileTail&&) noexcept = default;
DayFileTail& DayFileTail::operator=(DayFileTail&&) noexcept = default;

void DayFileTail::reset()
{
    m_file.reset();
    m_openPath.clear();
    m_path.clear();
    m_known = false;
    m_offset = 0;
    m_lastBlock.clear();
}

std::optional<fs::FileState> DayFileTail::look(const std::string& path)
{
    // One stat instead of an open, a status and a close, for as long as the path names the
    // file we hold (never held on Windows, see LetGoOnWindows).
    if (m_file && path == m_openPath) {
        const std::optional<fs::FileState> now = fs::StatFile(path);
        if (now && now->identity == m_file->info().identity &&
            now->device == m_file->info().device) {
            m_file->grewTo(now->size);
            return now;
        }
    }
    m_file = std::make_unique<RegularFile>();
    const RegularFile::Status status = m_file->open(path);
    if (status == RegularFile::Status::NotRegular && path != m_refused) {
        WarnNotRegular(path, "day file");
        m_refused = path;
    }
    if (status != RegularFile::Status::Open) {
        m_file.reset();
        m_openPath.clear();
        return std::nullopt;
    }
    m_openPath = path;
    return m_file->info();
}

DayFileTail::Chunk DayFileTail::poll(const std::string& path, bool mayMap)
{
    const LetGoOnWindows letGo{m_file};
    Chunk chunk;
    const std::optional<fs::FileState> state = look(path);
    bool sameFile = m_known && path == m_path && state && state->identity == m_state.identity &&
                    state->device == m_state.device && state->size >= m_offset;
    std::string bytes;
    bool read = false;
    if (sameFile && m_offset > 0) {
        // The last bytes handed out are read again together with what follows them: still
        // there, they tell that the file was only appended to.
        const std::uint64_t back = m_lastBlock.size();
        sameFile = m_file->readAt(m_offset - back, back + m_maxChunk, bytes) &&
                   bytes.size() >= back && bytes.compare(0, back, m_lastBlock) == 0;
        bytes.erase(0, std::min<std::size_t>(back, bytes.size()));
        read = sameFile;
    }
    if (!sameFile) {
        // A restart is worth reporting only when there was something to forget.
        chunk.restarted = m_known || m_offset != 0 || path != m_path;
        m_path = path;
        m_offset = 0;
        m_lastBlock.clear();
        m_known = state.has_value();
        if (state) {
            m_state = *state;
        }
    }
    if (!state || state->size <= m_offset) {
        return chunk;
    }
    m_state = *state;

    if (!read && mayMap && state->size - m_offset >= kMapBytes) {
        const auto length = static_cast<std::size_t>(std::min(state->size - m_offset, kMostMapped));
        if (auto view = m_file->mapAt(m_offset, length)) {
            const std::size_t whole = dayfile::WholeLinesEnd({view->data(), view->size()});
            if (whole > 0) {
                chunk.offset = m_offset;
                chunk.more = m_offset + whole < state->size;
                m_offset += whole;
                KeepLast(m_lastBlock, {view->data(), whole});
                chunk.mapped = std::move(view);
                chunk.mappedLength = whole;
                return chunk;
            }
        }
    }
    if (!read) {
        bytes.clear();
        if (!m_file->readAt(m_offset, m_maxChunk, bytes)) {
            return chunk;
        }
    }
    if (bytes.empty()) {
        return chunk;
    }
    const std::size_t whole = dayfile::WholeLinesEnd(bytes);
    if (whole == 0) {
        if (bytes.size() < m_maxChunk) {
            return chunk; // a line still being written; wait for its end
        }
        // A "line" longer than a whole chunk is damage, not a record: pass it on as it is
        // so that reading never stalls on it.
    } else {
        bytes.resize(whole);
    }
    chunk.offset = m_offset;
    chunk.more = m_offset + bytes.size() < state->size;
    m_offset += bytes.size();
    KeepLast(m_lastBlock, bytes);
    chunk.bytes = std::move(bytes);
    return chunk;
}

} // namespace zlv
