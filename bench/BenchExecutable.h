#pragma once

#include <QString>
#include <QStringList>

// The shipped executable run as a scheduler runs it: copied into an
// installation of its own (tarvelo.ini naming the database and the protocol
// directory, the list and ausnahmen.txt beside it), started without a display
// with "/file:", for a filter other than "*" "/domain:", and the further
// switches asked for ("/batch:1000"). Its whole life is measured: start-up,
// the run with its real protocol pane, the end.
struct ExecutableRun {
    double seconds = 0;       // from the start of the process to its end
    double cpuSeconds = 0;    // the processor time it used (user and system)
    double peakMegabytes = 0; // the process's peak resident memory
    qint64 newPages = 0;      // pages of memory it touched first (minor faults)
    QString protocolFile;     // the protocol file it wrote
};

class BenchExecutable {
public:
    // executable: the built program; home: the installation's directory. The
    // program lower-cases "/file:", so home must be written in lower case.
    BenchExecutable(QString executable, QString home);

    QString program() const { return m_executable; }
    QString home() const { return m_home; }

    // Where the built program lies beside the benchmark's build, or empty.
    static QString find();

    // One unattended run on the database of connection with the list and the
    // exception file of workDir. Raises std::runtime_error when the program
    // fails.
    ExecutableRun run(const QString& connection, const QString& workDir, const QString& filter,
                      const QStringList& switches = {}) const;

private:
    QString m_executable;
    QString m_home;
};
