#include "logstore/RunState.h"

#include "utility/RegularFile.h"

#include <charconv>

namespace zlv {

namespace {

// A sentence may be long (a path); the file has a fixed size, so each is kept short enough
// that all of them always fit.
constexpr std::size_t kLongestValue = 700;
constexpr std::size_t kMostConditions = 8;

std::string OneLine(std::string_view text)
{
    std::string out(text.substr(0, kLongestValue));
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

template <typename Number> bool ParseNumber(std::string_view text, Number& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

namespace runstate {

std::string Format(const RunState& s)
{
    std::string out;
    const auto put = [&out](std::string_view key, std::string_view value) {
        out.append(key);
        out += '=';
        out += OneLine(value);
        out += '\n';
    };
    put("pid", std::to_string(s.pid));
    put("started", s.started);
    put("complete", s.complete);
    put("ended", s.ended);
    put("end-noted", s.endNoted ? "1" : "0");
    put("held", std::to_string(s.held));
    put("lost", std::to_string(s.lost));
    put("lost-first", s.lostFirst);
    put("lost-last", s.lostLast);
    for (std::size_t i = 0; i < s.conditions.size() && i < kMostConditions; ++i) {
        std::string word = OneLine(s.conditions[i].first);
        for (char& c : word) {
            c = c == '\t' ? ' ' : c;
        }
        put("condition", word + '\t' + s.conditions[i].second);
    }
    out += "end\n";
    return out;
}

std::optional<RunState> Parse(std::string_view text)
{
    RunState s;
    bool whole = false;
    while (!text.empty() && !whole) {
        const std::size_t lf = text.find('\n');
        if (lf == std::string_view::npos) {
            break;
        }
        const std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf + 1);
        if (line == "end") {
            whole = true;
            break;
        }
        const std::size_t eq = line.find('=');
        const std::string_view key = line.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
        bool ok = true;
        if (key == "pid") {
            ok = ParseNumber(value, s.pid);
        } else if (key == "started") {
            s.started = value;
        } else if (key == "complete") {
            s.complete = value;
        } else if (key == "ended") {
            s.ended = value;
        } else if (key == "end-noted") {
            s.endNoted = value == "1";
        } else if (key == "held") {
            ok = ParseNumber(value, s.held);
        } else if (key == "lost") {
            ok = ParseNumber(value, s.lost);
        } else if (key == "lost-first") {
            s.lostFirst = value;
        } else if (key == "lost-last") {
            s.lostLast = value;
        } else if (key == "condition") {
            const std::size_t tab = value.find('\t');
            s.conditions.emplace_back(
                std::string(value.substr(0, tab)),
                tab == std::string_view::npos ? std::string() : std::string(value.substr(tab + 1)));
        }
        if (!ok) {
            return std::nullopt;
        }
    }
    if (!whole || s.pid <= 0) {
        return std::nullopt;
    }
    return s;
}

std::optional<RunState> Read(const std::string& path)
{
    std::string bytes;
    if (ReadRegularRange(path, 0, RunStateFile::kBytes, bytes) != RegularFile::Status::Open) {
        return std::nullopt;
    }
    return Parse(bytes);
}

} // namespace runstate

bool RunStateFile::open(const std::string& path)
{
    m_last.clear();
    return m_file.open(path, kBytes, kBytes) > 0;
}

bool RunStateFile::write(const RunState& state)
{
    std::string text = runstate::Format(state);
    if (text == m_last) {
        return true;
    }
    // Written over the whole space, so nothing of a longer state before is left behind to
    // be read as part of this one.
    std::string bytes = text;
    bytes.resize(kBytes, ' ');
    if (!m_file.writeAt(0, bytes)) {
        return false;
    }
    m_last = std::move(text);
    return true;
}

} // namespace zlv
