#pragma once

#include "utility/FileSystem.h"
#include "utility/MappedBytes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zlv {

class RegularFile;

// Follows one day file as it grows, handing out only what was appended since the last
// look, in whole lines. When the file shrank, was replaced, was rewritten in place (the
// last bytes read are no longer there) or another path is asked for, it starts over from
// the beginning and says so, so that whatever the caller derived from the old content can
// be dropped. This is what keeps the cost of a record independent of how many lines the
// day already holds. Anything but a regular file reads as no file, without waiting on it.
class DayFileTail final
{
public:
    struct Chunk
    {
        bool restarted = false;   // the caller must forget what it built before
        std::uint64_t offset = 0; // file offset of bytes[0]
        std::string bytes;        // whole lines only, line ends included
        bool more = false;        // the file holds more than this chunk: poll again
        // Instead of `bytes`, when the caller let a large read be mapped: the whole lines
        // are the first `mappedLength` bytes of the view.
        std::shared_ptr<MappedBytes> mapped;
        std::size_t mappedLength = 0;

        std::string_view text() const
        {
            return mapped ? std::string_view(mapped->data(), mappedLength)
                          : std::string_view(bytes);
        }
    };

    explicit DayFileTail(std::uint64_t maxChunkBytes = 4u << 20);
    ~DayFileTail();
    DayFileTail(DayFileTail&&) noexcept;
    DayFileTail& operator=(DayFileTail&&) noexcept;

    // The next run of complete lines of `path`; empty bytes when nothing new is there.
    // Call again until it comes back empty to catch up with a large file. With `mayMap`, a
    // large run is handed out mapped rather than read (see MappedBytes), all at once.
    Chunk poll(const std::string& path, bool mayMap = false);

    // Forgets the file, so the next poll starts over.
    void reset();

    const std::string& path() const { return m_path; }
    std::uint64_t offset() const { return m_offset; }

private:
    std::optional<fs::FileState> look(const std::string& path);

    std::uint64_t m_maxChunk;
    std::string m_path;
    fs::FileState m_state;
    bool m_known = false;
    std::uint64_t m_offset = 0;
    std::string m_lastBlock; // the last bytes handed out, ending at m_offset
    std::string m_refused;   // the path last reported as not a regular file
    // The file last looked at, kept open while its path still names it.
    std::unique_ptr<RegularFile> m_file;
    std::string m_openPath;
};

} // namespace zlv
