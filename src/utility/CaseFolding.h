#pragma once

namespace zlv {

// Unicode's simple case folding of one code point: the form two letters share when they
// differ only in case (A and a, Σ, σ and ς), one code point for one. Code points without
// a folding, and values that are no code point, come back as they are.
char32_t FoldCase(char32_t c);

} // namespace zlv
