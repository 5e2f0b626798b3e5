#pragma once

#include <QByteArrayList>
#include <QString>

// The screens this process may use. One implementation per platform
// (ScreenPlatformsPosix.cpp, ScreenPlatformsWindows.cpp).
namespace ScreenPlatforms {
// The Qt platforms that show a window here, in the order to try: empty
// when the process has no screen at all (a scheduled run).
QByteArrayList available();
// Whether nothing shown here can be seen, whichever platform is named (a
// scheduled task's window station): false where that cannot be told.
bool hidden();
// Whether the screen a platform names answers within a few seconds: the
// toolkit would wait for ever for one that takes the connection and never
// answers (a frozen X server, a forwarded display whose far end sleeps).
// True where it cannot be told, and where nothing listens: the toolkit then
// fails at once and says why.
bool answers(const QByteArray& platform);
// Whether the process was started to show its window minimised without
// activation (a shortcut set to "Minimized"): the window then waits in the
// task bar until the user restores it.
bool startsMinimised();
// What names the screen, for the note that it could not be used.
QString description();
// Where this desktop is told which program opens text files, for the note
// that none was found.
QString textViewerSetting();
} // namespace ScreenPlatforms
