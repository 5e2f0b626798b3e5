#include "ScratchInstall.h"

#include "TestDatabases.h"
#include "platform/Ansi.h"
#include "platform/LineBreaks.h"
#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// The executable's name as built: "tarvelo", or "tarvelo.exe" on Windows,
// where the system looks for that name.
QString executableName() {
    return QFileInfo(QStringLiteral(TARVELO_EXECUTABLE)).fileName();
}

} // namespace

ScratchInstall::ScratchInstall(Program program) {
    if (!m_dir.isValid()) {
        throw std::runtime_error("no scratch directory");
    }
    const QString target = path(executableName());
    const QString source = program == Program::Shipped
                               ? QStringLiteral(TARVELO_EXECUTABLE)
                               : QStringLiteral(TARVELO_SHORT_WAITS_EXECUTABLE);
    if (!QFile::copy(source, target)) {
        throw std::runtime_error("cannot copy the executable");
    }
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::ExeOwner);
#ifdef TARVELO_QT_PREFIX
    writeFile(QStringLiteral("qt.conf"), "[Paths]\r\nPrefix = " TARVELO_QT_PREFIX
                                         "\r\nTranslations = " TARVELO_QT_TRANSLATIONS "\r\n");
#endif
}

void ScratchInstall::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write a scratch file");
    }
}

QByteArray ScratchInstall::readFile(const QString& name) const {
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

void ScratchInstall::setIni(const QString& section, const QString& key,
                            const QString& value) const {
    ProfileFile::writeString(path("tarvelo.ini"), section, key, value);
}

QString ScratchInstall::useSqliteDatabase(bool withDemoData) const {
    const QString connection = createSqliteDatabase(path("hmailserver.db"), withDemoData);
    setIni("SQL", "Provider", connection);
    return connection;
}

void ScratchInstall::useProtocolDirectory() const {
    setIni("Options", "Protokoll", path("prot/"));
    QDir(dir()).mkpath("prot");
}

void ScratchInstall::writeNightlyFiles() const {
    useProtocolDirectory();
    writeFile("ausnahmen.txt", ">newsletter@\r\n");
    writeFile("liste.txt", "alice@example.com\r\nBOB@example.com\r\ndora@example.com\r\n"
                           "postmaster@example.com\r\nnewsletter@example.com\r\n");
}

void ScratchInstall::installStandIn() const {
    QDir(dir()).mkpath("automation");
    const QString plugin = QStringLiteral(TARVELO_STANDIN_PLUGIN);
    const QString target = path("automation/" + QFileInfo(plugin).fileName());
    QFile::remove(target);
    if (!QFile::copy(plugin, target)) {
        throw std::runtime_error("cannot copy the stand-in plugin");
    }
}

std::unique_ptr<QProcess> ScratchInstall::start(const QStringList& arguments,
                                                const QStringList& extraEnvironment) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // A scheduler's machine: no screen of any kind, the program chooses.
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const QString& assignment : extraEnvironment) {
        const qsizetype eq = assignment.indexOf('=');
        env.insert(assignment.left(eq), assignment.mid(eq + 1));
    }
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setWorkingDirectory(dir());
    process->setStandardInputFile(QProcess::nullDevice());
#ifndef Q_OS_WIN
    const auto limit = static_cast<rlim_t>(m_fileSizeLimit);
    const auto addressSpace = static_cast<rlim_t>(m_addressSpaceLimit);
    const bool readerGone = m_standardErrorReaderGone;
    process->setChildProcessModifier([limit, addressSpace, readerGone] {
        // As a scheduler starts it: a write to a pipe nobody reads raises
        // the signal that ends a program.
        std::signal(SIGPIPE, SIG_DFL);
        if (readerGone) {
            int ends[2];
            if (pipe(ends) == 0) {
                close(ends[0]);
                dup2(ends[1], STDERR_FILENO);
                close(ends[1]);
            }
        }
        // A full disk, the POSIX way: the child may write no more than this;
        // the signal that would end it at the limit as it comes by default.
        if (limit > 0) {
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit size{};
            getrlimit(RLIMIT_FSIZE, &size);
            size.rlim_cur = limit;
            setrlimit(RLIMIT_FSIZE, &size);
        }
        if (addressSpace > 0) {
            const rlimit space{addressSpace, addressSpace};
            setrlimit(RLIMIT_AS, &space);
        }
    });
#endif
    process->start(path(executableName()), arguments);
    return process;
}

QStringList addressesOfRoute(const QString& connectionString, qint64 routeId) {
    QStringList rows;
    for (const auto& row : routeAddressRows(connectionString)) {
        if (row.first == routeId) {
            rows.append(row.second);
        }
    }
    rows.sort();
    return rows;
}

ScratchInstall::Result ScratchInstall::run(const QStringList& arguments,
                                           const QStringList& extraEnvironment) const {
    const std::unique_ptr<QProcess> started = start(arguments, extraEnvironment);
    QProcess& process = *started;
    Result result;
    if (!process.waitForStarted(30000)) {
        return result;
    }
    // A run that would wait for a click never ends by itself: give up then.
    result.finished = process.waitForFinished(60000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    // Text in the system's encoding; Windows ends its lines with CR LF.
    result.standardError = QString::fromLocal8Bit(process.readAllStandardError())
                               .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.standardOutput = QString::fromLocal8Bit(process.readAllStandardOutput())
                                .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

QStringList ScratchInstall::logMessages() const {
    static const QRegularExpression stamp(
        QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}( \\d\\d:\\d\\d:\\d\\d)?: "));
    QStringList messages;
    for (const QString& line : LineBreaks::split(Ansi::decode(readFile("tarvelo.log")))) {
        if (line.isEmpty()) {
            messages.append(QString());
            continue;
        }
        const auto match = stamp.match(line);
        messages.append(match.hasMatch() ? line.mid(match.capturedLength()) : "<?>" + line);
    }
    return messages;
}
