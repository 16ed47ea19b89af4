# Cross build of the Windows executables with Debian's MinGW-w64 (the posix thread model, for
# std::thread). The runtime is linked in, so one .exe runs on a clean Windows with no extra DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RUVEVID_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${RUVEVID_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RUVEVID_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RUVEVID_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${RUVEVID_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Compiled only: this machine's kernel runs no 32-bit program and Debian 12 has no wine32.
# Link zlib (the tests compare with it) into the executables too.
set(ZLIB_USE_STATIC_LIBS ON)
