#pragma once

#include <string>

// Whether memory goes back after the user's files come and go: the real program over a
// home holding a tree of 50,000 files, which is deleted and made again four times; its
// resident size then, over that of a fresh start on the same day (same home, same day file).
namespace zlv::bench {

struct ChurnFigures
{
    double rssAfterChurnMb = 0;
    double rssFreshMb = 0;
    double ratio = 0; // 0 when it could not be measured
    std::string problem;
};

// `program` is the zelvory binary; everything happens below `root`.
ChurnFigures MeasureChurn(const std::string& program, const std::string& root);

} // namespace zlv::bench
