#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

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
