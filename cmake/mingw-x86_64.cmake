# 64-bit Windows: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake (see scripts/windows.sh).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(PULSIERO_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
