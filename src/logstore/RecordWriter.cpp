#include "logstore/RecordWriter.h"

#include "logstore/DayFile.h"

#include <algorithm>
#include <cstring>

namespace zlv::recordformat {

namespace {

// Where the line holding `at` starts: just past the line break before it.
std::size_t LineStart(std::string_view bytes, std::size_t from, std::size_t at)
{
    while (at > from && bytes[at - 1] != '\n' && bytes[at - 1] != '\r') {
        --at;
    }
    return at;
}

} // namespace

RecordWriter::RecordWriter(Form form, std::string_view find, std::string_view displayPattern)
    : m_form(form), m_find(find), m_pattern(displayPattern)
{}

void RecordWriter::appendDisplay(std::string& out, std::string_view line)
{
    const std::string_view stamp = line.substr(0, dayfile::kStampLength);
    if (stamp != m_stamp) {
        m_rendered.clear();
        AppendDisplay(m_rendered, stamp, m_pattern);
        m_rendered.pop_back(); // the tab AppendDisplay puts after the time
        m_stamp.assign(stamp);
    }
    out += m_rendered;
    out += '\t';
    AppendUtf8(out, line.substr(std::min(line.size(), dayfile::kStampLength + 1)));
}

void RecordWriter::appendRecord(std::string& out, std::string_view line)
{
    switch (m_form) {
    case Form::Tsv:
        AppendTsv(out, line);
        break;
    case Form::Display:
        appendDisplay(out, line);
        break;
    case Form::Csv:
        AppendCsv(out, line);
        break;
    case Form::Json:
        AppendJson(out, line);
        break;
    }
    out += lineEnd();
}

bool RecordWriter::appendLine(std::string& out, std::string_view line)
{
    const std::optional<std::string_view> rest = dayfile::RecordTextOfLine(line);
    // One matcher for the window and the terminal; a needle never spans two fields.
    if (!rest || !m_find.foundIn(*rest)) {
        return false;
    }
    appendRecord(out, line);
    return true;
}

std::size_t RecordWriter::appendLines(std::string& out, std::string_view bytes)
{
    std::size_t written = 0;
    if (m_find.empty()) {
        // Every line is printed that is a record: each is cut and checked in one pass.
        std::string_view line;
        if (m_form == Form::Tsv) {
            while (!bytes.empty()) {
                if (m_scanner.next(bytes, line)) {
                    out.append(line.data(), line.size()).push_back('\n');
                    ++written;
                }
            }
            return written;
        }
        while (!bytes.empty()) {
            if (m_scanner.next(bytes, line)) {
                appendRecord(out, line);
                ++written;
            }
        }
        return written;
    }
    std::size_t from = 0;
    // Each candidate names a line that may show the find text; the lines before it cannot,
    // and are passed over without being cut apart.
    for (std::size_t at; (at = m_find.nextCandidate(bytes, from)) != std::string_view::npos;) {
        std::string_view rest = bytes.substr(LineStart(bytes, from, at));
        const std::string_view line = dayfile::NextLine(rest);
        written += appendLine(out, line) ? 1 : 0;
        from = bytes.size() - rest.size();
    }
    return written;
}

} // namespace zlv::recordformat
