#include "onvif/UdpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr size_t kMaxDatagram = 65536;

}  // namespace

bool CUdpSocket::Open(uint32_t adapterAddress) {
    Close();
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) return false;
    m_socket = s;
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = adapterAddress;
    in_addr interface = {};
    interface.s_addr = adapterAddress;
    const unsigned char ttl = 1;
    if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &interface, sizeof(interface)) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) != 0) {
        Close();
        return false;
    }
    return true;
}

void CUdpSocket::Close() {
    if (m_socket >= 0) close(int(m_socket));
    m_socket = -1;
}

bool CUdpSocket::SendTo(const std::string& datagram, const char* group, unsigned short port) {
    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (m_socket < 0 || inet_pton(AF_INET, group, &to.sin_addr) != 1) return false;
    return sendto(int(m_socket), datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                  sizeof(to)) == ssize_t(datagram.size());
}

bool CUdpSocket::Receive(std::string* datagram, std::string* from) {
    if (m_socket < 0) return false;
    datagram->resize(kMaxDatagram);
    sockaddr_in source = {};
    socklen_t length = sizeof(source);
    const ssize_t got = recvfrom(int(m_socket), &(*datagram)[0], datagram->size(), 0,
                                 reinterpret_cast<sockaddr*>(&source), &length);
    if (got < 0 || source.sin_family != AF_INET) return false;
    datagram->resize(size_t(got));
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &source.sin_addr, text, sizeof(text));
    *from = text;
    return true;
}

bool CUdpSocket::WaitAny(const std::vector<CUdpSocket*>& sockets, int ms) {
    std::vector<pollfd> polled;
    for (const CUdpSocket* socket : sockets) {
        if (socket->m_socket >= 0) polled.push_back(pollfd{int(socket->m_socket), POLLIN, 0});
    }
    if (polled.empty()) {
        usleep(useconds_t(ms) * 1000);
        return false;
    }
    return poll(polled.data(), polled.size(), ms) > 0;
}
