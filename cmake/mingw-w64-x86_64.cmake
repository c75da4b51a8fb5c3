# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the -posix thread model, which
# std::thread and std::mutex need):
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DQBANK_BUILD_GUI=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QBANK_MINGW_TRIPLE x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${QBANK_MINGW_TRIPLE}-gcc-posix ${QBANK_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QBANK_MINGW_TRIPLE}-g++-posix ${QBANK_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QBANK_MINGW_TRIPLE}-windres)

# Libraries and headers come from the cross sysroot (and from prefixes given with
# CMAKE_PREFIX_PATH, such as a cross-built GoogleTest); programs from the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${QBANK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libstdc++/libgcc/winpthread DLLs to copy beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests found by gtest_discover_tests and run by ctest go through Wine.
find_program(QBANK_WINE NAMES wine wine64)
if(QBANK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QBANK_WINE})
endif()
