// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The request benchmarks' local server: a child process on 127.0.0.1 that
// answers every connection with the same bytes, so its copy of the answer
// never counts towards the measured process's memory; and the few figures
// every benchmark prints.

#include "measure.h"

#include <QtGlobal>

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace varnok::bench {

// Serves `size` bytes at `answer` to every connection after reading its
// request header, then closes its side and waits for the client's close.
[[noreturn]] inline void serveAnswer(int listenFd, const char *answer, size_t size)
{
    for (;;) {
        const int c = accept(listenFd, nullptr, nullptr);
        if (c < 0)
            continue;
        std::string request;
        char buf[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = read(c, buf, sizeof buf);
            if (n <= 0)
                break;
            request.append(buf, size_t(n));
        }
        size_t sent = 0;
        while (sent < size) {
            const ssize_t n = write(c, answer + sent, size - sent);
            if (n <= 0)
                break;
            sent += size_t(n);
        }
        shutdown(c, SHUT_WR);
        while (read(c, buf, sizeof buf) > 0) {
        }
        close(c);
    }
}

struct Server {
    pid_t pid = -1;
    quint16 port = 0;
};

// Listens on 127.0.0.1 and hands the socket to `serveIn`, run in a child.
template <typename Serve>
Server startServer(Serve serveIn)
{
    Server s;
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
        std::perror("server");
        std::exit(1);
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    s.port = ntohs(addr.sin_port);
    s.pid = fork();
    if (s.pid == 0)
        serveIn(fd);
    close(fd);
    return s;
}

inline void stopServer(const Server &s)
{
    kill(s.pid, SIGTERM);
    waitpid(s.pid, nullptr, 0);
}

} // namespace varnok::bench
