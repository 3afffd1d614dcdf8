# Cross build for 32-bit Windows (x86) with Debian's i686 MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QW_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
