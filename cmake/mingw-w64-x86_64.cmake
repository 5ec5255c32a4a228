# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers (the
# posix-threads variant, package g++-mingw-w64-x86-64-posix). The programs
# built here run on Linux under Wine, through scripts/run_under_wine.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZAND_STL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZAND_STL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAND_STL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAND_STL_MINGW_TRIPLE}-windres)

# Headers and libraries come from the MinGW sysroot only; programs (the
# build tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZAND_STL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest and test discovery run every Windows program through Wine, in a
# prefix of its own inside the build tree.
get_filename_component(ZAND_STL_WINE_WRAPPER
  "${CMAKE_CURRENT_LIST_DIR}/../scripts/run_under_wine.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
  "${ZAND_STL_WINE_WRAPPER};${CMAKE_BINARY_DIR}/wineprefix")
