#include "BenchExecutable.h"

#include "platform/ProfileFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

// The environment of a scheduled job: no display, no platform chosen for the
// program; it finds out itself that there is no screen.
std::vector<QByteArray> schedulerEnvironment() {
    std::vector<QByteArray> variables;
    for (char** e = environ; *e != nullptr; ++e) {
        const QByteArray variable(*e);
        if (!variable.startsWith("DISPLAY=") && !variable.startsWith("WAYLAND_DISPLAY=") &&
            !variable.startsWith("QT_QPA_PLATFORM=")) {
            variables.push_back(variable);
        }
    }
    return variables;
}

std::vector<char*> pointers(std::vector<QByteArray>& texts) {
    std::vector<char*> result;
    for (QByteArray& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

QString logTail(const QString& logFile) {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray bytes = file.readAll();
    return QString::fromLatin1(bytes.right(2000));
}

} // namespace

BenchExecutable::BenchExecutable(QString executable, QString home)
    : m_executable(std::move(executable)), m_home(std::move(home)) {}

QString BenchExecutable::find() {
    // bench/tarvelo_bench in the build directory, the program at its top.
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../tarvelo"));
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable() ? info.canonicalFilePath() : QString();
}

ExecutableRun BenchExecutable::run(const QString& connection, const QString& workDir,
                                   const QString& filter, const QStringList& switches) const {
    QDir home(m_home);
    home.removeRecursively();
    if (!QDir().mkpath(home.filePath(QStringLiteral("protokoll")))) {
        throw std::runtime_error("cannot create " + m_home.toStdString());
    }
    const QString program = home.filePath(QStringLiteral("tarvelo"));
    const QString list = home.filePath(QStringLiteral("adressen.txt"));
    if (!QFile::copy(m_executable, program) ||
        !QFile::copy(QDir(workDir).filePath(QStringLiteral("adressen.txt")), list) ||
        !QFile::copy(QDir(workDir).filePath(QStringLiteral("ausnahmen.txt")),
                     home.filePath(QStringLiteral("ausnahmen.txt")))) {
        throw std::runtime_error("cannot set up the installation in " + m_home.toStdString());
    }
    const QString ini = home.filePath(QStringLiteral("tarvelo.ini"));
    ProfileFile::writeString(ini, QStringLiteral("SQL"), QStringLiteral("Provider"), connection);
    ProfileFile::writeString(ini, QStringLiteral("Options"), QStringLiteral("Protokoll"),
                             home.filePath(QStringLiteral("protokoll")) + u'/');

    // "/domain:*" would give the filter "@*": without the switch it is "*".
    std::vector<QByteArray> arguments{QFile::encodeName(program),
                                      QFile::encodeName(QStringLiteral("/file:") + list)};
    if (filter != QStringLiteral("*")) {
        arguments.push_back(QFile::encodeName(QStringLiteral("/domain:") + filter));
    }
    for (const QString& option : switches) {
        arguments.push_back(option.toLocal8Bit());
    }
    std::vector<QByteArray> environment = schedulerEnvironment();
    std::vector<char*> argv = pointers(arguments);
    std::vector<char*> envp = pointers(environment);

    // The program's standard output would only mix with the figures.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    // The working directory stays the benchmark's: the program finds its
    // files beside itself.
    const int spawned =
        posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error(std::string("cannot start the program: ") +
                                 std::strerror(spawned));
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        throw std::runtime_error("lost the program's process");
    }
    ExecutableRun result;
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.peakMegabytes = double(usage.ru_maxrss) / 1024.0;
    result.newPages = usage.ru_minflt;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error(
            QStringLiteral("the program ended with status %1; its log ends:\n%2")
                .arg(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status))
                .arg(logTail(home.filePath(QStringLiteral("tarvelo.log"))))
                .toStdString());
    }
    const QStringList protocols =
        QDir(home.filePath(QStringLiteral("protokoll")))
            .entryList({QStringLiteral("hmail-*.log")}, QDir::Files, QDir::Name);
    if (protocols.size() != 1) {
        throw std::runtime_error("the program left no protocol file");
    }
    result.protocolFile = home.filePath(QStringLiteral("protokoll/")) + protocols.constFirst();
    return result;
}
