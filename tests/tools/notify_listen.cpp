// notify-listen PATH: a service manager's notify socket for the tests. Binds an AF_UNIX datagram
// socket at PATH, says "listening" on a line once it can be sent to, then prints every datagram
// it receives on a line of its own (the datagram's own line breaks shown as " | "), until it is
// killed or a datagram holds "STOPPING=1" (printed, then it exits 0).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: notify-listen PATH\n");
        return 2;
    }
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (fd < 0 || std::strlen(argv[1]) >= sizeof(address.sun_path)) return 1;
    std::strcpy(address.sun_path, argv[1]);
    unlink(argv[1]);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        std::perror("notify-listen: bind");
        return 1;
    }
    std::printf("listening\n");
    std::fflush(stdout);
    char buffer[4096];
    for (;;) {
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got < 0) return 1;
        std::string text(buffer, static_cast<std::size_t>(got));
        for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at))
            text.replace(at, 1, " | ");
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        if (text.find("STOPPING=1") != std::string::npos) return 0;
    }
}
