# 32-bit Windows (the product's own target), cross-compiled with mingw-w64.
set(OCULO_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
