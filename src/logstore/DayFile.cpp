#include "logstore/DayFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zlv::dayfile {

namespace {

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// Where the first CR or LF of `bytes` lies, sixteen or eight bytes at a time: lines are
// read by the million, and two memchr passes (one for each) would cost twice over.
std::size_t FirstLineEnd(std::string_view bytes)
{
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, lf), _mm_cmpeq_epi8(block, cr)));
        if (hits != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
        }
    }
#else
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        const std::uint64_t lf = word ^ (kOnes * '\n');
        const std::uint64_t cr = word ^ (kOnes * '\r');
        const std::uint64_t zero = ((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr);
        if (zero & kHigh) {
            break;
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\n' || p[i] == '\r') {
            return i;
        }
    }
    return std::string_view::npos;
}

// Whether `text` holds at least four tabs; what follows the fourth is not looked at, since
// lines are checked by the million and their names may be long.
bool HasFourTabs(std::string_view text)
{
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    int tabs = 0;
#ifdef __SSE2__
    const __m128i tab = _mm_set1_epi8('\t');
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, tab)));
             hits != 0; hits &= hits - 1) {
            if (++tabs == 4) {
                return true;
            }
        }
    }
#endif
    for (; i < n && tabs < 4; ++i) {
        tabs += p[i] == '\t' ? 1 : 0;
    }
    return tabs >= 4;
}

} // namespace

std::string_view NextLine(std::string_view& bytes)
{
    const std::size_t end = FirstLineEnd(bytes);
    if (end == std::string_view::npos) {
        const std::string_view line = bytes;
        bytes = {};
        return line;
    }
    const std::string_view line = bytes.substr(0, end);
    const std::size_t endLength =
        bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1;
    bytes.remove_prefix(end + endLength);
    return line;
}

std::size_t WholeLinesEnd(std::string_view bytes)
{
    const std::size_t last = bytes.find_last_of("\r\n");
    return last == std::string_view::npos ? 0 : last + 1;
}

std::string SanitizeField(std::string_view field)
{
    const bool clean = std::none_of(field.begin(), field.end(),
                                    [](char ch) { return static_cast<unsigned char>(ch) < 0x20; });
    if (clean) {
        return std::string(field);
    }
    std::string out;
    out.reserve(field.size() + 8);
    for (const char ch : field) {
        const auto u = static_cast<unsigned char>(ch);
        if (u < 0x20) {
            // U+2400 + u in UTF-8: E2 90 80+u
            out += '\xE2';
            out += '\x90';
            out += static_cast<char>(0x80 + u);
        } else {
            out += ch;
        }
    }
    return out;
}

std::string RecordText(const LogRecord& r)
{
    std::string text;
    text.reserve(r.object.size() + r.action.size() + r.path.size() + r.originalName.size() +
                 r.newName.size() + 4);
    text.append(r.object).append(1, '\t').append(r.action).append(1, '\t');
    text.append(r.path).append(1, '\t').append(r.originalName).append(1, '\t');
    text.append(r.newName);
    return text;
}

std::string FormatLine(std::string_view stamp, std::string_view recordText)
{
    std::string line;
    line.reserve(stamp.size() + recordText.size() + 3);
    line.append(stamp).append(1, '\t').append(recordText).append("\r\n");
    return line;
}

std::string FormatLine(const LogRecord& r)
{
    return FormatLine(r.time, RecordText(r));
}

std::optional<std::string_view> RecordTextOfLine(std::string_view line)
{
    line = WithoutLineEnd(line);
    // The stamp is the text before the first tab and holds none, so a record's first tab
    // is the one right after it.
    if (line.size() <= kStampLength || line[kStampLength] != '\t' ||
        !ParseStamp(line.substr(0, kStampLength))) {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(kStampLength + 1);
    if (!HasFourTabs(rest)) {
        return std::nullopt;
    }
    return rest;
}

std::optional<LogRecord> ParseLine(std::string_view line)
{
    const auto rest = RecordTextOfLine(line);
    if (!rest) {
        return std::nullopt;
    }
    LogRecord r;
    r.time.assign(line.substr(0, kStampLength));
    std::string* fields[] = {&r.object, &r.action, &r.path, &r.originalName};
    std::string_view tail = *rest;
    for (std::string* field : fields) {
        const std::size_t tab = tail.find('\t');
        field->assign(tail.substr(0, tab));
        tail.remove_prefix(tab + 1);
    }
    r.newName.assign(tail);
    return r;
}

} // namespace zlv::dayfile
