# Shared part of the cross builds for other Linux hosts, run under qemu's user
# mode: the including file sets CMAKE_SYSTEM_PROCESSOR, GRIDPORT_CROSS_TRIPLE
# (the Debian cross compiler's prefix) and GRIDPORT_QEMU (the emulator).
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${GRIDPORT_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${GRIDPORT_CROSS_TRIPLE}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${GRIDPORT_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest, the test discovery and the build-time generators run the programs
# through the emulator, which finds the target's C library under -L.
set(CMAKE_CROSSCOMPILING_EMULATOR ${GRIDPORT_QEMU} -L /usr/${GRIDPORT_CROSS_TRIPLE})
