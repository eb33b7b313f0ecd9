# Shared part of the MinGW-w64 toolchains: the including file sets
# GRIDPORT_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The POSIX thread model's compilers: the Win32 model's runtime of GCC 12 has
# no std::thread or std::mutex, which gridport-batch's workers need. Both
# come with Debian's g++-mingw-w64 packages.
set(CMAKE_C_COMPILER ${GRIDPORT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GRIDPORT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${GRIDPORT_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${GRIDPORT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes go into the executable, so that it runs alone.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release executable is what people download and run: without its symbol
# tables it is well under half the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
