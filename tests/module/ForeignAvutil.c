/* Another application's FFmpeg, as a host process may hold it: a DLL under
 * FFmpeg's standard name (avutil-57.dll) that the host loaded before any
 * camera module. The module must never use it: every function here ends the
 * process with a message saying which one was called. */
#include <stdio.h>
#include <windows.h>

static void *Called(const char *name) {
    fprintf(stderr, "the host's own avutil-57.dll was called (%s): the module must use its own FFmpeg\n", name);
    fflush(stderr);
    ExitProcess(86);
    return NULL;
}

#define FOREIGN(name) __declspec(dllexport) void *name(void) { return Called(#name); }

FOREIGN(avutil_version)
FOREIGN(av_malloc)
FOREIGN(av_mallocz)
FOREIGN(av_free)
FOREIGN(av_freep)
FOREIGN(av_log)
FOREIGN(av_log_set_callback)
FOREIGN(av_dict_set)
FOREIGN(av_dict_free)
FOREIGN(av_frame_alloc)
FOREIGN(av_frame_free)
FOREIGN(av_frame_unref)
FOREIGN(av_image_fill_arrays)
FOREIGN(av_image_get_buffer_size)
FOREIGN(av_opt_get)
FOREIGN(av_strncasecmp)
FOREIGN(av_url_split)
