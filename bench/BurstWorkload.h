#pragma once

#include <string>

// The burst the capture benchmarks run, in a fresh folder. Every operation leaves something
// behind, so that its net effect is a record: 10,000 files created, 10,000 files made
// beforehand renamed, 10,000 others made beforehand deleted, then 50 trees tJ/a/b made at
// once from 50 threads with 20 files written into each b. In kernel events as inotifywait
// prints them that is 10,000 + 2 x 10,000 + 10,000 + 50 x 23 = 41,150; Zelvory writes one
// line per rename where the kernel has two halves, so 31,150 lines make the 41,150
// operations.
namespace zlv::bench {

inline constexpr int kBurstFiles = 10000;
inline constexpr int kBurstTrees = 50;
inline constexpr int kBurstTreeFiles = 20;
inline constexpr int kBurstOperations = kBurstFiles * 4 + kBurstTrees * (3 + kBurstTreeFiles);
inline constexpr int kBurstLines = kBurstFiles * 3 + kBurstTrees * (3 + kBurstTreeFiles);

void CreateEmptyFile(const std::string& path);
// dir/<prefix><i, five digits>
std::string NumberedPath(const std::string& dir, const char* prefix, int i);

// The files the burst renames and deletes; made before anything watches `dir`.
void PrepareBurst(const std::string& dir);
// Every name is distinct, so the 5-second repeat test never drops a line of it, and no
// item is touched twice, so none is folded into another's net effect.
void RunBurst(const std::string& dir);

} // namespace zlv::bench
