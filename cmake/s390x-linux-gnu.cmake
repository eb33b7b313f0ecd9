# s390x Linux (big-endian, 64-bit) with Debian's cross compiler, run under
# qemu-s390x: every file format is little-endian, so this host shows that
# the code decodes by shifts and not in host order.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(GRIDPORT_CROSS_TRIPLE s390x-linux-gnu)
set(GRIDPORT_QEMU qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
