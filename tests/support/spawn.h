// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting a program with its standard descriptors closed, on a device or
// on a pipe without reader, as a shell or a desktop may start it; QProcess
// always gives it pipes.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QStringList>

#include <array>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace varnok::test {

// What one of the descriptors 0, 1 and 2 is.
enum class Stream { Closed, DevNull, DevFull, BrokenPipe, File };
using Streams = std::array<Stream, 3>;

// Starts `program` with the given descriptors (File: `fileName`, opened for
// writing) and SIGPIPE handled by default, as a shell leaves it. The
// process id, or -1.
inline pid_t spawnWithStreams(const QByteArray &program, const QStringList &args, const Streams &streams,
                              const QProcessEnvironment &env, const QString &fileName = QString())
{
    int pipeFds[2];
    // Close-on-exec: the program gets the write end only where a stream
    // asks for it (dup2 clears the flag on the copy).
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return -1;
    ::close(pipeFds[0]); // the reader is gone before anything is written
    const QByteArray name = QFile::encodeName(fileName);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd) {
        switch (streams[size_t(fd)]) {
        case Stream::Closed:
            posix_spawn_file_actions_addclose(&actions, fd);
            break;
        case Stream::DevNull:
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
            break;
        case Stream::DevFull:
            posix_spawn_file_actions_addopen(&actions, fd, "/dev/full", O_WRONLY, 0);
            break;
        case Stream::BrokenPipe:
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], fd);
            break;
        case Stream::File:
            posix_spawn_file_actions_addopen(&actions, fd, name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            break;
        }
    }
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &pipeOnly);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> argBytes{program};
    for (const QString &a : args)
        argBytes.push_back(QFile::encodeName(a));
    std::vector<char *> argv;
    for (QByteArray &a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envBytes;
    for (const QString &e : env.toStringList())
        envBytes.push_back(e.toLocal8Bit());
    std::vector<char *> envp;
    for (QByteArray &e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.constData(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipeFds[1]);
    return spawned == 0 ? pid : -1;
}

// The exit status of a started process, or -1 when it ended by a signal or
// had to be killed after `timeout`.
inline int waitForExit(pid_t pid, std::chrono::milliseconds timeout = std::chrono::minutes(1))
{
    if (pid < 0)
        return -1;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What descriptor `fd` of process `pid` stands for ("/dev/null",
// "socket:[…]", "anon_inode:[eventfd]", …), empty when it is closed.
inline QString descriptorTarget(pid_t pid, int fd)
{
    const QByteArray link = QStringLiteral("/proc/%1/fd/%2").arg(pid).arg(fd).toLocal8Bit();
    char target[4096];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    return n > 0 ? QFile::decodeName(QByteArray(target, int(n))) : QString();
}

// True once process `pid` holds an eventfd above descriptor 2: Qt's event
// loop, so start-up is over (while the dynamic loader runs, libraries are
// open on the lowest free descriptors for a moment).
inline bool eventLoopCreated(pid_t pid)
{
    const QStringList fds = QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    for (const QString &fd : fds)
        if (fd.toInt() > 2 && descriptorTarget(pid, fd.toInt()) == QLatin1String("anon_inode:[eventfd]"))
            return true;
    return false;
}

} // namespace varnok::test
