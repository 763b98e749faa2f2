# The part of the MinGW-w64 cross toolchains that does not depend on the target: compilers from
# KC_MINGW_TRIPLE (posix threads), Debian's target root, the dependency prefix, and the emulator
# that CTest runs the test executables with: cmake/run-test around the Wine loader (KC_WINE_LOADER),
# which runs once more a test whose Wine start ended at once with no output.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KC_MINGW_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)
if(NOT KC_DEPS_PREFIX AND DEFINED ENV{KC_DEPS_PREFIX})
  set(KC_DEPS_PREFIX $ENV{KC_DEPS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${KC_MINGW_TRIPLE} ${KC_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-test ${KC_WINE_LOADER})
