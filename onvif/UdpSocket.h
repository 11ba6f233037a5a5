// The datagram sockets of a camera search: one per adapter, bound to an
// ephemeral port on the adapter's address, sending multicast out of that
// adapter with a TTL of 1 (the probes never leave the local network). One
// implementation per system (UdpSocketPosix.cpp, UdpSocketWin.cpp).
//
// A socket is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CUdpSocket {
public:
    CUdpSocket() = default;
    ~CUdpSocket() { Close(); }
    CUdpSocket(const CUdpSocket&) = delete;
    CUdpSocket& operator=(const CUdpSocket&) = delete;

    // False when the adapter cannot send multicast.
    bool Open(uint32_t adapterAddress);
    void Close();
    bool SendTo(const std::string& datagram, const char* group, unsigned short port);
    // One datagram waiting on the socket, and the IPv4 address it came from
    // (dotted); false when none was waiting.
    bool Receive(std::string* datagram, std::string* from);

    // Waits up to `ms` for any of the sockets to have a datagram; false when
    // none has.
    static bool WaitAny(const std::vector<CUdpSocket*>& sockets, int ms);

private:
    intptr_t m_socket = -1;
};
