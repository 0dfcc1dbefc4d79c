#include "utility/CaseFolding.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace zlv {

namespace {

struct FoldRun
{
    std::uint32_t first;
    std::uint32_t last;
    std::int32_t delta;
    std::uint32_t stride;
};

constexpr FoldRun kRuns[] = {
#include "utility/CaseFoldingTable.inc"
};

} // namespace

char32_t FoldCase(char32_t c)
{
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    }
    const auto* run = std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                                       [](char32_t v, const FoldRun& r) { return v < r.first; });
    if (run == std::begin(kRuns)) {
        return c;
    }
    --run;
    if (c > run->last || (c - run->first) % run->stride != 0) {
        return c;
    }
    return static_cast<char32_t>(static_cast<std::int64_t>(c) + run->delta);
}

} // namespace zlv
