#include "logstore/RecordScanner.h"

#include "logstore/DayFile.h"

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zlv::dayfile {

namespace {

constexpr bool Digit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool RecordScanner::stampValid(const char* s)
{
    if (m_haveHour && std::memcmp(s, m_hour, sizeof m_hour) == 0) {
        // "MM:SS" alone is left, and ParseStamp would take it for 00 to 59 each.
        return s[14] >= '0' && s[14] <= '5' && Digit(s[15]) && s[16] == ':' && s[17] >= '0' &&
               s[17] <= '5' && Digit(s[18]);
    }
    if (!ParseStamp(std::string_view(s, kStampLength))) {
        return false;
    }
    std::memcpy(m_hour, s, sizeof m_hour);
    m_haveHour = true;
    return true;
}

bool RecordScanner::next(std::string_view& bytes, std::string_view& line)
{
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t end = n;
    std::size_t i = 0;
    // A record has a tab after its stamp and four more; counting stops at five.
    unsigned tabs = 0;
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i one = _mm_set1_epi8(1);
    // The tabs of the blocks before the line end, counted in each byte's lane (held at 255,
    // which is plenty) and added up once.
    __m128i counts = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i tabs16 = _mm_cmpeq_epi8(block, tab);
        const auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, lf), _mm_cmpeq_epi8(block, cr))));
        if (ends != 0) {
            // Only the tabs before the line end.
            for (auto hits =
                     static_cast<unsigned>(_mm_movemask_epi8(tabs16)) & ((ends & (0u - ends)) - 1);
                 hits != 0; hits &= hits - 1) {
                ++tabs;
            }
            end = i + static_cast<std::size_t>(__builtin_ctz(ends));
            break;
        }
        counts = _mm_adds_epu8(counts, _mm_and_si128(tabs16, one));
    }
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    tabs += static_cast<unsigned>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
#endif
    for (; end == n && i < n; ++i) {
        if (p[i] == '\n' || p[i] == '\r') {
            end = i;
        } else if (p[i] == '\t') {
            ++tabs;
        }
    }
    line = std::string_view(p, end);
    if (end < n) {
        bytes.remove_prefix(end + (p[end] == '\r' && end + 1 < n && p[end + 1] == '\n' ? 2 : 1));
    } else {
        bytes = {};
    }
    return end > kStampLength && tabs >= 5 && p[kStampLength] == '\t' && stampValid(p);
}

} // namespace zlv::dayfile
