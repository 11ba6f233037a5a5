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

# FFmpeg for Windows, built and cached by scripts/build-ffmpeg-windows.sh.
get_filename_component(OCULO_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
if(NOT OCULO_FFMPEG_WINDOWS_DIR)
    # Ask the script where its cache is, so the two never disagree.
    execute_process(COMMAND bash "${OCULO_SOURCE_ROOT}/scripts/build-ffmpeg-windows.sh" --print-dir
                    OUTPUT_VARIABLE _oculo_ffmpeg_root OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(OCULO_FFMPEG_WINDOWS_DIR "${_oculo_ffmpeg_root}/${OCULO_MINGW_ARCH}")
endif()
set(OCULO_FFMPEG_WINDOWS_DIR "${OCULO_FFMPEG_WINDOWS_DIR}" CACHE PATH
    "FFmpeg for this Windows architecture (scripts/build-ffmpeg-windows.sh)")

# Our FFmpeg DLLs carry a name of their own (avformat-oculo-59.dll, ...), and
# so does every import between them: a host process that has loaded another
# FFmpeg under the standard names never mixes the two (scripts/build-ffmpeg-windows.sh).
set(OCULO_FFMPEG_SUFFIX "-oculo")

# find_library (which resolves pkg-config's -l names to files) searches only
# under the root paths; the FFmpeg import libraries live in the cache.
list(APPEND CMAKE_FIND_ROOT_PATH "${OCULO_FFMPEG_WINDOWS_DIR}")

# pugixml for Windows, built and cached by scripts/build-pugixml-windows.sh
# (the camera search reads its answers with it).
if(NOT OCULO_PUGIXML_WINDOWS_DIR)
    execute_process(COMMAND bash "${OCULO_SOURCE_ROOT}/scripts/build-pugixml-windows.sh" --print-dir
                    OUTPUT_VARIABLE _oculo_pugixml_root OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(OCULO_PUGIXML_WINDOWS_DIR "${_oculo_pugixml_root}/${OCULO_MINGW_ARCH}")
endif()
set(OCULO_PUGIXML_WINDOWS_DIR "${OCULO_PUGIXML_WINDOWS_DIR}" CACHE PATH
    "pugixml for this Windows architecture (scripts/build-pugixml-windows.sh)")
list(APPEND CMAKE_FIND_ROOT_PATH "${OCULO_PUGIXML_WINDOWS_DIR}")

# pkg-config sees only the cached Windows FFmpeg, never the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${OCULO_FFMPEG_WINDOWS_DIR}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Programs built here run under Wine, in the prefix the test script makes,
# with FFmpeg's DLLs on the search path.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${OCULO_SOURCE_ROOT}/scripts/wine-run.sh;--dll-dir;${OCULO_FFMPEG_WINDOWS_DIR}/bin;--")
