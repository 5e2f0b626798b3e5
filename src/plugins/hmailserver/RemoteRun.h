#pragma once

#include "RemoteCommand.h"

#include <QByteArray>
#include <QString>

#include <functional>

// One start of the remote command: input written to its standard input, which
// is then closed, and its end awaited for at most its timeout; a command still
// running then is killed. It gets the program's own environment; its standard
// output is searched for the confirmation only. While it runs, whileWaiting (when set) is called
// about every twentieth of a second; when it returns false, the command is ended at once.
namespace RemoteRun {

struct Outcome {
    bool succeeded = false;
    // The German message when the command did not succeed: the last non-empty
    // line it wrote on standard error, or what became of it.
    QString errorDescription;
};

// The command succeeded when it ended with status 0 and wrote the line
// confirmation on standard output.
Outcome run(const RemoteCommand& command, const QByteArray& input, const QByteArray& confirmation,
            const std::function<bool()>& whileWaiting = {});

// The last line of text that holds more than blanks and control characters;
// empty when there is none.
QString lastNonEmptyLine(const QString& text);

// message cut to its first thousand characters, marked by " …" where cut.
QString shortened(const QString& message);

// Standard error as UTF-8 where it is valid UTF-8, else in the system's code page.
QString decodeOutput(const QByteArray& bytes);

} // namespace RemoteRun
