// SPDX-License-Identifier: GPL-3.0-or-later
#include "sandbox.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

// Newer than the headers of some systems that run kernels knowing it.
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif

namespace varnok::fuzz {

namespace {

// Closes a descriptor when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool addRule(int ruleset, const char *path, __u64 access)
{
    const Fd fd(::open(path, O_PATH | O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    landlock_path_beneath_attr rule{};
    rule.allowed_access = access;
    rule.parent_fd = fd.get();
    return ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
}

} // namespace

std::string confineWritesTo(const std::string &folder)
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return systemError("Landlock nicht verfügbar");

    __u64 writes = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR
                 | LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR
                 | LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG
                 | LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO
                 | LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    if (abi >= 2)
        writes |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        writes |= LANDLOCK_ACCESS_FS_TRUNCATE;

    landlock_ruleset_attr attr{};
    attr.handled_access_fs = writes;
    const Fd ruleset(int(::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0)));
    if (ruleset.get() < 0)
        return systemError("Landlock-Regeln");
    if (!addRule(ruleset.get(), folder.c_str(), writes))
        return systemError(("Landlock-Regel für " + folder).c_str());
    // Tools that discard output open /dev/null for writing.
    addRule(ruleset.get(), "/dev/null", LANDLOCK_ACCESS_FS_WRITE_FILE);
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return systemError("PR_SET_NO_NEW_PRIVS");
    if (::syscall(SYS_landlock_restrict_self, ruleset.get(), 0) != 0)
        return systemError("landlock_restrict_self");
    return {};
}

std::string unfitWorkFolder(const std::string &folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(folder, ec);
    if (ec || p.empty())
        return "Ordner nicht lesbar: " + folder;
    if (p == p.root_path())
        return "das Wurzelverzeichnis ist als Arbeitsordner zu weit";
    if (const char *home = std::getenv("HOME"); home && fs::equivalent(p, home, ec))
        return "das Heimatverzeichnis ist als Arbeitsordner zu weit";
    for (const char *marker : {".git", "CMakeLists.txt", "CMakeCache.txt"})
        if (fs::exists(p / marker, ec))
            return "der Arbeitsordner enthält " + std::string(marker)
                 + " (Quellbaum oder Build-Ordner); bitte einen eigenen Ordner nehmen";
    return {};
}

} // namespace varnok::fuzz
