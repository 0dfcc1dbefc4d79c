# cmake -DZLV_SOURCE_ROOT=<src> -P LayerCheck.cmake
#
# Fails when a file in one layer of src/ includes a header of a layer above it. The layers,
# bottom up, are the order below; a file belongs to the layer of its top folder under src/
# (so src/capture/linux/ is capture). A lower layer that needs to reach up takes a callback
# or a small interface instead.
set(zlv_layers utility settings logstore capture browse mainwindow app)

if(NOT ZLV_SOURCE_ROOT OR NOT IS_DIRECTORY "${ZLV_SOURCE_ROOT}")
  message(FATAL_ERROR "LayerCheck: ZLV_SOURCE_ROOT names no folder: '${ZLV_SOURCE_ROOT}'")
endif()

set(zlv_upward 0)
set(zlv_scanned 0)
foreach(zlv_layer IN LISTS zlv_layers)
  list(FIND zlv_layers ${zlv_layer} zlv_level)
  file(GLOB_RECURSE zlv_files "${ZLV_SOURCE_ROOT}/${zlv_layer}/*")
  foreach(zlv_file IN LISTS zlv_files)
    if(NOT zlv_file MATCHES "\\.(h|hpp|cpp|inc|in)$")
      continue()
    endif()
    math(EXPR zlv_scanned "${zlv_scanned} + 1")
    file(STRINGS "${zlv_file}" zlv_lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(zlv_line IN LISTS zlv_lines)
      if(NOT zlv_line MATCHES "include[ \t]*[\"<](\\.\\./)*([A-Za-z_]+)/")
        continue()
      endif()
      list(FIND zlv_layers "${CMAKE_MATCH_2}" zlv_target)
      if(zlv_target GREATER zlv_level)
        file(RELATIVE_PATH zlv_shown "${ZLV_SOURCE_ROOT}" "${zlv_file}")
        string(STRIP "${zlv_line}" zlv_line)
        message("${zlv_shown}: ${zlv_layer} reaches up to ${CMAKE_MATCH_2}: ${zlv_line}")
        math(EXPR zlv_upward "${zlv_upward} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()

if(zlv_scanned EQUAL 0)
  message(FATAL_ERROR "LayerCheck: no source files under ${ZLV_SOURCE_ROOT}")
endif()
if(zlv_upward GREATER 0)
  message(FATAL_ERROR "${zlv_upward} upward include(s); the layers bottom up: ${zlv_layers}")
endif()
message(STATUS "${zlv_scanned} files, every include goes down the layers")
