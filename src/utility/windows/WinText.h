#pragma once

#include <string>
#include <string_view>

// The program keeps its text in the system's ANSI code page, as the shell hands out names
// and paths and as the day files store them; windows and controls show UTF-16. Text
// crosses between the two here and nowhere else.
namespace zlv::win {

std::wstring Widen(std::string_view ansi);
std::string Narrow(std::wstring_view wide);
// What the shared lists hand out is UTF-8.
std::wstring FromUtf8(std::string_view utf8);

} // namespace zlv::win
