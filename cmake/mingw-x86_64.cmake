# Cross toolchain: 64-bit Windows, for hosts whose kernel runs no 32-bit code (the tests and the
# demo run from this build under wine64; the deliverables stay the i686 build's).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KC_MINGW_TRIPLE x86_64-w64-mingw32)
# The 64-bit loader itself: Debian's "wine" starts the 32-bit one first when it is installed.
set(KC_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
