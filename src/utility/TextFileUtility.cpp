#include "utility/TextFileUtility.h"

#include "utility/FileSystem.h"

#include <string_view>

namespace zlv {

namespace {

constexpr std::uint64_t kChunk = 1 << 20;

std::string_view TrimLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) {
        line.remove_suffix(1);
    }
    return line;
}

} // namespace

std::string TextFileUtility::FindLine(const std::string& path, const std::string& text, int mode)
{
    (void)mode;
    std::string found;
    std::string carry;
    std::uint64_t offset = 0;
    for (;;) {
        bool ok = false;
        std::string chunk = fs::ReadFrom(path, offset, kChunk, &ok);
        if (!ok || chunk.empty()) {
            break;
        }
        offset += chunk.size();
        carry += chunk;
        std::string_view rest(carry);
        for (std::size_t nl; (nl = rest.find('\n')) != std::string_view::npos;) {
            const std::string_view line = rest.substr(0, nl);
            if (line.find(text) != std::string_view::npos) {
                found.assign(TrimLineEnd(line));
            }
            rest.remove_prefix(nl + 1);
        }
        carry.erase(0, carry.size() - rest.size());
    }
    if (!carry.empty() && carry.find(text) != std::string::npos) {
        found.assign(TrimLineEnd(carry));
    }
    return found;
}

} // namespace zlv
