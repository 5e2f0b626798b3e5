#include "automation/RouteRefresh.h"
#include "ErrorOf.h"
#include "StandinScratch.h"
#include "automation/AutomationRegistry.h"

#include <gtest/gtest.h>

namespace {

const QStringList fullRun{
    QStringLiteral("create application"),
    QStringLiteral("authenticate Administrator Geheim 1ä"),
    QStringLiteral("settings"),
    QStringLiteral("create settings"),
    QStringLiteral("routes"),
    QStringLiteral("create routes"),
    QStringLiteral("refresh"),
    QStringLiteral("release routes"),
    QStringLiteral("release settings"),
    QStringLiteral("release application"),
};

// Every object the stand-in made has been released.
void expectAllReleased(const StandinScratch& scratch) {
    for (const char* name : {"application", "settings", "routes"}) {
        EXPECT_EQ(scratch.count(QStringLiteral("create ") + QLatin1String(name)),
                  scratch.count(QStringLiteral("release ") + QLatin1String(name)))
            << name;
    }
}

QString unsupported(const QString& member) {
    return QStringLiteral("Die Methode '%1' wird vom Automatisierungsobjekt nicht unterstützt")
        .arg(member);
}

} // namespace

TEST(RouteRefresh, MakesTheFourCallsInOrderAndReleasesEverything) {
    for (const StandinScratch::Kind kind : StandinScratch::kinds()) {
        SCOPED_TRACE(StandinScratch::kindName(kind));
        StandinScratch scratch(kind);
        QString password = QStringLiteral("Geheim 1ä");
        refreshRoutes(password, scratch.automationDir());
        EXPECT_EQ(scratch.events(), fullRun);
        EXPECT_EQ(password, QStringLiteral("Geheim 1ä"));
    }
}

TEST(RouteRefresh, PasswordLeftByTheLoginIsStoredBack) {
    for (const StandinScratch::Kind kind : StandinScratch::kinds()) {
        SCOPED_TRACE(StandinScratch::kindName(kind));
        StandinScratch scratch(kind);
        StandinScratch::set("PASSWORD_OUT", QStringLiteral("Neu 2ö"));
        QString password = QStringLiteral("Geheim 1ä");
        refreshRoutes(password, scratch.automationDir());
        EXPECT_EQ(password, QStringLiteral("Neu 2ö"));
        EXPECT_EQ(scratch.events(), fullRun);

        // The next refresh logs in with the password the object left.
        refreshRoutes(password, scratch.automationDir());
        EXPECT_EQ(scratch.count(QStringLiteral("authenticate Administrator Neu 2ö")), 1);
    }
}

TEST(RouteRefresh, EmptyPasswordStillGoesOnToTheRoutes) {
    for (const StandinScratch::Kind kind : StandinScratch::kinds()) {
        SCOPED_TRACE(StandinScratch::kindName(kind));
        StandinScratch scratch(kind);
        StandinScratch::set("PASSWORD_OUT", QString());
        QString password;
        refreshRoutes(password, scratch.automationDir());
        EXPECT_EQ(scratch.count(QStringLiteral("authenticate Administrator ")), 1);
        EXPECT_EQ(scratch.count(QStringLiteral("refresh")), 1);
        EXPECT_TRUE(password.isEmpty());
        expectAllReleased(scratch);
    }
}

TEST(RouteRefresh, TwoRefreshesMakeTwoObjectsAndLogInTwice) {
    for (const StandinScratch::Kind kind : StandinScratch::kinds()) {
        SCOPED_TRACE(StandinScratch::kindName(kind));
        StandinScratch scratch(kind);
        QString password = QStringLiteral("Geheim 1ä");
        refreshRoutes(password, scratch.automationDir());
        refreshRoutes(password, scratch.automationDir());
        EXPECT_EQ(scratch.events(), fullRun + fullRun);
    }
}

TEST(RouteRefresh, WithoutRegistrationOnlyTheCreationIsTried) {
    StandinScratch scratch;
    QString password = QStringLiteral("Geheim");
    EXPECT_EQ(errorOf([&] { refreshRoutes(password, scratch.path(QStringLiteral("leer"))); }),
              QStringLiteral("Ungültige Klassenzeichenfolge"));
    EXPECT_TRUE(scratch.events().isEmpty());
    EXPECT_EQ(password, QStringLiteral("Geheim"));
}

// A member that reports an error ends the refresh there: the steps after it are
// not made and every object obtained so far is released.
class RouteRefreshFailure : public ::testing::TestWithParam<const char*> {};

TEST_P(RouteRefreshFailure, ErrorOfTheObjectEndsTheRefreshAtThatMember) {
    const QString member = QLatin1String(GetParam());
    const qsizetype callIndex =
        fullRun.indexOf(member == QLatin1String("authenticate")
                            ? QStringLiteral("authenticate Administrator Geheim 1ä")
                            : member);
    struct Case {
        QString description;
        QString code;
        QString message;
        // A COM object may leave its description to EXCEPINFO's deferred
        // callback; a plugin's stand-in gives it at once either way.
        bool deferred = false;
    };
    const Case cases[] = {
        {QStringLiteral("Zugriff nicht erlaubt. \r\n"), QStringLiteral("0x80004005"),
         QStringLiteral("Zugriff nicht erlaubt")},
        {QStringLiteral("Ungültiges Kennwort für „Administrator“."), QStringLiteral("0x80004005"),
         QStringLiteral("Ungültiges Kennwort für „Administrator“")},
        {QStringLiteral("Routen können nicht geladen werden: Datenbank gesperrt."),
         QStringLiteral("0x80004005"),
         QStringLiteral("Routen können nicht geladen werden: Datenbank gesperrt"), true},
        {QString(), QStringLiteral("0x80070005"), QStringLiteral("Zugriff verweigert")},
        {QStringLiteral(" ..."), QStringLiteral("0x80004005"),
         QStringLiteral("Unbekannter Fehler")},
        {QString(), QStringLiteral("0x8004DEAD"), QStringLiteral("OLE-Fehler 8004DEAD")},
    };
    for (const StandinScratch::Kind kind : StandinScratch::kinds()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(StandinScratch::kindName(kind));
            StandinScratch scratch(kind);
            StandinScratch::set("FAIL", member);
            StandinScratch::set("FAIL_DESC", c.description);
            StandinScratch::set("FAIL_CODE", c.code);
            if (c.deferred) {
                StandinScratch::set("FAIL_DEFERRED", QStringLiteral("1"));
            }
            StandinScratch::set("PASSWORD_OUT", QStringLiteral("Neu"));
            QString password = QStringLiteral("Geheim 1ä");
            EXPECT_EQ(errorOf([&] { refreshRoutes(password, scratch.automationDir()); }), c.message)
                << c.code.toStdString();

            const QStringList events = scratch.events();
            // The calls up to the failing one, then nothing but releases.
            EXPECT_EQ(events.mid(0, callIndex + 1), fullRun.mid(0, callIndex + 1));
            for (const QString& event : events.mid(callIndex + 1)) {
                EXPECT_TRUE(event.startsWith(QLatin1String("release "))) << event.toStdString();
            }
            expectAllReleased(scratch);
            // A failed login hands no password back; one that succeeded did.
            EXPECT_EQ(password, member == QLatin1String("authenticate")
                                    ? QStringLiteral("Geheim 1ä")
                                    : QStringLiteral("Neu"));
        }
    }
}

TEST_P(RouteRefreshFailure, MissingMemberIsNotSupported) {
    for (const StandinScratch::Kind kind : StandinScratch::kinds()) {
        SCOPED_TRACE(StandinScratch::kindName(kind));
        const QString member = QLatin1String(GetParam());
        StandinScratch scratch(kind);
        StandinScratch::set("MISSING", member);
        QString password = QStringLiteral("Geheim 1ä");
        EXPECT_EQ(errorOf([&] { refreshRoutes(password, scratch.automationDir()); }),
                  unsupported(member));

        const QStringList events = scratch.events();
        const QStringList calls{QStringLiteral("authenticate Administrator Geheim 1ä"),
                                QStringLiteral("settings"), QStringLiteral("routes"),
                                QStringLiteral("refresh")};
        const qsizetype missingIndex =
            calls.indexOf(member == QLatin1String("authenticate") ? calls[0] : member);
        for (qsizetype i = 0; i < calls.size(); ++i) {
            EXPECT_EQ(events.count(calls[i]), i < missingIndex ? 1 : 0) << calls[i].toStdString();
        }
        expectAllReleased(scratch);
    }
}

INSTANTIATE_TEST_SUITE_P(Members, RouteRefreshFailure,
                         ::testing::Values("authenticate", "settings", "routes", "refresh"));
