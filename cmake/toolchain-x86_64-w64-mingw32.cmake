# 64-bit Windows, cross-compiled with mingw-w64.
set(OCULO_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
