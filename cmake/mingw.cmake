# Cross-building the Windows programs with Debian's mingw-w64 (posix threads: std::thread and
# std::mutex work). Included by the two toolchain files, which set PULSIERO_MINGW to the target
# triple. The executables link everything statically and import only the system's DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PULSIERO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PULSIERO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PULSIERO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PULSIERO_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The released programs without the symbols and debug sections of the static libraries.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")
