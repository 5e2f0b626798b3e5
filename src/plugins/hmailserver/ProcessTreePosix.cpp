#include "ProcessTree.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMultiHash>
#include <QStringList>

#include <csignal>
#include <sys/types.h>

namespace {

// Every process below root, from the parent links the system lists.
QList<pid_t> descendantsOf(pid_t root) {
    QMultiHash<pid_t, pid_t> children;
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isProcess = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&isProcess));
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!isProcess || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype nameEnd = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (nameEnd >= 0 && fields.size() > 1) {
            children.insert(static_cast<pid_t>(fields[1].toInt()), pid);
        }
    }
    QList<pid_t> found;
    for (QList<pid_t> parents{root}; !parents.isEmpty();) {
        const QList<pid_t> below = children.values(parents.takeFirst());
        found += below;
        parents += below;
    }
    return found;
}

} // namespace

void ProcessTree::stopAndKillDescendants(qint64 pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(static_cast<pid_t>(pid), SIGSTOP); // starts nothing more while its own are ended
    for (const pid_t descendant : descendantsOf(static_cast<pid_t>(pid))) {
        ::kill(descendant, SIGKILL);
    }
}
