#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlv {

// A field longer than this is shown cut there, ending in an ellipsis. Only damage makes a
// field this long; shaping and painting megabytes of it would stall every repaint.
inline constexpr std::size_t kShownBytes = 64u << 10;

// The text a list shows for the bytes of a stored field, as UTF-8. Day files written here
// are UTF-8; a field in any other encoding (a file from an older Windows build in its ANSI
// code page, or damage) is taken as the local 8-bit encoding on Windows and as Latin-1
// elsewhere, so that every byte stays visible as some character. The result lies in
// `bytes` itself when they are already fit to show, else in `buffer`.
std::string_view ShownText(std::string_view bytes, std::string& buffer);

} // namespace zlv
