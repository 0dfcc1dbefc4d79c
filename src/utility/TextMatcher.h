#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zlv {

// Finds a text inside others with letter case ignored as Unicode folds case, one code
// point for one: "élan" finds "Élan.txt", "straße" finds "STRAßE" (but not "STRASSE").
// The lists' find and the terminal's --find both search with it, so that they agree.
//
// Texts are UTF-8; a byte that is not part of well-formed UTF-8 stands for the Latin-1
// character of its value. A needle that folds to plain ASCII is searched for byte by byte
// (with memchr on its rarest letter); only a haystack that holds other bytes is decoded,
// and only where it can matter.
class TextMatcher final
{
public:
    explicit TextMatcher(std::string_view needle);

    bool empty() const { return m_codes.empty(); }
    // A needle holding a tab or a line break matches nothing: no field holds one, and a
    // match must never reach from one field into the next.
    bool impossible() const { return m_impossible; }
    // The needle folds to plain ASCII.
    bool ascii() const { return m_ascii; }
    // The needle folded, as UTF-8.
    const std::string& folded() const { return m_folded; }

    // The byte offset in `haystack` at which the first match starts; npos when none does.
    // An empty needle matches at 0.
    std::size_t find(std::string_view haystack) const;
    bool foundIn(std::string_view haystack) const
    {
        return find(haystack) != std::string_view::npos;
    }

    // For a search over many lines at once: the first offset at or after `from` in `text`
    // whose line (the bytes between two line breaks) may hold a match, npos when no line
    // after `from` can. Every line that holds a match holds such an offset, so a caller
    // checks only those lines with find() and skips the rest unread. Any offset, for an
    // empty needle.
    std::size_t nextCandidate(std::string_view text, std::size_t from) const;

private:
    std::size_t findBytes(std::string_view haystack) const;
    std::size_t findFolded(std::string_view haystack) const;

    std::string m_folded;
    std::u32string m_codes; // the needle folded, one code point each
    bool m_ascii = true;
    bool m_impossible = false;
    bool m_foldedIntoByWide = false; // holds a letter that a non-ASCII letter folds to
    std::size_t m_anchor = 0;        // the needle's rarest byte, searched for first
};

} // namespace zlv
