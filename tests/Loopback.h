#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace loopback {

// A connection from a chosen loopback address (127.0.0.1 to 127.0.0.254), or from ::1.
inline int connetti(std::uint16_t porta, const char* da = "127.0.0.1") {
    if (std::string(da) == "::1") {
        const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_loopback;
        a.sin6_port = htons(porta);
        ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        return fd;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sorgente{};
    sorgente.sin_family = AF_INET;
    inet_pton(AF_INET, da, &sorgente.sin_addr);
    ::bind(fd, reinterpret_cast<sockaddr*>(&sorgente), sizeof sorgente);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(porta);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return fd;
}

} // namespace loopback
