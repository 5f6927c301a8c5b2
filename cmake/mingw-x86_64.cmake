# Cross-build of the 64-bit twin: the same sources as the shipped 32-bit programs, built
# for x86_64 so that they run under 64-bit Wine (the test machines start no 32-bit code).
# win32 thread model, as for the shipped programs: nothing may pull in winpthread.
set(ZAN_MINGW_ARCH x86_64)
set(ZAN_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine64/wine)
