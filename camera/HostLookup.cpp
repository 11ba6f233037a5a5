#include "camera/HostLookup.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "camera/FFmpeg.h"
#include "platform/Handle.h"

namespace {

constexpr DWORD kLookupPollMs = 10;
constexpr size_t kHostChars = 256;

bool SystemResolver(const char* host, HostAddresses* found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || !list) return false;
    for (const addrinfo* a = list; a && found->count < kMaxHostAddresses; a = a->ai_next) {
        char* numeric = found->numeric[found->count];
        if (getnameinfo(a->ai_addr, socklen_t(a->ai_addrlen), numeric, socklen_t(kNumericHostChars), nullptr,
                        0, NI_NUMERICHOST) != 0) {
            continue;
        }
        if (std::strchr(numeric, '%')) continue;  // a scoped address does not fit in a URL as it is
        bool seen = false;
        for (int i = 0; i < found->count; ++i) seen = seen || std::strcmp(found->numeric[i], numeric) == 0;
        if (!seen) ++found->count;
    }
    freeaddrinfo(list);
    return found->count > 0;
}

// A plain pointer, trivially destructible: a late lookup thread may read it
// while the process exits.
std::atomic<HostResolver> g_resolver{SystemResolver};

// Shared by the waiting reader and the lookup thread; the last one to let go
// frees it.
struct LookupState {
    std::atomic<LONG> references{2};
    CHandle done;              // manual reset; set when the result is written
    HMODULE module = nullptr;  // the lookup thread's reference on this module
    char host[kHostChars] = {};
    HostAddresses found;
    bool bFound = false;
};

void Release(LookupState* state) {
    if (--state->references == 0) {
        delete state;
    }
}

DWORD WINAPI LookupThreadProc(LPVOID parameter) {
    LookupState* state = static_cast<LookupState*>(parameter);
    const HMODULE module = state->module;
    // Keeps the platform's sockets usable even when every reader is gone.
    avformat_network_init();
    state->bFound = g_resolver.load()(state->host, &state->found);
    avformat_network_deinit();
    SetEvent(state->done.Get());
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

HostLookup LookUpHost(const char* host, HostAddresses* found, bool (*keepWaiting)(void*), void* context) {
    LookupState* state = new (std::nothrow) LookupState;
    if (!state) return HostLookup::Unknown;
    if (std::snprintf(state->host, sizeof(state->host), "%s", host) >= int(sizeof(state->host))) {
        delete state;
        return HostLookup::Unknown;
    }
    state->done.Attach(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!state->done || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                            reinterpret_cast<LPCWSTR>(&LookupThreadProc), &state->module)) {
        delete state;
        return HostLookup::Unknown;
    }
    const CHandle thread(CreateThread(nullptr, 0, LookupThreadProc, state, 0, nullptr));
    if (!thread) {
        FreeLibrary(state->module);
        delete state;
        return HostLookup::Unknown;
    }

    HostLookup result = HostLookup::Abandoned;
    for (;;) {
        if (WaitForSingleObject(state->done.Get(), kLookupPollMs) == WAIT_OBJECT_0) {
            const HostAddresses& answer = state->found;
            const bool usable = state->bFound && answer.count > 0 && answer.count <= kMaxHostAddresses;
            if (usable) {
                *found = answer;
                for (auto& numeric : found->numeric) numeric[kNumericHostChars - 1] = 0;
            }
            result = usable ? HostLookup::Found : HostLookup::Unknown;
            break;
        }
        if (!keepWaiting(context)) break;
    }
    Release(state);
    return result;
}
