#include "utility/Utf8.h"

#include <cstdint>
#include <cstring>

namespace zlv::utf8 {

std::size_t SequenceLength(std::string_view s)
{
    if (s.empty()) {
        return 0;
    }
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    std::size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c < 0x80) {
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80;
        hi = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < n || b(1) < lo || b(1) > hi) {
        return 0;
    }
    for (std::size_t i = 2; i < n; ++i) {
        if (b(i) < 0x80 || b(i) > 0xBF) {
            return 0;
        }
    }
    return n;
}

char32_t Decode(const char* s, std::size_t length)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s);
    if (length <= 1) {
        return p[0];
    }
    char32_t c = p[0] & (0x7Fu >> length);
    for (std::size_t i = 1; i < length; ++i) {
        c = (c << 6) | (p[i] & 0x3Fu);
    }
    return c;
}

bool IsValid(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            i += AsciiPrefixLength(s.substr(i));
            continue;
        }
        const std::size_t n = SequenceLength(s.substr(i));
        if (n == 0) {
            return false;
        }
        i += n;
    }
    return true;
}

std::size_t AsciiPrefixLength(std::string_view s)
{
    const char* p = s.data();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) {
            break;
        }
    }
    while (i < s.size() && static_cast<unsigned char>(p[i]) < 0x80) {
        ++i;
    }
    return i;
}

bool HasNonAscii(std::string_view s)
{
    return AsciiPrefixLength(s) != s.size();
}

} // namespace zlv::utf8
