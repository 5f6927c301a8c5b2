# Test programs of the 64-bit twin, run by 64-bit Wine on the build machine. GoogleTest
# needs std::mutex, which only the posix-thread-model compilers provide; the tests are
# linked statically so that no winpthread DLL is needed.
set(ZAN_MINGW_ARCH x86_64)
set(ZAN_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
