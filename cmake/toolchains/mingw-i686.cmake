# 32-bit Windows, built with mingw-w64 (see mingw-posix.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAVRIN_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-posix.cmake)
