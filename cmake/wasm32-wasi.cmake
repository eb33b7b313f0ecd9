# WebAssembly (wasm32-wasi) with Debian's clang-14, lld-14, wasi-libc and the
# wasm32 builds of libc++ and libc++abi. The programs run under any WASI host:
# Node's node:wasi, or the browser shim the web page uses.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(GRIDPORT_WASI_TRIPLE wasm32-wasi)

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET ${GRIDPORT_WASI_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${GRIDPORT_WASI_TRIPLE})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
# CMake's compiler checks would link a test program before the project adds
# the exception stand-ins that every link here needs; a static library check
# needs no link.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# What the page loads: without the name and debug sections a release program
# is about a sixth of the size.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-Wl,--strip-all")
