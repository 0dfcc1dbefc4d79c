# The one place the version is decided: project(VERSION) in the top CMakeLists.txt.
# "2.0.15" is shown, and compared with the maker's version file, as version "2.0" and build
# "015"; the packages and the AppStream metadata carry it whole.
set(ZLV_PROGRAM_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
set(ZLV_BUILD_NUMBER "${PROJECT_VERSION_PATCH}")
string(LENGTH "${ZLV_BUILD_NUMBER}" zlv_digits)
while(zlv_digits LESS 3)
  string(PREPEND ZLV_BUILD_NUMBER "0")
  math(EXPR zlv_digits "${zlv_digits} + 1")
endwhile()

# The release notes (data/changelog, newest first) are history, not a second place to set the
# version: their newest entry must be the release being built, or the package and the
# AppStream metadata would describe another one.
file(STRINGS ${PROJECT_SOURCE_DIR}/data/changelog zlv_newest_entry LIMIT_COUNT 1
     REGEX "^[a-z0-9.+-]+ \\(")
if(NOT zlv_newest_entry MATCHES "^[a-z0-9.+-]+ \\(([^)-]+)(-[^)]*)?\\)")
  message(FATAL_ERROR "data/changelog: no entry to read a version from")
elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "data/changelog's newest entry is ${CMAKE_MATCH_1}, project(VERSION) is "
                      "${PROJECT_VERSION}: add the release's entry at the top of data/changelog")
endif()
