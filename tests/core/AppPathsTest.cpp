#include "core/AppPaths.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

TEST(AppPaths, FilesBesideTheExecutable) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/opt/tarvelo/tarvelo"));
    EXPECT_EQ(paths.executable, QStringLiteral("/opt/tarvelo/tarvelo"));
    EXPECT_EQ(paths.iniFile, QStringLiteral("/opt/tarvelo/tarvelo.ini"));
    EXPECT_EQ(paths.logFile, QStringLiteral("/opt/tarvelo/tarvelo.log"));
    EXPECT_EQ(paths.exceptionFile, QStringLiteral("/opt/tarvelo/ausnahmen.txt"));
    EXPECT_EQ(paths.directory, QStringLiteral("/opt/tarvelo/"));
}

TEST(AppPaths, SuffixOfTheNameIsReplaced) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/opt/tarvelo/tarvelo.bin"));
    EXPECT_EQ(paths.iniFile, QStringLiteral("/opt/tarvelo/tarvelo.ini"));
    EXPECT_EQ(paths.logFile, QStringLiteral("/opt/tarvelo/tarvelo.log"));
    // Only the last suffix goes.
    EXPECT_EQ(AppPaths::forExecutable(QStringLiteral("/x/tar.velo.exe")).iniFile,
              QStringLiteral("/x/tar.velo.ini"));
}

TEST(AppPaths, DotsInTheDirectoryAreNoSuffix) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/srv/mail.d/v1.2/tarvelo"));
    EXPECT_EQ(paths.iniFile, QStringLiteral("/srv/mail.d/v1.2/tarvelo.ini"));
    EXPECT_EQ(paths.logFile, QStringLiteral("/srv/mail.d/v1.2/tarvelo.log"));
    EXPECT_EQ(paths.exceptionFile, QStringLiteral("/srv/mail.d/v1.2/ausnahmen.txt"));
}

TEST(AppPaths, ExecutableInTheRootDirectory) {
    const AppPaths paths = AppPaths::forExecutable(QStringLiteral("/tarvelo"));
    EXPECT_EQ(paths.directory, QStringLiteral("/"));
    EXPECT_EQ(paths.iniFile, QStringLiteral("/tarvelo.ini"));
    EXPECT_EQ(paths.exceptionFile, QStringLiteral("/ausnahmen.txt"));
}
