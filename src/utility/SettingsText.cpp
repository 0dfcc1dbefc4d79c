#include "utility/SettingsText.h"

#include <algorithm>

namespace zlv::settingstext {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// Section and key names match whatever their letter case, as they do in the INI files
// people know; a hand edit that changed "DTF" to "dtf" still finds its settings.
bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        x = (x >= 'a' && x <= 'z') ? static_cast<char>(x - 32) : x;
        y = (y >= 'a' && y <= 'z') ? static_cast<char>(y - 32) : y;
        if (x != y) {
            return false;
        }
    }
    return true;
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// Spaces around the value are part of a hand edit's layout, not of the value, so they are
// trimmed on reading. A value that really has them (or is itself wrapped in quotes) is
// written inside one pair of double quotes, which reading takes off again.
std::string EncodeValue(std::string_view value)
{
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (Trim(value).size() != value.size() || quoted) {
        std::string out;
        out.reserve(value.size() + 2);
        out.append(1, '"').append(value).append(1, '"');
        return out;
    }
    return std::string(value);
}

std::string DecodeValue(std::string_view raw)
{
    raw = Trim(raw);
    if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
        raw = raw.substr(1, raw.size() - 2);
    }
    return std::string(raw);
}

struct Line
{
    std::string_view body;  // without its line end
    std::string_view key;   // empty for headers, comments and anything without '='
    std::string_view value; // raw, after the first '='
    std::string_view section;
    bool header = false;
};

// Walks the lines of `text`, telling `visit` each one; `visit` returns false to stop.
// `wholeFile` is false for lines whose mark was taken off already: a second mark behind the
// first belongs to the first line, and a write must see that line exactly as a read does.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit, bool wholeFile = true)
{
    if (wholeFile && text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size()); // some editors put one in front
    }
    std::string_view section;
    bool inSection = false;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        std::size_t next = end;
        if (end < text.size()) {
            next += text.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        }
        Line line;
        line.body = text.substr(0, end);
        const std::string_view trimmed = Trim(line.body);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            section = Trim(trimmed.substr(1, close == std::string_view::npos ? trimmed.size() - 1
                                                                             : close - 1));
            inSection = true;
            line.header = true;
        } else {
            const std::size_t eq = trimmed.find('=');
            const bool comment =
                !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
            if (inSection && !comment && eq != std::string_view::npos) {
                line.key = Trim(trimmed.substr(0, eq));
                line.value = line.body.substr(line.body.find('=') + 1);
            }
        }
        line.section = section;
        if (!visit(line)) {
            return;
        }
        text.remove_prefix(next);
    }
}

std::string_view LineEndOf(std::string_view text, std::string_view otherwise)
{
    const std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos) {
        return otherwise;
    }
    return text.compare(at, 2, "\r\n") == 0 ? "\r\n" : "\n";
}

// The lines of `text` without their line ends (and without a byte-order mark in front).
std::vector<std::string> Lines(std::string_view text)
{
    std::vector<std::string> lines;
    ForEachLine(text, [&](const Line& line) {
        lines.emplace_back(line.body);
        return true;
    });
    return lines;
}

void SetValue(std::vector<std::string>& lines, std::string_view section, std::string_view key,
              std::string_view value)
{
    std::string entry(key);
    entry.append(1, '=').append(EncodeValue(value));

    // The same walk as reading, so a write changes exactly the line a read would find.
    std::string joined;
    for (const std::string& line : lines) {
        joined.append(line).append(1, '\n');
    }
    std::size_t index = 0;
    std::optional<std::size_t> keyLine;
    std::optional<std::size_t> lastOfSection; // last non-blank line of the first match
    bool inFirstSection = false;
    bool sectionDone = false;
    ForEachLine(
        joined,
        [&](const Line& line) {
            const std::size_t at = index++;
            const bool matches = SameName(line.section, section);
            if (line.header) {
                sectionDone = sectionDone || inFirstSection;
                inFirstSection = matches && !sectionDone;
                if (inFirstSection) {
                    lastOfSection = at;
                }
                return true;
            }
            if (matches && !line.key.empty() && SameName(line.key, key)) {
                keyLine = at;
                return false;
            }
            if (inFirstSection && !Trim(line.body).empty()) {
                lastOfSection = at;
            }
            return true;
        },
        false);
    if (keyLine) {
        lines[*keyLine] = entry;
    } else if (lastOfSection) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastOfSection + 1), entry);
    } else {
        std::string header(1, '[');
        lines.push_back(std::move(header.append(section).append(1, ']')));
        lines.push_back(entry);
    }
}

} // namespace

std::optional<std::string> Find(std::string_view text, std::string_view section,
                                std::string_view key)
{
    section = Trim(section);
    key = Trim(key);
    std::optional<std::string> found;
    ForEachLine(text, [&](const Line& line) {
        if (!line.header && !line.key.empty() && SameName(line.section, section) &&
            SameName(line.key, key)) {
            found = DecodeValue(line.value);
            return false;
        }
        return true;
    });
    return found;
}

bool Storable(std::string_view section, std::string_view key, std::string_view value)
{
    // A line break would split the line, a "=" would end the key early, a leading "[" or
    // ";" would make the line a header or a comment.
    auto validName = [](std::string_view name) {
        return !name.empty() && Trim(name).size() == name.size() && !HasLineBreak(name);
    };
    return validName(section) && section.find(']') == std::string_view::npos && validName(key) &&
           key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';' &&
           key.front() != '#' && !HasLineBreak(value);
}

std::string WithValues(std::string_view text, std::string_view section, const Entries& entries,
                       std::string_view newLineEnd)
{
    const std::string_view lineEnd = LineEndOf(text, newLineEnd);
    const bool mark = text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
    std::vector<std::string> lines = Lines(text);
    for (const auto& [key, value] : entries) {
        SetValue(lines, section, key, value);
    }
    std::string out(mark ? kByteOrderMark : std::string_view());
    for (const std::string& line : lines) {
        out.append(line).append(lineEnd);
    }
    return out;
}

} // namespace zlv::settingstext
