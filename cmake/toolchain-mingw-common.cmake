# Shared part of the mingw-w64 toolchains; the per-architecture files set
# OCULO_MINGW_ARCH (i686 or x86_64) and include this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OCULO_MINGW_ARCH})

set(OCULO_MINGW_TRIPLET ${OCULO_MINGW_ARCH}-w64-mingw32)
# The -posix compilers: the win32 thread model has no std::thread/std::mutex.
set(CMAKE_C_COMPILER ${OCULO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OCULO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OCULO_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${OCULO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${OCULO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${OCULO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: nothing we ship may need libgcc, libstdc++ or winpthread
# DLLs (regsvr32 would fail to load the module).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Libraries for Windows that a script builds from Debian's sources and
# caches: VAR is the script's cache folder (its --print-dir, asked so that the
# two never disagree) for this architecture, and find_library searches it.
get_filename_component(OCULO_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
macro(oculo_windows_cache var script what)
    if(NOT ${var})
        execute_process(COMMAND bash "${OCULO_SOURCE_ROOT}/scripts/${script}" --print-dir
                        OUTPUT_VARIABLE _oculo_cache_root OUTPUT_STRIP_TRAILING_WHITESPACE)
        set(${var} "${_oculo_cache_root}/${OCULO_MINGW_ARCH}")
    endif()
    set(${var} "${${var}}" CACHE PATH "${what} for this Windows architecture (scripts/${script})")
    list(APPEND CMAKE_FIND_ROOT_PATH "${${var}}")
endmacro()
# FFmpeg, and pugixml (the camera search reads its answers with it).
oculo_windows_cache(OCULO_FFMPEG_WINDOWS_DIR build-ffmpeg-windows.sh FFmpeg)
oculo_windows_cache(OCULO_PUGIXML_WINDOWS_DIR build-pugixml-windows.sh pugixml)

# Our FFmpeg DLLs carry a name of their own (avformat-oculo-59.dll, ...), and
# so does every import between them: a host process that has loaded another
# FFmpeg under the standard names never mixes the two (scripts/build-ffmpeg-windows.sh).
set(OCULO_FFMPEG_SUFFIX "-oculo")

# pkg-config sees only the cached Windows FFmpeg, never the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${OCULO_FFMPEG_WINDOWS_DIR}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Programs built here run under Wine, in the prefix the test script makes,
# with FFmpeg's DLLs on the search path.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${OCULO_SOURCE_ROOT}/scripts/wine-run.sh;--dll-dir;${OCULO_FFMPEG_WINDOWS_DIR}/bin;--")
