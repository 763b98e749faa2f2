# Cross toolchain: 32-bit Windows with MinGW-w64 (posix threads), run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KC_MINGW_TRIPLE i686-w64-mingw32)
set(KC_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
