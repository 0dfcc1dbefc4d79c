#include "logstore/RecordFormats.h"

#include "logstore/DayFile.h"
#include "utility/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace zlv::recordformat {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
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
