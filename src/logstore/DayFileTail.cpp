#include "logstore/DayFileTail.h"

namespace zlv {

void DayFileTail::reset()
{
    m_path.clear();
    m_known = false;
    m_offset = 0;
}

bool DayFileTail::skipOwnAppend(const std::string& path, const fs::FileState& after,
                                std::uint64_t length)
{
    const bool inStep = m_known && path == m_path && after.size != 0 &&
                        after.identity == m_state.identity && after.device == m_state.device &&
                        after.size == m_offset + length;
    if (inStep) {
        m_offset = after.size;
        m_state = after;
    }
    return inStep;
}

DayFileTail::Chunk DayFileTail::poll(const std::string& path)
{
    Chunk chunk;
    const auto state = fs::StatFile(path);
    const bool sameFile = m_known && path == m_path && state &&
                          state->identity == m_state.identity && state->device == m_state.device &&
                          state->size >= m_offset;
    if (!sameFile) {
        // A restart is worth reporting only when there was something to forget.
        chunk.restarted = m_known || m_offset != 0 || path != m_path;
        m_path = path;
        m_offset = 0;
        m_known = state.has_value();
        if (state) {
            m_state = *state;
        }
    }
    if (!state || state->size <= m_offset) {
        return chunk;
    }
    m_state = *state;

    bool ok = false;
    std::string bytes = fs::ReadFrom(path, m_offset, m_maxChunk, &ok);
    if (!ok || bytes.empty()) {
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
    chunk.bytes = std::move(bytes);
    return chunk;
}

} // namespace zlv
