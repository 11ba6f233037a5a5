// Task memory, aligned blocks, page allocation and the system description.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/posix/com.h"

namespace {

// Regions start on this boundary, as Windows' allocation granularity.
constexpr SIZE_T kGranularity = 64 * 1024;

SIZE_T PageSize() { return static_cast<SIZE_T>(sysconf(_SC_PAGESIZE)); }

// Regions handed out by VirtualAlloc, base to size, so that a release needs
// no size. Guarded by g_regionLock.
std::mutex g_regionLock;
std::map<uintptr_t, SIZE_T>& Regions() {
    static auto* regions = new std::map<uintptr_t, SIZE_T>();
    return *regions;
}

int Protection(DWORD protect) {
    switch (protect) {
    case PAGE_NOACCESS: return PROT_NONE;
    case PAGE_READONLY: return PROT_READ;
    case PAGE_READWRITE: return PROT_READ | PROT_WRITE;
    default: return -1;
    }
}

// Maps size bytes starting on a granularity boundary; null when refused.
void* MapAligned(SIZE_T size, int protection) {
    SIZE_T span = size + kGranularity;
    void* raw = mmap(nullptr, span, protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t base = (start + kGranularity - 1) & ~(kGranularity - 1);
    if (base > start) munmap(raw, base - start);
    uintptr_t end = start + span;
    if (end > base + size) munmap(reinterpret_cast<void*>(base + size), end - (base + size));
    return reinterpret_cast<void*>(base);
}

LPVOID NewRegion(SIZE_T size, DWORD allocationType, int protection) {
    if (size > (~static_cast<SIZE_T>(0) >> 1)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    SIZE_T rounded = (size + PageSize() - 1) & ~(PageSize() - 1);
    // Reserved but uncommitted pages are not accessible.
    void* base = MapAligned(rounded, (allocationType & MEM_COMMIT) ? protection : PROT_NONE);
    if (!base) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    try {
        std::lock_guard<std::mutex> hold(g_regionLock);
        Regions()[reinterpret_cast<uintptr_t>(base)] = rounded;
    } catch (...) {
        munmap(base, rounded);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return base;
}

}  // namespace

WINOLEAPI_(LPVOID) CoTaskMemAlloc(SIZE_T size) { return std::malloc(size ? size : 1); }

WINOLEAPI_(void) CoTaskMemFree(LPVOID block) { std::free(block); }

extern "C" OCULO_PLATFORM_API void* _aligned_malloc(size_t size, size_t alignment) {
    if (alignment == 0 || (alignment & (alignment - 1)) != 0) return nullptr;
    if (alignment < sizeof(void*)) alignment = sizeof(void*);
    void* block = nullptr;
    return posix_memalign(&block, alignment, size ? size : 1) == 0 ? block : nullptr;
}

extern "C" OCULO_PLATFORM_API void _aligned_free(void* block) { std::free(block); }

WINBASEAPI LPVOID WINAPI VirtualAlloc(LPVOID address, SIZE_T size, DWORD allocationType, DWORD protect) {
    int protection = Protection(protect);
    if (size == 0 || protection < 0 || (allocationType & (MEM_COMMIT | MEM_RESERVE)) == 0 ||
        (allocationType & ~(MEM_COMMIT | MEM_RESERVE)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Regions are always placed by the system; committing parts of a reserved
    // region later is not something this system does.
    if (address != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return NewRegion(size, allocationType, protection);
}

WINBASEAPI BOOL WINAPI VirtualFree(LPVOID address, SIZE_T size, DWORD freeType) {
    std::lock_guard<std::mutex> hold(g_regionLock);
    auto found = Regions().find(reinterpret_cast<uintptr_t>(address));
    if (freeType == MEM_RELEASE && size == 0 && found != Regions().end()) {
        munmap(address, found->second);
        Regions().erase(found);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

WINBASEAPI void WINAPI GetSystemInfo(LPSYSTEM_INFO info) {
    std::memset(info, 0, sizeof(*info));
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    info->wProcessorArchitecture = sizeof(void*) == 8 ? 9 /* AMD64 */ : 0 /* INTEL */;
    info->dwPageSize = static_cast<DWORD>(PageSize());
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(kGranularity);
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(~static_cast<uintptr_t>(0) >> 1);
    info->dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
    info->dwActiveProcessorMask = info->dwNumberOfProcessors >= sizeof(DWORD_PTR) * 8
                                      ? ~static_cast<DWORD_PTR>(0)
                                      : (static_cast<DWORD_PTR>(1) << info->dwNumberOfProcessors) - 1;
    info->dwAllocationGranularity = static_cast<DWORD>(kGranularity);
}
