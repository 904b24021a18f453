# Cross toolchain for 64-bit Windows: Debian's mingw-w64 with the POSIX thread model, tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLEX_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${QUILLEX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLEX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLEX_MINGW_TRIPLE}-windres)

# Only the cross sysroot is searched: the build machine's own headers and
# libraries must never reach the cross compiler.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLEX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime libraries are linked in, so each .exe and .dll runs under wine
# without the cross compiler's DLLs on its path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QUILLEX_WINE NAMES wine64 wine)
if(QUILLEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLEX_WINE})
endif()
