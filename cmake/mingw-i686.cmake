# Cross-build for 32-bit Windows with the win32-thread-model MinGW-w64 compilers.
# The deliverables are built with these: they must not pull in winpthread. Nothing 32-bit
# runs on the machines this is built on, so there is no emulator to name.
set(ZAN_MINGW_ARCH i686)
set(ZAN_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
