#include "logstore/RecordFormats.h"

#include "logstore/DayFile.h"
#include "utility/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zlv::recordformat {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
// More than the keys, quotes and braces of a json record take.
constexpr std::size_t kJsonKeysLength = 96;
// A time text is cut here; only a hand-edited format makes one this long.
constexpr std::size_t kMaxTimeText = 256;

// Calls `piece` with runs of valid UTF-8 and `bad` once for each byte that is not.
template <typename Piece, typename Bad> void WalkUtf8(std::string_view s, Piece piece, Bad bad)
{
    std::size_t start = 0, i = 0;
    while (i < s.size()) {
        // Names are mostly ASCII: eight bytes at a time until a byte is not.
        i += utf8::AsciiPrefixLength(s.substr(i));
        if (i == s.size()) {
            break;
        }
        const std::size_t n = utf8::SequenceLength(s.substr(i));
        if (n) {
            i += n;
            continue;
        }
        piece(s.substr(start, i - start));
        bad();
        start = ++i;
    }
    piece(s.substr(start));
}

// The stamp and the five fields after it; the last takes the rest of the line.
struct Fields
{
    std::string_view stamp;
    std::array<std::string_view, 5> rest;
};

Fields Split(std::string_view line)
{
    Fields f;
    f.stamp = line.substr(0, dayfile::kStampLength);
    line.remove_prefix(std::min(line.size(), dayfile::kStampLength + 1));
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t tab = line.find('\t');
        f.rest[i] = line.substr(0, tab);
        line.remove_prefix(tab == std::string_view::npos ? line.size() : tab + 1);
    }
    f.rest[4] = line;
    return f;
}

// The fields after a stamp where they need no more than their separators changed: ASCII
// only (so valid UTF-8) and no quote; for json also no backslash and no control character
// but tabs. Most records are such, and go out in a few copies instead of byte by byte.
struct PlainFields
{
    bool plain = false;
    std::size_t tabs = 0;   // how many, counted up to five
    std::size_t at[4] = {}; // where the first four are
};

PlainFields Plain(std::string_view rest, bool json)
{
    PlainFields f;
    const auto tabAt = [&f](std::size_t i) {
        if (f.tabs < 4) {
            f.at[f.tabs] = i;
        }
        f.tabs += f.tabs < 5 ? 1 : 0;
    };
    const char* p = rest.data();
    const std::size_t n = rest.size();
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i other = _mm_set1_epi8(json ? '\\' : ',');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i space = _mm_set1_epi8(' ');
    // Sixteen bytes a step; the last one ends at the last byte, and of the bytes it looks at
    // again only counts no tab twice.
    for (std::size_t step = 0; i < n && n >= 16; i = step) {
        step = i + 16 <= n ? i + 16 : n;
        const std::size_t at = step - 16;
        const unsigned fresh = 0xFFFFu << (i - at);
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        const __m128i tabs = _mm_cmpeq_epi8(block, tab);
        __m128i bad = _mm_or_si128(_mm_cmpeq_epi8(block, quote), _mm_cmpeq_epi8(block, other));
        if (json) {
            // Signed: bytes from 0x80 up count as below the space too, and are refused anyway.
            bad = _mm_or_si128(bad, _mm_andnot_si128(tabs, _mm_cmplt_epi8(block, space)));
        }
        if (_mm_movemask_epi8(_mm_or_si128(bad, block)) != 0) {
            return f;
        }
        for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(tabs)) & fresh;
             hits != 0 && f.tabs < 5; hits &= hits - 1) {
            tabAt(at + static_cast<std::size_t>(__builtin_ctz(hits)));
        }
    }
#endif
    for (; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 0x80 || c == '"' || c == (json ? '\\' : ',') || (json && c < 0x20 && c != '\t')) {
            return f;
        }
        if (c == '\t') {
            tabAt(i);
        }
    }
    f.plain = true;
    return f;
}

void AppendRendered(std::string& out, std::string_view stamp, const CompiledPattern& pattern)
{
    if (const auto at = dayfile::ParseStamp(stamp)) {
        pattern.renderTo(*at, out, kMaxTimeText);
    }
}

} // namespace

void AppendUtf8(std::string& out, std::string_view bytes)
{
    WalkUtf8(
        bytes, [&out](std::string_view ok) { out += ok; }, [&out] { out += kReplacement; });
}

void AppendCsvField(std::string& out, std::string_view bytes)
{
    // Looked for byte by byte: find_first_of searches the set once for every byte.
    const bool plain = std::none_of(bytes.begin(), bytes.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n';
    });
    if (plain) {
        AppendUtf8(out, bytes);
        return;
    }
    out += '"';
    std::size_t quote;
    while ((quote = bytes.find('"')) != std::string_view::npos) {
        AppendUtf8(out, bytes.substr(0, quote + 1));
        out += '"';
        bytes.remove_prefix(quote + 1);
    }
    AppendUtf8(out, bytes);
    out += '"';
}

void AppendJsonString(std::string& out, std::string_view bytes)
{
    out += '"';
    const auto piece = [&out](std::string_view ok) {
        // Runs that need no escape go in whole.
        const auto plain = [](char c) {
            return c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20;
        };
        while (!ok.empty()) {
            const auto run = static_cast<std::size_t>(
                std::find_if_not(ok.begin(), ok.end(), plain) - ok.begin());
            out.append(ok.data(), run);
            ok.remove_prefix(run);
            if (ok.empty()) {
                break;
            }
            const char c = ok.front();
            ok.remove_prefix(1);
            const auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else { // a control character
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", u);
                out += esc;
            }
        }
    };
    WalkUtf8(bytes, piece, [&out] { out += kReplacement; });
    out += '"';
}

void AppendTsv(std::string& out, std::string_view line)
{
    // Exactly the stored bytes: a script that wants them gets them.
    out += line;
}

void AppendDisplay(std::string& out, std::string_view line, const CompiledPattern& pattern)
{
    AppendRendered(out, line.substr(0, dayfile::kStampLength), pattern);
    out += '\t';
    AppendUtf8(out, line.substr(std::min(line.size(), dayfile::kStampLength + 1)));
}

void AppendCsv(std::string& out, std::string_view line)
{
    const std::string_view rest = line.substr(std::min(line.size(), dayfile::kStampLength + 1));
    if (const PlainFields plain = Plain(rest, false);
        plain.plain && line.size() > dayfile::kStampLength) {
        out += line.substr(0, dayfile::kStampLength);
        out += ',';
        const std::size_t at = out.size();
        out += rest;
        // The four tabs between the fields become commas (a field lost, a comma all the
        // same); tabs after them belong to the New Name.
        for (std::size_t k = 0; k < 4; ++k) {
            if (k < plain.tabs) {
                out[at + plain.at[k]] = ',';
            } else {
                out += ',';
            }
        }
        return;
    }
    const Fields f = Split(line);
    out += f.stamp;
    for (const std::string_view field : f.rest) {
        out += ',';
        AppendCsvField(out, field);
    }
}

void AppendJson(std::string& out, std::string_view line)
{
    static constexpr std::string_view kKeys[] = {"object", "action", "path", "original_name",
                                                 "new_name"};
    const std::string_view rest = line.substr(std::min(line.size(), dayfile::kStampLength + 1));
    if (const PlainFields plain = Plain(rest, true);
        plain.plain && plain.tabs == 4 && line.size() > dayfile::kStampLength) {
        // Sized once (room to spare, given back after) and filled in place: a dozen appends
        // a record cost more than the copies.
        const std::size_t start = out.size();
        out.resize(start + kJsonKeysLength + dayfile::kStampLength + rest.size());
        char* to = out.data() + start;
        const auto literal = [&to](const auto& text) {
            std::memcpy(to, text, sizeof text - 1);
            to += sizeof text - 1;
        };
        const auto field = [&to, rest](std::size_t from, std::size_t end) {
            std::memcpy(to, rest.data() + from, end - from);
            to += end - from;
        };
        literal("{\"time\":\"");
        std::memcpy(to, line.data(), dayfile::kStampLength);
        to += dayfile::kStampLength;
        literal("\",\"object\":\"");
        field(0, plain.at[0]);
        literal("\",\"action\":\"");
        field(plain.at[0] + 1, plain.at[1]);
        literal("\",\"path\":\"");
        field(plain.at[1] + 1, plain.at[2]);
        literal("\",\"original_name\":\"");
        field(plain.at[2] + 1, plain.at[3]);
        literal("\",\"new_name\":\"");
        field(plain.at[3] + 1, rest.size());
        literal("\"}");
        out.resize(static_cast<std::size_t>(to - out.data()));
        return;
    }
    const Fields f = Split(line);
    out += "{\"time\":\"";
    out += f.stamp;
    out += '"';
    for (std::size_t i = 0; i < 5; ++i) {
        out += ",\"";
        out += kKeys[i];
        out += "\":";
        AppendJsonString(out, f.rest[i]);
    }
    out += '}';
}

void AppendDisplayGap(std::string& out, const GapRecord& gap, const CompiledPattern& pattern)
{
    AppendRendered(out, gap.stamp, pattern);
    out += "\t-- gap in the journal (";
    AppendUtf8(out, gap.reason);
    out += "): ";
    AppendUtf8(out, gap.sentence);
}

void AppendCsvGap(std::string& out, const GapRecord& gap)
{
    out += gap.stamp;
    out += ",(gap),";
    AppendCsvField(out, gap.reason);
    out += ",,";
    AppendCsvField(out, gap.sentence);
    out += ',';
}

void AppendJsonGap(std::string& out, const GapRecord& gap)
{
    out += "{\"gap\":true,\"time\":";
    AppendJsonString(out, gap.stamp);
    out += ",\"reason\":";
    AppendJsonString(out, gap.reason);
    out += ",\"message\":";
    AppendJsonString(out, gap.sentence);
    out += '}';
}

} // namespace zlv::recordformat
