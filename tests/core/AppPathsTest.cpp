#include "core/AppPaths.h"

#include "QStringPrinter.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {
// The expected path with the platform's separators.
QString native(const char* path) {
    return QDir::toNativeSeparators(QString::fromUtf8(path));
}
} // namespace

TEST(AppPaths, FilesBesideTheExecutable) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/opt/tarvelo/tarvelo"));
    EXPECT_EQ(paths.executable, native("/opt/tarvelo/tarvelo"));
    EXPECT_EQ(paths.iniFile, native("/opt/tarvelo/tarvelo.ini"));
    EXPECT_EQ(paths.logFile, native("/opt/tarvelo/tarvelo.log"));
    EXPECT_EQ(paths.exceptionFile, native("/opt/tarvelo/ausnahmen.txt"));
    EXPECT_EQ(paths.directory, native("/opt/tarvelo/"));
    EXPECT_EQ(paths.automationDirectory, native("/opt/tarvelo/automation"));
}

TEST(AppPaths, SuffixOfTheNameIsReplaced) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/opt/tarvelo/tarvelo.bin"));
    EXPECT_EQ(paths.iniFile, native("/opt/tarvelo/tarvelo.ini"));
    EXPECT_EQ(paths.logFile, native("/opt/tarvelo/tarvelo.log"));
    // Only the last suffix goes.
    EXPECT_EQ(AppPaths::forExecutable(QStringLiteral("/x/tar.velo.exe")).iniFile,
              native("/x/tar.velo.ini"));
}

TEST(AppPaths, DotsInTheDirectoryAreNoSuffix) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/srv/mail.d/v1.2/tarvelo"));
    EXPECT_EQ(paths.iniFile, native("/srv/mail.d/v1.2/tarvelo.ini"));
    EXPECT_EQ(paths.logFile, native("/srv/mail.d/v1.2/tarvelo.log"));
    EXPECT_EQ(paths.exceptionFile, native("/srv/mail.d/v1.2/ausnahmen.txt"));
}

TEST(AppPaths, ExecutableInTheRootDirectory) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/tarvelo"));
    EXPECT_EQ(paths.directory, native("/"));
    EXPECT_EQ(paths.iniFile, native("/tarvelo.ini"));
    EXPECT_EQ(paths.exceptionFile, native("/ausnahmen.txt"));
}

#ifdef Q_OS_WIN
// On Windows the files are named with its separators, as messages show them.
TEST(AppPaths, WindowsPathsUseBackslashes) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("C:/Tarvelo Test/tarvelo.exe"));
    EXPECT_EQ(paths.iniFile, QStringLiteral("C:\\Tarvelo Test\\tarvelo.ini"));
    EXPECT_EQ(paths.exceptionFile, QStringLiteral("C:\\Tarvelo Test\\ausnahmen.txt"));
    EXPECT_EQ(paths.directory, QStringLiteral("C:\\Tarvelo Test\\"));
    EXPECT_EQ(paths.automationDirectory, QStringLiteral("C:\\Tarvelo Test\\automation"));
    EXPECT_EQ(AppPaths::forExecutable(QStringLiteral("C:/tarvelo.exe")).directory,
              QStringLiteral("C:\\"));
}
#endif
