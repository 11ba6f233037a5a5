#include "camera/HostLookup.h"

#include <atomic>
#include <cstdio>
#include <new>

#include "camera/FFmpeg.h"

namespace {

constexpr DWORD kLookupPollMs = 10;
constexpr size_t kHostChars = 256;
constexpr size_t kNumericChars = 64;

bool SystemResolver(const char* host, char* numeric, size_t size) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return false;
    const addrinfo* chosen = found;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            chosen = a;
            break;
        }
    }
    const bool ok = getnameinfo(chosen->ai_addr, socklen_t(chosen->ai_addrlen), numeric, socklen_t(size), nullptr,
                                0, NI_NUMERICHOST) == 0;
    freeaddrinfo(found);
    return ok && !std::strchr(numeric, '%');  // a scoped address does not fit in a URL as it is
}

// A plain pointer, trivially destructible: a late lookup thread may read it
// while the process exits.
std::atomic<HostResolver> g_resolver{SystemResolver};

// Shared by the waiting reader and the lookup thread; the last one to let go
// frees it.
struct LookupState {
    std::atomic<LONG> references{2};
    HANDLE done = nullptr;    // manual reset; set when the result is written
    HMODULE module = nullptr;  // the lookup thread's reference on this module
    char host[kHostChars] = {};
    char numeric[kNumericChars] = {};
    bool bFound = false;
};

void Release(LookupState* state) {
    if (--state->references == 0) {
        CloseHandle(state->done);
        delete state;
    }
}

DWORD WINAPI LookupThreadProc(LPVOID parameter) {
    LookupState* state = static_cast<LookupState*>(parameter);
    const HMODULE module = state->module;
    // Keeps the platform's sockets usable even when every reader is gone.
    avformat_network_init();
    state->bFound = g_resolver.load()(state->host, state->numeric, sizeof(state->numeric));
    avformat_network_deinit();
    SetEvent(state->done);
    Release(state);
    // The host may have released everything else of ours meanwhile: end
    // without returning into this module's code.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

void SetHostResolver(HostResolver resolver) {
    g_resolver = resolver ? resolver : SystemResolver;
}

bool IsNumericHost(const char* host) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0) return false;
    freeaddrinfo(found);
    return true;
}

HostLookup LookUpHost(const char* host, char* numeric, size_t size, bool (*keepWaiting)(void*), void* context) {
    LookupState* state = new (std::nothrow) LookupState;
    if (!state) return HostLookup::Unknown;
    if (std::snprintf(state->host, sizeof(state->host), "%s", host) >= int(sizeof(state->host))) {
        delete state;
        return HostLookup::Unknown;
    }
    state->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state->done || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                            reinterpret_cast<LPCWSTR>(&LookupThreadProc), &state->module)) {
        if (state->done) CloseHandle(state->done);
        delete state;
        return HostLookup::Unknown;
    }
    const HANDLE thread = CreateThread(nullptr, 0, LookupThreadProc, state, 0, nullptr);
    if (!thread) {
        FreeLibrary(state->module);
        CloseHandle(state->done);
        delete state;
        return HostLookup::Unknown;
    }
    CloseHandle(thread);

    HostLookup result = HostLookup::Abandoned;
    for (;;) {
        if (WaitForSingleObject(state->done, kLookupPollMs) == WAIT_OBJECT_0) {
            const bool fits = state->bFound && std::snprintf(numeric, size, "%s", state->numeric) < int(size);
            result = fits ? HostLookup::Found : HostLookup::Unknown;
            break;
        }
        if (!keepWaiting(context)) break;
    }
    Release(state);
    return result;
}
