#include "db/SqliteUri.h"

#include <QUrl>

QString sqliteUri(const QString& absolutePath) {
    QString path = absolutePath;
    if (!path.startsWith(u'/')) {
        path.prepend(u'/'); // a drive letter: file:///C:/...
    }
    return QStringLiteral("file://") + QString::fromLatin1(QUrl::toPercentEncoding(path, "/:")) +
           QStringLiteral("?mode=rw");
}
