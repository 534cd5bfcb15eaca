# Cross-compiles for Windows with MinGW-w64's posix-thread compilers. Included by the
# per-architecture toolchain files, which set VELVOR_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELVOR_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELVOR_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELVOR_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELVOR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
