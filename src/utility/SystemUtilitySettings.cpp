// The settings file: a sectioned key=value text file read and written one key at a time.
//
// QSettings is not used on purpose: its INI format reads an unquoted value holding a comma
// as a list (so a hand-edited "Month, Day, Year" would come back empty), escapes values
// and keys its own way, and rewrites the whole file in its own layout, dropping comments.
// Here a write changes exactly one line and leaves every other byte of the file as it was.
#include "utility/SystemUtility.h"

#include <QFile>
#include <QSaveFile>
#include <optional>
#include <string_view>

namespace zlv {

namespace {

// Bigger than any settings file a person keeps; a larger file is damage, and rewriting it
// would cost more than refusing.
constexpr qint64 kMaxFileBytes = 16 << 20;

#ifdef _WIN32
constexpr std::string_view kDefaultLineEnd = "\r\n";
#else
constexpr std::string_view kDefaultLineEnd = "\n";
#endif

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
    std::size_t begin; // first byte
    std::size_t end;   // one past the last byte before the line end
    std::size_t next;  // first byte of the following line
};

// Walks the lines of `text`, telling `visit` each line and the section it lies in. `visit`
// returns false to stop.
template <typename Visit> void ForEachLine(std::string_view text, Visit visit)
{
    std::size_t pos = 0;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        pos = 3; // a byte-order mark some editors put in front
    }
    std::string_view section;
    bool inSection = false;
    while (pos < text.size()) {
        std::size_t newline = text.find('\n', pos);
        const std::size_t next = newline == std::string_view::npos ? text.size() : newline + 1;
        std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        if (end > pos && text[end - 1] == '\r') {
            --end;
        }
        const Line line{pos, end, next};
        const std::string_view body = Trim(text.substr(pos, end - pos));
        if (!body.empty() && body.front() == '[') {
            const std::size_t close = body.find(']');
            section =
                Trim(body.substr(1, close == std::string_view::npos ? body.size() - 1 : close - 1));
            inSection = true;
            if (!visit(line, section, std::string_view(), std::string_view(), true)) {
                return;
            }
        } else {
            const std::size_t eq = body.find('=');
            const bool comment = !body.empty() && (body.front() == ';' || body.front() == '#');
            std::string_view key, value;
            if (inSection && !comment && eq != std::string_view::npos) {
                key = Trim(body.substr(0, eq));
                const std::size_t rawEq = text.find('=', pos);
                value = text.substr(rawEq + 1, end - rawEq - 1);
            }
            if (!visit(line, section, key, value, false)) {
                return;
            }
        }
        pos = next;
    }
}

std::optional<std::string> FindValue(std::string_view text, std::string_view section,
                                     std::string_view key)
{
    std::optional<std::string> found;
    ForEachLine(text, [&](const Line&, std::string_view sec, std::string_view k,
                          std::string_view value, bool header) {
        if (!header && !k.empty() && SameName(sec, section) && SameName(k, key)) {
            found = DecodeValue(value);
            return false;
        }
        return true;
    });
    return found;
}

std::string WithValue(std::string text, std::string_view section, std::string_view key,
                      std::string_view value)
{
    std::string_view lineEnd = kDefaultLineEnd;
    if (const std::size_t nl = text.find('\n'); nl != std::string::npos) {
        lineEnd = nl > 0 && text[nl - 1] == '\r' ? "\r\n" : "\n";
    }
    std::string entry(key);
    entry.append(1, '=').append(EncodeValue(value));

    std::optional<Line> keyLine;
    std::optional<Line> lastOfSection; // last non-blank line of the first matching section
    bool inFirstSection = false;
    bool sectionDone = false;
    ForEachLine(text, [&](const Line& line, std::string_view sec, std::string_view k,
                          std::string_view, bool header) {
        const bool matches = SameName(sec, section);
        if (header) {
            if (inFirstSection) {
                sectionDone = true;
            }
            inFirstSection = matches && !sectionDone;
            if (inFirstSection) {
                lastOfSection = line;
            }
            return true;
        }
        if (matches && !k.empty() && SameName(k, key)) {
            keyLine = line;
            return false;
        }
        if (inFirstSection && line.end > line.begin &&
            !Trim(std::string_view(text).substr(line.begin, line.end - line.begin)).empty()) {
            lastOfSection = line;
        }
        return true;
    });

    if (keyLine) {
        text.replace(keyLine->begin, keyLine->end - keyLine->begin, entry);
        return text;
    }
    if (lastOfSection) {
        std::string insert;
        if (lastOfSection->next == lastOfSection->end) {
            insert.append(lineEnd); // the section's last line ends the file without a break
        }
        insert.append(entry).append(lineEnd);
        text.insert(lastOfSection->next, insert);
        return text;
    }
    if (!text.empty() && text.back() != '\n') {
        text.append(lineEnd);
    }
    text.append(1, '[').append(section).append(1, ']').append(lineEnd);
    text.append(entry).append(lineEnd);
    return text;
}

QString NativePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The file's bytes; nullopt when it cannot be read. A missing file reads as empty when
// `missingIsEmpty`.
std::optional<std::string> ReadFile(const std::string& path, bool missingIsEmpty)
{
    QFile file(NativePath(path));
    if (!file.exists()) {
        return missingIsEmpty ? std::optional<std::string>(std::string()) : std::nullopt;
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
        return std::nullopt;
    }
    const QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (bytes.size() > kMaxFileBytes || file.error() != QFile::NoError) {
        return std::nullopt;
    }
    return bytes.toStdString();
}

bool ValidName(std::string_view name)
{
    return !name.empty() && Trim(name).size() == name.size() && !HasLineBreak(name);
}

} // namespace

std::string SystemUtility::ReadSetting(const std::string& file, const std::string& section,
                                       const std::string& key)
{
    const auto text = ReadFile(file, false);
    if (!text) {
        return {};
    }
    return FindValue(*text, Trim(section), Trim(key)).value_or(std::string());
}

bool SystemUtility::WriteSetting(const std::string& file, const std::string& section,
                                 const std::string& key, const std::string& value)
{
    // Names and values that could not be read back as they were given are refused rather
    // than stored damaged: a line break would split the line, a "=" would end the key early.
    if (!ValidName(section) || section.find(']') != std::string::npos || !ValidName(key) ||
        key.find('=') != std::string::npos || key.front() == '[' || key.front() == ';' ||
        key.front() == '#' || HasLineBreak(value)) {
        return false;
    }
    const auto before = ReadFile(file, true);
    if (!before) {
        return false; // never replace what could not be read: it would be lost
    }
    const std::string after = WithValue(*before, section, key, value);
    if (after == *before) {
        return true;
    }
    QSaveFile out(NativePath(file));
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (out.write(after.data(), static_cast<qint64>(after.size())) !=
        static_cast<qint64>(after.size())) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

} // namespace zlv
