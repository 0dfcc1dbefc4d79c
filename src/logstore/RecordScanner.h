#pragma once

#include <cstddef>
#include <string_view>

namespace zlv::dayfile {

// Cuts stored lines apart exactly as NextLine() does and tells which of them
// RecordTextOfLine() takes for records, reading each line's bytes once: printing a year
// goes through a million lines, and cutting one, counting its tabs and parsing its stamp
// in turn read it three times over.
class RecordScanner final
{
public:
    // The next line of `bytes`, taken off their front, without its line end; whether it
    // is a record.
    bool next(std::string_view& bytes, std::string_view& line);

private:
    bool stampValid(const char* stamp);

    // "YYYY-MM-DD HH:" of the last stamp found valid: the lines of one hour (most of a
    // file, in order) need only their minutes and seconds looked at.
    char m_hour[14] = {};
    bool m_haveHour = false;
};

} // namespace zlv::dayfile
