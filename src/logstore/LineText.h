#pragma once

#include <QString>
#include <cstddef>
#include <string_view>

namespace zlv {

// The text a list shows for the bytes of a stored field. Day files written here are UTF-8;
// a line in any other encoding (a file from an older Windows build in its ANSI code page,
// or damage) is shown in the local 8-bit encoding on Windows and as Latin-1 elsewhere, so
// that every byte stays visible as some character.
// A field longer than kShownBytes is cut there and ends in an ellipsis.
QString DecodeShown(std::string_view bytes);

inline constexpr std::size_t kShownBytes = 64u << 10;

} // namespace zlv
