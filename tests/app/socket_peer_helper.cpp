// The other end of a local socket, for tests that play another user.
//
//   socket_peer_helper listen <path>        binds and listens at <path>, prints "listening", then
//                                           prints "received <line>" for every line a client sends
//   socket_peer_helper send <path> <line>   connects, sends <line>, prints "reply <what came back>"
//
// Runs as whatever user the test starts it as.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (argc < 3 || (std::strcmp(argv[1], "send") == 0 && argc < 4)) {
        std::fprintf(stderr, "usage: %s listen <path> | send <path> <line>\n", argv[0]);
        return 2;
    }
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, argv[2], sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return 1;
    if (std::strcmp(argv[1], "listen") == 0) {
        if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || listen(fd, 8) != 0) {
            std::perror("listen");
            return 1;
        }
        std::printf("listening\n");
        std::fflush(stdout);
        for (;;) {
            const int client = accept(fd, nullptr, nullptr);
            if (client < 0)
                return 1;
            std::string line;
            char c;
            while (read(client, &c, 1) == 1 && c != '\n')
                line += c;
            // A client that checked who we are and left says nothing.
            if (!line.empty()) {
                std::printf("received %s\n", line.c_str());
                std::fflush(stdout);
            }
            close(client);
        }
    }
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        std::printf("reply (cannot connect: %s)\n", std::strerror(errno));
        return 0;
    }
    const std::string line = std::string(argv[3]) + "\n";
    // A server that hangs up at once must not kill us with SIGPIPE.
    [[maybe_unused]] const ssize_t sent = send(fd, line.data(), line.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[64];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        reply.append(buffer, size_t(n));
    while (!reply.empty() && reply.back() == '\n')
        reply.pop_back();
    std::printf("reply %s\n", reply.c_str());
    return 0;
}
