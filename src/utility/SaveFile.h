#pragma once

#include <string>
#include <string_view>

namespace zlv {

// Replaces the whole file at `path` with `bytes`: a reader sees the old file or the new
// one, never a part of either, and the new file is readable by its owner only. True when
// the new file is in place. Each front end brings its own (the platform does this best).
bool SaveWholeFile(const std::string& path, std::string_view bytes);

} // namespace zlv
