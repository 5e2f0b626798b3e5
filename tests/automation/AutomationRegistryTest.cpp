#include "automation/AutomationRegistry.h"
#include "ComStandin.h"
#include "ErrorOf.h"
#include "StandinScratch.h"
#include "core/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(AutomationRegistry, PluginInTheSearchDirectoryRegistersItsProgIds) {
    StandinScratch scratch;
    const AutomationRegistry::Registration registration = AutomationRegistry::find(
        QStringLiteral("HMAILSERVER.application"), scratch.automationDir());
    EXPECT_TRUE(registration.pluginPath.startsWith(scratch.automationDir()));
    EXPECT_EQ(registration.progId, QStringLiteral("hMailServer.Application"));

    {
        AutomationObject object =
            createOleObject(QStringLiteral("hmailserver.APPLICATION"), scratch.automationDir());
        ASSERT_FALSE(object.isNull());
        EXPECT_STREQ(object.object()->metaObject()->className(), "StandinApplication");
        EXPECT_EQ(object.object()->parent(), nullptr);
    }
    EXPECT_EQ(scratch.events(), (QStringList{QStringLiteral("create application"),
                                             QStringLiteral("release application")}));
}

// Two libraries that serve one ProgID (a copy left beside the plugin): the
// first in name order serves it, whichever the directory lists first.
TEST(AutomationRegistry, OfTwoPluginsForOneProgIdTheFirstByNameServesIt) {
    StandinScratch scratch;
    const QString dir = scratch.automationDir();
    const QString plugin =
        AutomationRegistry::find(QStringLiteral("hMailServer.Application"), dir).pluginPath;
    ASSERT_FALSE(plugin.isEmpty());
    const QString suffix = plugin.mid(plugin.lastIndexOf(u'.'));
    const QString before = dir + QStringLiteral("/0-kopie") + suffix;
    const QString after = dir + QStringLiteral("/zz-kopie") + suffix;
    ASSERT_TRUE(QFile::copy(plugin, after));
    EXPECT_EQ(AutomationRegistry::find(QStringLiteral("hMailServer.Application"), dir).pluginPath,
              plugin);
    ASSERT_TRUE(QFile::copy(plugin, before));
    EXPECT_EQ(AutomationRegistry::find(QStringLiteral("hMailServer.Application"), dir).pluginPath,
              before);
}

TEST(AutomationRegistry, UnregisteredProgIdIsAnInvalidClassString) {
    const QString invalid = QStringLiteral("Ungültige Klassenzeichenfolge");
    {
        StandinScratch scratch;
        const QString dir = scratch.automationDir();
        EXPECT_EQ(errorOf([&] { createOleObject(QStringLiteral("hMailServer.Applicatio"), dir); }),
                  invalid);
        EXPECT_EQ(errorOf([&] { createOleObject(QString(), dir); }), invalid);
        // Nothing was made.
        EXPECT_FALSE(QFile::exists(scratch.path(QStringLiteral("standin.log"))));

        const QString empty = scratch.path(QStringLiteral("leer"));
        EXPECT_EQ(
            errorOf([&] { createOleObject(QStringLiteral("hMailServer.Application"), empty); }),
            invalid);
        EXPECT_EQ(
            AutomationRegistry::find(QStringLiteral("hMailServer.Application"), empty).pluginPath,
            QString());
    }
}

TEST(AutomationRegistry, OtherFilesInTheDirectoryAreSkipped) {
    StandinScratch scratch;
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(scratch.automationDir() + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    // Sorted before the stand-in: a text file, a broken library, a library
    // without plugin metadata.
    write(QStringLiteral("aaa.txt"), "hMailServer.Application\n");
    write(QStringLiteral("libaaa.so"), QByteArray(4096, '\x7f'));
    write(QStringLiteral("libaab.so"), QByteArray("\x7f"
                                                  "ELF") +
                                           QByteArray(60, '\0'));

    AutomationObject object =
        createOleObject(QStringLiteral("hMailServer.Application"), scratch.automationDir());
    EXPECT_FALSE(object.isNull());
    EXPECT_EQ(errorOf([&] {
                  createOleObject(QStringLiteral("Other.Application"), scratch.automationDir());
              }),
              QStringLiteral("Ungültige Klassenzeichenfolge"));
}

TEST(AutomationRegistry, TheProgramsPluginsAreBesideTheExecutable) {
    const ComStandin::Absent noCom;
    ASSERT_NE(QCoreApplication::instance(), nullptr);
    const AppPaths paths = AppPaths::current();
    EXPECT_EQ(QDir::fromNativeSeparators(paths.automationDirectory),
              QCoreApplication::applicationDirPath() + QStringLiteral("/automation"));
    // The test program ships no plugins.
    EXPECT_EQ(errorOf([&] {
                  createOleObject(QStringLiteral("hMailServer.Application"),
                                  paths.automationDirectory);
              }),
              QStringLiteral("Ungültige Klassenzeichenfolge"));
}
