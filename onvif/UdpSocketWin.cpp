#include "onvif/UdpSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

constexpr int kMaxDatagram = 65536;

}  // namespace

bool CUdpSocket::Open(uint32_t adapterAddress) {
    Close();
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        WSACleanup();
        return false;
    }
    m_socket = intptr_t(s);
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = adapterAddress;
    in_addr interface = {};
    interface.s_addr = adapterAddress;
    const DWORD ttl = 1;
    u_long nonBlocking = 1;
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&interface), sizeof(interface)) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, reinterpret_cast<const char*>(&ttl), sizeof(ttl)) != 0 ||
        ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        Close();
        return false;
    }
    return true;
}

void CUdpSocket::Close() {
    if (m_socket == -1) return;
    closesocket(SOCKET(m_socket));
    WSACleanup();
    m_socket = -1;
}

bool CUdpSocket::SendTo(const std::string& datagram, const char* group, unsigned short port) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (m_socket == -1 || inet_pton(AF_INET, group, &to.sin_addr) != 1) return false;
    return sendto(SOCKET(m_socket), datagram.data(), int(datagram.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof(to)) == int(datagram.size());
}

bool CUdpSocket::Receive(std::string* datagram, std::string* from) {
    if (m_socket == -1) return false;
    datagram->resize(kMaxDatagram);
    sockaddr_in source = {};
    int length = sizeof(source);
    const int got = recvfrom(SOCKET(m_socket), &(*datagram)[0], int(datagram->size()), 0,
                             reinterpret_cast<sockaddr*>(&source), &length);
    if (got < 0 || source.sin_family != AF_INET) return false;
    datagram->resize(size_t(got));
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &source.sin_addr, text, sizeof(text));
    *from = text;
    return true;
}

bool CUdpSocket::WaitAny(const std::vector<CUdpSocket*>& sockets, int ms) {
    fd_set readable;
    FD_ZERO(&readable);
    int count = 0;
    for (const CUdpSocket* socket : sockets) {
        if (socket->m_socket != -1 && count < FD_SETSIZE) {
            FD_SET(SOCKET(socket->m_socket), &readable);
            ++count;
        }
    }
    if (count == 0) {
        Sleep(DWORD(ms));
        return false;
    }
    timeval wait = {ms / 1000, (ms % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) > 0;
}
