#pragma once

#include "logstore/DataFolder.h"

#include <algorithm>
#include <string>
#include <vector>

namespace zlv::bench {

// The year the list, find and print benchmarks all read, so their figures compare.
inline constexpr int kYearDays = 365;
inline constexpr long kYearRecords = 1000000;
inline const Date kYearFirstDay{2023, 1, 1};

// A year of plausible records (files and folders created, deleted and renamed in a few
// thousand project folders, in time order within each day), one day file a day. Each file
// is synced before the call returns, so the first timed read does not race the write-back.
// The day files' paths, oldest first; the process ends with a message when a write fails.
std::vector<std::string> WriteYearOfRecords(const DataFolder& folder);

// `count` records of the same kind in one day file, in time order, written a piece at a
// time (not synced).
void WriteDayOfRecords(const std::string& path, const Date& day, long count);

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace zlv::bench
