# 32-bit Windows (the product's own target), cross-compiled with mingw-w64.
set(OCULO_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
# The module's .def file names its __stdcall entry points undecorated
# (DllGetClassObject, not DllGetClassObject@12), as Windows expects; let the
# linker map them without a warning each.
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Wl,--enable-stdcall-fixup")
string(APPEND CMAKE_MODULE_LINKER_FLAGS_INIT " -Wl,--enable-stdcall-fixup")
