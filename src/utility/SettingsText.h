#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The text of a sectioned key=value settings file, read and changed in memory. CR LF, LF
// and a lone CR all end a line, whichever editor wrote the file last.
namespace zlv::settingstext {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The value of `key` in `section` (names match whatever their letter case); nullopt when
// the text holds no such key.
std::optional<std::string> Find(std::string_view text, std::string_view section,
                                std::string_view key);

// True when `value` stored under `key` in `section` would read back exactly as given.
bool Storable(std::string_view section, std::string_view key, std::string_view value);

// `text` with every entry stored in `section`: a key already there changes in place, a new
// one joins the end of its section, a missing section is added at the end. Every line then
// ends alike: CR LF when the text's first line does, else LF (`newLineEnd` for a text
// without any line end). Other lines, comments and sections stay as they are.
std::string WithValues(std::string_view text, std::string_view section, const Entries& entries,
                       std::string_view newLineEnd);

} // namespace zlv::settingstext
