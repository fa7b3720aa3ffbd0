# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (POSIX thread
# model, so std::thread and std::mutex work) and runs the results under Wine.
#   cmake --preset mingw    (or -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRINVALE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRINVALE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINVALE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINVALE_MINGW_PREFIX}-windres)
set(CMAKE_AR ${BRINVALE_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${BRINVALE_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${BRINVALE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable is self-contained: no libstdc++-6.dll, libgcc_s_seh-1.dll
# or libwinpthread-1.dll to ship or to find on Wine's PATH.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test executables (gtest_discover_tests, CTest, fuzz replays) run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
