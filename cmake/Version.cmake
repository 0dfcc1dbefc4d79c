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
