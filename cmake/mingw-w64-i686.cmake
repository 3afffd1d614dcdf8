# Cross build for 32-bit Windows (x86) with Debian's i686 MinGW-w64, posix thread model.
# Everything else as for 64-bit (mingw-w64.cmake): static runtimes, no DLL of ours.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QW_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
