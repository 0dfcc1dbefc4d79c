#include "logstore/LineText.h"

#include <algorithm>

namespace zlv {

namespace {

bool ValidUtf8(std::string_view s)
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

} // namespace

QString DecodeShown(std::string_view bytes)
{
    if (bytes.size() > kShownBytes) {
        // Only damage makes a field this long; shaping and painting megabytes of it would
        // stall every repaint, so it is shown cut, and says so.
        std::size_t cut = kShownBytes;
        while (cut > kShownBytes - 3 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80) {
            --cut; // not inside a UTF-8 sequence
        }
        return DecodeShown(bytes.substr(0, cut)) + QChar(0x2026);
    }
    const auto size = static_cast<qsizetype>(bytes.size());
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return QString::fromLatin1(bytes.data(), size);
    }
    if (ValidUtf8(bytes)) {
        return QString::fromUtf8(bytes.data(), size);
    }
#ifdef _WIN32
    return QString::fromLocal8Bit(bytes.data(), size);
#else
    return QString::fromLatin1(bytes.data(), size);
#endif
}

} // namespace zlv
