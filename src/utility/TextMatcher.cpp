#include "utility/TextMatcher.h"

#include "utility/CaseFolding.h"
#include "utility/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zlv {

namespace {

constexpr unsigned char FoldByte(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c | 0x20) : c;
}

// The code point at the start of `p` and its length in bytes; a byte that does not start
// a well-formed sequence is taken alone, as the Latin-1 character of its value.
std::size_t Decode(const unsigned char* p, std::size_t left, char32_t& out)
{
    const char* s = reinterpret_cast<const char*>(p);
    const std::size_t n = p[0] < 0x80 ? 1 : utf8::SequenceLength(std::string_view(s, left));
    out = n == 0 ? p[0] : utf8::Decode(s, n);
    return n == 0 ? 1 : n;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Where the first of the bytes `a` or `b` lies in [p, p + n); n when neither is there. One
// pass for both, sixteen bytes at a time, so that a letter searched for in either case
// costs no more than one memchr, however far apart the two cases turn up.
std::size_t FindEitherByte(const unsigned char* p, std::size_t n, unsigned char a, unsigned char b)
{
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i wantA = _mm_set1_epi8(static_cast<char>(a));
    const __m128i wantB = _mm_set1_epi8(static_cast<char>(b));
    const auto either = [&](std::size_t at) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        return _mm_or_si128(_mm_cmpeq_epi8(block, wantA), _mm_cmpeq_epi8(block, wantB));
    };
    // A rare letter is mostly absent: 64 bytes are looked at before a branch is taken.
    for (; i + 64 <= n; i += 64) {
        const __m128i any = _mm_or_si128(_mm_or_si128(either(i), either(i + 16)),
                                         _mm_or_si128(either(i + 32), either(i + 48)));
        if (_mm_movemask_epi8(any) != 0) {
            break;
        }
    }
    for (; i + 16 <= n; i += 16) {
        const int hits = _mm_movemask_epi8(either(i));
        if (hits != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(hits)));
        }
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == a || p[i] == b) {
            return i;
        }
    }
    return n;
}

} // namespace

TextMatcher::TextMatcher(std::string_view needle)
{
    const auto* p = reinterpret_cast<const unsigned char*>(needle.data());
    for (std::size_t i = 0; i < needle.size();) {
        char32_t c = 0;
        i += Decode(p + i, needle.size() - i, c);
        if (c == '\t' || c == '\n' || c == '\r') {
            m_impossible = true;
        }
        c = FoldCase(c);
        m_codes.push_back(c);
        AppendUtf8(m_folded, c);
        m_ascii = m_ascii && c < 0x80;
        // U+017F (long s) and U+212A (Kelvin sign) are the letters outside ASCII that fold
        // into it.
        m_foldedIntoByWide = m_foldedIntoByWide || c == 's' || c == 'k';
    }
    if (!m_ascii) {
        return;
    }
    // Characters of names and paths from the most common on; any other is rarer still.
    constexpr std::string_view kCommon = "e/tarionsl.dcm-uhpfg_ 0123456789wybvkxjqz";
    std::size_t rarest = 0;
    for (std::size_t i = 0; i < m_folded.size(); ++i) {
        const std::size_t rank = kCommon.find(m_folded[i]);
        if (rank == std::string_view::npos) {
            m_anchor = i;
            break;
        }
        if (rank >= rarest) {
            rarest = rank;
            m_anchor = i;
        }
    }
}

std::size_t TextMatcher::find(std::string_view haystack) const
{
    if (m_impossible) {
        return std::string_view::npos;
    }
    if (m_codes.empty()) {
        return 0;
    }
    if (m_ascii) {
        const std::size_t at = findBytes(haystack);
        if (at != std::string_view::npos || !m_foldedIntoByWide || !utf8::HasNonAscii(haystack)) {
            return at;
        }
        return findFolded(haystack);
    }
    // A letter outside ASCII never folds from one inside it.
    return utf8::HasNonAscii(haystack) ? findFolded(haystack) : std::string_view::npos;
}

std::size_t TextMatcher::findBytes(std::string_view haystack) const
{
    // ASCII letters match either case; no byte of a UTF-8 sequence or of a Latin-1 letter
    // can stand for one, so the bytes are searched as they are. The scan looks for the
    // needle's rarest character and checks the rest around it.
    const std::size_t n = m_folded.size();
    if (haystack.size() < n) {
        return std::string_view::npos;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(haystack.data());
    const auto anchor = static_cast<unsigned char>(m_folded[m_anchor]);
    const auto other =
        anchor >= 'a' && anchor <= 'z' ? static_cast<unsigned char>(anchor ^ 0x20) : anchor;
    const std::size_t end = haystack.size() - n + m_anchor + 1; // past the anchor's last place
    for (std::size_t from = m_anchor; from < end;) {
        const std::size_t at = from + FindEitherByte(p + from, end - from, anchor, other);
        if (at == end) {
            return std::string_view::npos;
        }
        const std::size_t start = at - m_anchor;
        std::size_t k = 0;
        while (k < n && FoldByte(p[start + k]) == static_cast<unsigned char>(m_folded[k])) {
            ++k;
        }
        if (k == n) {
            return start;
        }
        from = at + 1;
    }
    return std::string_view::npos;
}

std::size_t TextMatcher::nextCandidate(std::string_view text, std::size_t from) const
{
    if (m_impossible || from >= text.size()) {
        return std::string_view::npos;
    }
    if (m_codes.empty()) {
        return from;
    }
    const std::string_view rest = text.substr(from);
    const auto* p = reinterpret_cast<const unsigned char*>(rest.data());
    if (!m_ascii) {
        // Only a text with a letter outside ASCII can hold such a needle.
        const std::size_t ascii = utf8::AsciiPrefixLength(rest);
        return ascii == rest.size() ? std::string_view::npos : from + ascii;
    }
    const std::size_t hit = findBytes(rest);
    if (!m_foldedIntoByWide) {
        return hit == std::string_view::npos ? hit : from + hit;
    }
    // The long s (C5 BF) and the Kelvin sign (E2 84 AA) fold into the needle's letters:
    // their lead bytes before the first plain match mark lines to look at as well.
    const std::size_t upTo = hit == std::string_view::npos ? rest.size() : hit;
    const std::size_t wide = FindEitherByte(p, upTo, 0xC5, 0xE2);
    return wide < upTo ? from + wide : hit == std::string_view::npos ? hit : from + hit;
}

std::size_t TextMatcher::findFolded(std::string_view haystack) const
{
    // Decoded and folded once, then compared code point by code point; fields are short,
    // and only those with letters outside ASCII come here.
    thread_local std::vector<char32_t> codes;
    thread_local std::vector<std::uint32_t> starts;
    codes.clear();
    starts.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(haystack.data());
    for (std::size_t i = 0; i < haystack.size();) {
        char32_t c = 0;
        const std::size_t n = Decode(p + i, haystack.size() - i, c);
        codes.push_back(FoldCase(c));
        starts.push_back(static_cast<std::uint32_t>(i));
        i += n;
    }
    const std::size_t m = m_codes.size();
    for (std::size_t s = 0; s + m <= codes.size(); ++s) {
        if (codes[s] == m_codes[0] && std::equal(m_codes.begin() + 1, m_codes.end(),
                                                 codes.begin() + static_cast<long>(s) + 1)) {
            return starts[s];
        }
    }
    return std::string_view::npos;
}

} // namespace zlv
