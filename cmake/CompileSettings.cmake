# Every target links zlv_compile_settings, so the language level, the warnings and the Qt
# defines are decided in exactly one place.
add_library(zlv_compile_settings INTERFACE)
target_compile_features(zlv_compile_settings INTERFACE cxx_std_20)
target_compile_options(zlv_compile_settings INTERFACE -Wall -Wextra -Wpedantic
  # A name that hides another, a C cast that could do what static_cast would refuse, an
  # overload that hides a base's virtual, a polymorphic class deleted through its base:
  # each has been a real fault somewhere, and each is cheap to keep out.
  $<$<COMPILE_LANGUAGE:CXX>:-Wshadow -Wold-style-cast -Woverloaded-virtual -Wnon-virtual-dtor>)
if(ZLV_WERROR)
  target_compile_options(zlv_compile_settings INTERFACE -Werror)
endif()
if(ZLV_SANITIZE)
  target_compile_options(zlv_compile_settings INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(zlv_compile_settings INTERFACE -fsanitize=address,undefined)
endif()
if(ZLV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZLV_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Everything is instrumented for coverage and checked for memory errors; only the fuzz
  # targets themselves link libFuzzer's main.
  target_compile_options(zlv_compile_settings INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(zlv_compile_settings INTERFACE -fsanitize=address,undefined)
endif()
target_compile_definitions(zlv_compile_settings INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_KEYWORDS)
if(WIN32)
  # The Windows build talks to the ANSI forms of the shell API on purpose.
  target_compile_definitions(zlv_compile_settings INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
if(UNIX AND NOT APPLE)
  # Debian's hardening for the optimised builds a package is made from (what dpkg-buildflags
  # gives every package): stack protector, checked string and memory functions, and a
  # read-only relocation table bound at start.
  set(zlv_optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  target_compile_options(zlv_compile_settings INTERFACE
    $<${zlv_optimised}:-fstack-protector-strong>)
  target_compile_definitions(zlv_compile_settings INTERFACE
    $<${zlv_optimised}:_FORTIFY_SOURCE=2>)
  target_link_options(zlv_compile_settings INTERFACE
    $<${zlv_optimised}:LINKER:-z,relro,-z,now>)
endif()
