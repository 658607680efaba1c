# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads variant,
# so std::thread works), statically linked so the executables need no DLLs
# beyond the system's. Used by scripts/build-windows.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KR35_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KR35_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KR35_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KR35_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KR35_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -O2 as in the Linux builds: GCC 12 reports false array-bounds warnings at -O3.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "C++ flags of release builds")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "C flags of release builds")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The test executables cannot run on the build machine: list their tests when
# they run (under Wine), not after linking.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# GoogleTest from Debian's sources, the header-only libraries from the host,
# and the resource compiler, set up right after project().
set(CMAKE_PROJECT_kr35_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/mingw/dependencies.cmake)
