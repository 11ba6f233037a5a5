#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzRegistry.h"

void FuzzFail(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("fuzz check failed: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
    std::abort();
}

namespace {
std::string g_registryFolder;

void RemoveRegistryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(g_registryFolder, ignored);
}
}  // namespace

const std::string& FuzzRegistryFile() {
    static const std::string file = [] {
        char pattern[] = "/tmp/oculo-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) FuzzFail("cannot make a folder for the registry file");
        g_registryFolder = pattern;
        std::atexit(RemoveRegistryFolder);
        const std::string path = g_registryFolder + "/registry.reg";
        setenv("OCULO_REGISTRY", path.c_str(), 1);
        return path;
    }();
    return file;
}

void FuzzWriteRegistry(const std::string& text) {
    const std::string& file = FuzzRegistryFile();
    const std::string temporary = file + ".new";
    std::ofstream(temporary, std::ios::binary | std::ios::trunc) << text;
    // Dated a few seconds back, and a nanosecond apart from the last one, so
    // the stand-in trusts its cached copy within one input (it re-reads a
    // file written moments ago on every call) yet never takes one input's
    // file for another's.
    static long long s_count = 0;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const long long ns = (now.tv_sec - 10) * 1000000000ll + (++s_count % 1000000000ll);
    const struct timespec times[2] = {{ns / 1000000000ll, ns % 1000000000ll}, {ns / 1000000000ll, ns % 1000000000ll}};
    if (utimensat(AT_FDCWD, temporary.c_str(), times, 0) != 0 || std::rename(temporary.c_str(), file.c_str()) != 0)
        FuzzFail("cannot write the registry file");
}
