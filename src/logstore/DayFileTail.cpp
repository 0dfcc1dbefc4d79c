#include "logstore/DayFileTail.h"

#include "utility/RegularFile.h"

namespace zlv {

namespace {

// How much of what was read last is kept to recognise the file by. An append leaves it as
// it was; a rewrite in place (an editor saving, a shell's ">") almost never does.
constexpr std::size_t kCheckBytes = 4096;

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

} // namespace

void DayFileTail::reset()
{
    m_path.clear();
    m_known = false;
    m_offset = 0;
    m_lastBlock.clear();
}

bool DayFileTail::stillHoldsWhatWasRead(const RegularFile& file) const
{
    if (m_offset == 0) {
        return true;
    }
    std::string block;
    return file.readAt(m_offset - m_lastBlock.size(), m_lastBlock.size(), block) &&
           block == m_lastBlock;
}

bool DayFileTail::skipOwnAppend(const std::string& path, const fs::FileState& after,
                                std::uint64_t length)
{
    const bool inStep = m_known && path == m_path && after.size != 0 &&
                        after.identity == m_state.identity && after.device == m_state.device &&
                        after.size == m_offset + length;
    if (!inStep) {
        return false;
    }
    // Only when what was read before our line is still there: a rewrite just before the
    // append would otherwise go unnoticed until the next one.
    RegularFile file;
    std::string bytes;
    const std::uint64_t from = m_offset - m_lastBlock.size();
    if (file.open(path) != RegularFile::Status::Open || file.info().identity != after.identity ||
        !file.readAt(from, after.size - from, bytes) || bytes.size() != after.size - from ||
        bytes.compare(0, m_lastBlock.size(), m_lastBlock) != 0) {
        return false;
    }
    KeepLast(m_lastBlock, std::string_view(bytes).substr(m_lastBlock.size()));
    m_offset = after.size;
    m_state = after;
    return true;
}

DayFileTail::Chunk DayFileTail::poll(const std::string& path)
{
    Chunk chunk;
    RegularFile file;
    const RegularFile::Status status = file.open(path);
    if (status == RegularFile::Status::NotRegular && path != m_refused) {
        WarnNotRegular(path, "day file");
        m_refused = path;
    }
    std::optional<fs::FileState> state;
    if (status == RegularFile::Status::Open) {
        state = fs::FileState{file.info().size, file.info().identity, file.info().device};
    }
    const bool sameFile = m_known && path == m_path && state &&
                          state->identity == m_state.identity && state->device == m_state.device &&
                          state->size >= m_offset && stillHoldsWhatWasRead(file);
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

    std::string bytes;
    if (!file.readAt(m_offset, m_maxChunk, bytes) || bytes.empty()) {
        return chunk;
    }
    const std::size_t lastNewline = bytes.rfind('\n');
    if (lastNewline == std::string::npos) {
        if (bytes.size() < m_maxChunk) {
            return chunk; // a line still being written; wait for its end
        }
        // A "line" longer than a whole chunk is damage, not a record: pass it on as it is
        // so that reading never stalls on it.
    } else {
        bytes.resize(lastNewline + 1);
    }
    chunk.offset = m_offset;
    chunk.more = m_offset + bytes.size() < state->size;
    m_offset += bytes.size();
    KeepLast(m_lastBlock, bytes);
    chunk.bytes = std::move(bytes);
    return chunk;
}

} // namespace zlv
