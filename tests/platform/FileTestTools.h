#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Small helpers of the platform tests: raw bytes of files, file modes, and
// running a check without root's privileges (permission bits do not stop
// root, so a test of a read-only directory must give them up first).
namespace FileTestTools {

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

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

// True when a file can be created in dir (the directory is writable for us).
inline bool canCreateIn(const QString& dir) {
    const QString probe = dir + QStringLiteral("/.probe");
    QFile file(probe);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.close();
    QFile::remove(probe);
    return true;
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
