#pragma once

#include <string>

namespace zlv {

// Text-file operations of the utility component.
class TextFileUtility final
{
public:
    // The last line of the file at `path` that contains `text`, without its line end; the
    // empty text when no line does or the file cannot be read. `mode` is reserved (0).
    static std::string FindLine(const std::string& path, const std::string& text, int mode = 0);
};

} // namespace zlv
