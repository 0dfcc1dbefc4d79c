#pragma once

namespace zlv {

// The version the program reports in its status bar and About box, and the one the version
// check compares with the maker's version file.
inline constexpr char kProgramVersion[] = "2.0";
inline constexpr char kBuildNumber[] = "015";

} // namespace zlv
