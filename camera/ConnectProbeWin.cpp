#include "camera/ConnectProbe.h"

#include <cstdio>

#include "camera/ExtendedTickCount.h"

namespace {

constexpr long kSliceMs = 20;

// How the non-blocking connect on `s` ends.
ConnectProbe WaitForConnect(SOCKET s, bool (*keepWaiting)(void*), void* context) {
    const uint64_t limit = ExtendedTickCount() + kProbeLimitMs;
    while (keepWaiting(context)) {
        if (ExtendedTickCount() >= limit) return ConnectProbe::NoAnswer;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        timeval slice{0, kSliceMs * 1000};
        const int ready = select(0, nullptr, &writable, &failed, &slice);
        if (ready < 0) return ConnectProbe::Unknown;
        if (ready == 0) continue;
        int error = 0;
        int length = sizeof(error);
        if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
            return ConnectProbe::Unknown;
        }
        return error != 0 ? ConnectProbe::Refused : ConnectProbe::Connects;
    }
    return ConnectProbe::Unknown;
}

}  // namespace

ConnectProbe ProbeConnect(const char* numericHost, int port, bool (*keepWaiting)(void*), void* context) {
    char service[16];
    std::snprintf(service, sizeof(service), "%d", port);
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* address = nullptr;
    if (getaddrinfo(numericHost, service, &hints, &address) != 0 || !address) return ConnectProbe::Unknown;
    ConnectProbe result = ConnectProbe::Unknown;
    const SOCKET s = socket(address->ai_family, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    if (s != INVALID_SOCKET && ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
        if (connect(s, address->ai_addr, int(address->ai_addrlen)) == 0) {
            result = ConnectProbe::Connects;
        } else {
            const int error = WSAGetLastError();
            result = error == WSAEWOULDBLOCK ? WaitForConnect(s, keepWaiting, context)
                     : error == WSAECONNREFUSED || error == WSAENETUNREACH || error == WSAEHOSTUNREACH
                         ? ConnectProbe::Refused
                         : ConnectProbe::Unknown;
        }
    }
    if (s != INVALID_SOCKET) closesocket(s);
    freeaddrinfo(address);
    return result;
}
