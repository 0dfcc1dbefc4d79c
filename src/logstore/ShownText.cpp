#include "logstore/ShownText.h"

#include "utility/Utf8.h"

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
    const bool asIs = !utf8::HasNonAscii(bytes) || utf8::IsValid(bytes);
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
