#pragma once

#include "FileTestTools.h"

#include <QFile>
#include <QString>

#include <functional>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// File modes, and running a check without root's privileges (permission
// bits do not stop root, so a test of a read-only directory must give them
// up first): the POSIX side of the platform tests.
namespace FileTestTools {

inline int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return -1;
    }
    return static_cast<int>(st.st_mode & 07777);
}

inline bool setMode(const QString& path, int mode) {
    return ::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)) == 0;
}

// Runs check as an ordinary user: directly when the test runs as one, else
// in a child process that has become "nobody". Every directory on the way to
// the files must be reachable for that user. Returns the check's complaint,
// empty when it held.
inline std::string runUnprivileged(const std::function<std::string()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return "fork failed";
    }
    if (pid == 0) {
        ::close(fds[0]);
        std::string result;
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::geteuid() == 0) {
            result = "cannot give up root privileges";
        } else {
            try {
                result = check();
            } catch (const std::exception& e) {
                result = std::string("unexpected exception: ") + e.what();
            }
        }
        if (!result.empty()) {
            [[maybe_unused]] const ssize_t n = ::write(fds[1], result.data(), result.size());
        }
        ::close(fds[1]);
        ::_exit(result.empty() ? 0 : 1);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
        return "unprivileged check crashed";
    }
    if (WEXITSTATUS(status) != 0 && out.empty()) {
        return "unprivileged check failed without a reason";
    }
    return out;
}

} // namespace FileTestTools
