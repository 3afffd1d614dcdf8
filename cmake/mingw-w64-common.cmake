# What both Windows cross builds share, once QW_MINGW_PREFIX names the compiler set:
# Debian's MinGW-w64 with the posix thread model (for std::thread and friends), and the
# C and C++ runtimes linked in statically, so the programs need nothing but the system's
# own DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QW_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QW_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
