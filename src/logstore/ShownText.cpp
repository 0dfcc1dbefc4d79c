#include "logstore/ShownText.h"

#include "utility/TextMatcher.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zlv {

namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// The bytes as the platform's 8-bit text, in UTF-8.
void AppendEightBit(std::string& out, std::string_view bytes)
{
#ifdef _WIN32
    const int length = static_cast<int>(bytes.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (wide > 0) {
        std::wstring text(static_cast<std::size_t>(wide), L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), wide);
        const int narrow =
            WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
        if (narrow > 0) {
            const std::size_t at = out.size();
            out.resize(at + static_cast<std::size_t>(narrow));
            WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, out.data() + at, narrow, nullptr,
                                nullptr);
            return;
        }
    }
#endif
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}

} // namespace

bool IsValidUtf8(std::string_view s)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        unsigned int min = 0;
        unsigned int cp = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, min = 0x80, cp = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, min = 0x800, cp = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, min = 0x10000, cp = c & 0x07u;
        } else {
            return false;
        }
        if (end - p <= extra) {
            return false;
        }
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i] & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        p += extra + 1;
    }
    return true;
}

std::string_view ShownText(std::string_view bytes, std::string& buffer)
{
    bool cut = false;
    if (bytes.size() > kShownBytes) {
        std::size_t at = kShownBytes;
        while (at > kShownBytes - 3 && (static_cast<unsigned char>(bytes[at]) & 0xC0) == 0x80) {
            --at; // not inside a UTF-8 sequence
        }
        bytes = bytes.substr(0, at);
        cut = true;
    }
    const bool asIs = !HasNonAscii(bytes) || IsValidUtf8(bytes);
    if (asIs && !cut) {
        return bytes;
    }
    buffer.clear();
    if (asIs) {
        buffer.append(bytes);
    } else {
        AppendEightBit(buffer, bytes);
    }
    if (cut) {
        buffer.append(kEllipsis);
    }
    return buffer;
}

} // namespace zlv
