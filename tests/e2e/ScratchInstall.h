#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The real executable copied into a scratch directory of its own, with the
// files an administrator keeps beside it, run the way a scheduler runs it:
// no display, no standard input.
class ScratchInstall {
public:
    // The shipped program, or the same with the waits for a lock and for a
    // stalled run taken from TARVELO_TEST_LOCK_WAIT_MS and
    // TARVELO_TEST_WATCHDOG_MS.
    enum class Program { Shipped, ShortWaits };
    explicit ScratchInstall(Program program = Program::Shipped);

    QString dir() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    void writeFile(const QString& name, const QByteArray& bytes) const;
    QByteArray readFile(const QString& name) const;
    void setIni(const QString& section, const QString& key, const QString& value) const;
    // A fresh SQLite database from schema/, wired into tarvelo.ini.
    QString useSqliteDatabase(bool withDemoData = true) const;
    // The protocol directory "prot/", made and named in tarvelo.ini.
    void useProtocolDirectory() const;
    // The nightly job's files: a protocol directory "prot/" named in
    // tarvelo.ini, ausnahmen.txt excepting ">newsletter@" and liste.txt with
    // five addresses of example.com (one excepted, one in capitals).
    void writeNightlyFiles() const;
    // Copies the stand-in of the mail server's administration object.
    void installStandIn() const;

    struct Result {
        bool finished = false;
        int exitCode = -1;
        QString standardError;
        QString standardOutput;
    };
    Result run(const QStringList& arguments, const QStringList& extraEnvironment = {}) const;
    // Started the same way, without waiting for the end.
    std::unique_ptr<QProcess> start(const QStringList& arguments,
                                    const QStringList& extraEnvironment = {}) const;

    // From now on no file the program writes can grow beyond bytes, as under
    // `ulimit -f` (whose signal, by default, would end the program).
    void limitFileSize(qint64 bytes) { m_fileSizeLimit = bytes; }
    // From now on the program's address space holds no more than bytes, as
    // under `ulimit -v`: memory runs out.
    void limitAddressSpace(qint64 bytes) { m_addressSpaceLimit = bytes; }
    // From now on standard error is a pipe whose reader has gone (a logger
    // that died).
    void loseStandardErrorReader() { m_standardErrorReaderGone = true; }

    // Lines of tarvelo.log without their date and time ("" for blank lines).
    QStringList logMessages() const;

private:
    QTemporaryDir m_dir;
    qint64 m_fileSizeLimit = 0;
    qint64 m_addressSpaceLimit = 0;
    bool m_standardErrorReaderGone = false;
};

// The addresses of one route in hm_routeaddresses, sorted.
QStringList addressesOfRoute(const QString& connectionString, qint64 routeId);
