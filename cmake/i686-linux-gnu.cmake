# 32-bit x86 Linux with Debian's cross compiler, run under qemu-i386: a
# 32-bit size_t, as in the 32-bit Windows build, on a machine whose kernel
# won't run 32-bit programs itself.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GRIDPORT_CROSS_TRIPLE i686-linux-gnu)
set(GRIDPORT_QEMU qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
