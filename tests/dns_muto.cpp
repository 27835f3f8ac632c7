// Runs a command in network and mount namespaces of its own, where the only name server is a
// stub on 127.0.0.1 that reads every query and never answers: a name lookup then waits for the
// resolver's own timeout. Nothing leaves the loopback interface of that namespace.
//   dns_muto RESOLV_CONF COMMAND [ARGS...]
// RESOLV_CONF is put over /etc/resolv.conf for the command (it should name 127.0.0.1). The exit
// status is the command's, or 125 when the namespaces cannot be made.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int fallito(const char* passo) {
    std::fprintf(stderr, "dns_muto: %s: %s\n", passo, std::strerror(errno));
    return 125;
}

bool scrivi(const char* file, const std::string& testo) {
    const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, testo.data(), testo.size()) == static_cast<ssize_t>(testo.size());
    ::close(fd);
    return ok;
}

// This user becomes root of a user namespace of its own, so that it may make the others.
bool diventaRadice() {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER) != 0)
        return false;
    return scrivi("/proc/self/setgroups", "deny") &&
           scrivi("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           scrivi("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

bool accendiLoopback() {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq richiesta{};
    std::strcpy(richiesta.ifr_name, "lo");
    const bool ok = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &richiesta) == 0 &&
                    (richiesta.ifr_flags |= IFF_UP, ::ioctl(s, SIOCSIFFLAGS, &richiesta) == 0);
    if (s >= 0)
        ::close(s);
    return ok;
}

// A name server that takes every query on 127.0.0.1:53, UDP and TCP, and answers none.
bool serverMuto() {
    sockaddr_in indirizzo{};
    indirizzo.sin_family = AF_INET;
    indirizzo.sin_port = htons(53);
    indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
    return udp >= 0 && tcp >= 0 &&
           ::bind(udp, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) == 0 &&
           ::bind(tcp, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) == 0 &&
           ::listen(tcp, 16) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "uso: dns_muto RESOLV_CONF COMANDO [ARGOMENTI...]\n");
        return 125;
    }
    if (::geteuid() != 0 && !diventaRadice())
        return fallito("user namespace");
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0)
        return fallito("unshare");
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return fallito("mount private");
    if (::mount(argv[1], "/etc/resolv.conf", nullptr, MS_BIND, nullptr) != 0)
        return fallito("bind resolv.conf");
    if (!accendiLoopback())
        return fallito("lo up");
    if (!serverMuto())
        return fallito("server muto");
    const pid_t figlio = ::fork();
    if (figlio < 0)
        return fallito("fork");
    if (figlio == 0) {
        ::execvp(argv[2], argv + 2);
        std::fprintf(stderr, "dns_muto: %s: %s\n", argv[2], std::strerror(errno));
        ::_exit(127);
    }
    int stato = 0;
    while (::waitpid(figlio, &stato, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : 128 + WTERMSIG(stato);
}
