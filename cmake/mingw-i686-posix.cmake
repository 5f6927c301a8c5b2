# Test programs for the shipped 32-bit files, run by 32-bit Wine inside the emulated machine
# (nothing 32-bit starts on the build machine itself). posix thread model for GoogleTest's
# std::mutex; the tests are linked statically, so no winpthread DLL is needed.
set(ZAN_MINGW_ARCH i686)
set(ZAN_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
