# Shared part of the mingw-w64 toolchain files: the caller sets
# QUENBY_MINGW_TRIPLE before including this.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model, whose std::mutex GoogleTest needs; the static link
# below puts winpthread into the executables too.
set(CMAKE_C_COMPILER ${QUENBY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENBY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENBY_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUENBY_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime goes into the executables, so that they run on a bare
# Windows with nothing but the system's own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
