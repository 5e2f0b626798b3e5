#include "gui/Dialogs.h"

#include <QDesktopServices>
#include <QUrl>

// Windows opens the file with the program registered for its type, and says
// at once whether there is one.
bool DesktopDialogs::openDocument(const QString& fileName,
                                  const std::function<void(const QString& reason)>& /*failed*/) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
}
