// SPDX-License-Identifier: GPL-3.0-or-later
#include "standardstreams.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace varnok {

void openClosedStandardStreams() noexcept
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        // The lowest free descriptor is this one, as the ones below it are
        // open by now; dup2 only in case something else was closed too.
        const int null = ::open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
}

bool writeToStream(int fd, QByteArrayView bytes) noexcept
{
    // SIGPIPE is held back while writing, and one raised by this write is
    // taken away again; the process's handling of SIGPIPE stays as it is
    // (a program it starts inherits no ignored SIGPIPE).
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t before;
    if (::pthread_sigmask(SIG_BLOCK, &pipe, &before) != 0)
        return false;
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;

    bool ok = true;
    bool broken = false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A descriptor left non-blocking by whoever started us.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, -1) >= 0 || errno == EINTR)
                continue;
        }
        broken = n < 0 && errno == EPIPE;
        ok = false;
        break;
    }

    if (broken && !pendingBefore) {
        const timespec now{};
        while (::sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return ok;
}

} // namespace varnok
