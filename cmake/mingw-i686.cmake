# 32-bit Windows (i686) with MinGW-w64: the console program's own target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GRIDPORT_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
