#pragma once

#include <cstddef>
#include <string_view>

// UTF-8 as the journal meets it: day files are UTF-8 when this program wrote them, and
// anything when damage or another program did.
namespace zlv::utf8 {

// The length of the well-formed sequence that starts `s`, 0 when none does (overlong
// forms, surrogates, code points past U+10FFFF and cut sequences included).
std::size_t SequenceLength(std::string_view s);

// The code point of the well-formed sequence of `length` bytes at `s`.
char32_t Decode(const char* s, std::size_t length);

// Whether every byte of `s` belongs to a well-formed sequence.
bool IsValid(std::string_view s);

// Whether any byte of `s` is outside ASCII; eight bytes at a time.
bool HasNonAscii(std::string_view s);
// How many bytes `s` starts with that are ASCII; eight at a time.
std::size_t AsciiPrefixLength(std::string_view s);

} // namespace zlv::utf8
