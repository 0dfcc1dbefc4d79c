#include "logstore/GapMarks.h"

#include "logstore/DataFolder.h"
#include "logstore/GapFile.h"
#include "utility/FileSystem.h"

#include <algorithm>

namespace zlv::gapmarks {

std::vector<std::string> CollectStamps(const DataFolder& folder, Date from, Date to)
{
    std::vector<std::string> stamps;
    if (!from.isValid() || !to.isValid()) {
        return stamps;
    }
    for (Date day = from; day <= to;) {
        if (!fs::DirectoryExists(folder.monthFolder(day))) {
            day = day.month == 12 ? Date{day.year + 1, 1, 1} : Date{day.year, day.month + 1, 1};
            continue;
        }
        for (GapRecord& gap : gapfile::ReadFile(folder.gapFilePath(day))) {
            stamps.push_back(std::move(gap.stamp));
        }
        day = day.addDays(1);
    }
    std::sort(stamps.begin(), stamps.end());
    return stamps;
}

bool Between(const std::vector<std::string>& gaps, std::string_view above, std::string_view below,
             bool newestFirst)
{
    // Stamps compare in time order as text. The older neighbour is at or before the gap,
    // the newer one after it; a missing neighbour is the list's open end.
    const std::string_view older = newestFirst ? below : above;
    const std::string_view newer = newestFirst ? above : below;
    auto first = older.empty() ? gaps.begin() : std::lower_bound(gaps.begin(), gaps.end(), older);
    return first != gaps.end() && (newer.empty() || *first < newer);
}

} // namespace zlv::gapmarks
