# 32-bit Windows: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake (see scripts/windows.sh).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PULSIERO_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
