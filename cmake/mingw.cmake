# Cross-build for 64-bit Windows with mingw-w64 (the posix thread model, for
# std::thread and std::mutex), linked statically so that a program runs on a
# bare Windows machine and under wine without the toolchain's DLLs. Tests run
# through wine: ctest and gtest_discover_tests start every Windows program
# with CMAKE_CROSSCOMPILING_EMULATOR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# C is compiled by clang: the only C sources are the RPC stubs that widl
# generates and the calls that wrap them, and they need the structured
# exception handling (__try/__except) that gcc lacks on this target.
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_C_COMPILER_TARGET x86_64-w64-mingw32)
set(CMAKE_C_FLAGS_INIT "-fms-extensions")
# clang only compiles: every program links with g++ (C++ is each one's link
# language), so clang's own link, which does not find gcc's libraries, is
# never needed.
set(CMAKE_C_COMPILER_WORKS TRUE)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The interface compiler for the RPC stubs.
find_program(VEX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)

find_program(VEX_WINE NAMES wine64 wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VEX_WINE})
