#include "automation/AutomationObject.h"
#include "ErrorOf.h"
#include "ScriptedObject.h"

#include <gtest/gtest.h>

namespace {

QString unsupported(const char* name) {
    return QStringLiteral("Die Methode '%1' wird vom Automatisierungsobjekt nicht unterstützt")
        .arg(QLatin1String(name));
}

} // namespace

TEST(AutomationObject, ReferenceArgumentReceivesWhatTheMethodLeft) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    QList<AutomationArgument> arguments{
        AutomationArgument::byValue(QStringLiteral("Administrator")),
        AutomationArgument::reference(QStringLiteral("alt ä")),
    };
    object.call(QStringLiteral("login"), arguments);
    EXPECT_EQ(target->calls, QStringList{QStringLiteral("login Administrator alt ä")});
    EXPECT_EQ(arguments[0].value.toString(), QStringLiteral("Administrator"));
    EXPECT_EQ(arguments[1].value.toString(), QStringLiteral("neu-alt ä"));

    // Passed by value, the caller's text stays as it was.
    QList<AutomationArgument> byValue{
        AutomationArgument::byValue(QStringLiteral("Administrator")),
        AutomationArgument::byValue(QStringLiteral("alt")),
    };
    object.call(QStringLiteral("login"), byValue);
    EXPECT_EQ(byValue[1].value.toString(), QStringLiteral("alt"));

    // A QVariant& parameter is the caller's variant itself.
    QList<AutomationArgument> variant{AutomationArgument::reference(QStringLiteral("x"))};
    object.call(QStringLiteral("swapVariant"), variant);
    EXPECT_EQ(target->calls.last(), QStringLiteral("swapVariant x"));
    EXPECT_EQ(variant[0].value, QVariant(42));
}

TEST(AutomationObject, ArgumentsAreConvertedToTheParameterTypes) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    QList<AutomationArgument> numbers{AutomationArgument::byValue(QStringLiteral("2")),
                                      AutomationArgument::byValue(3.0)};
    object.call(QStringLiteral("add"), numbers);
    EXPECT_EQ(target->calls, QStringList{QStringLiteral("add 2 3")});

    QList<AutomationArgument> wrong{AutomationArgument::byValue(QStringLiteral("zwei")),
                                    AutomationArgument::byValue(3)};
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("add"), wrong); }),
              QStringLiteral("Typenkonflikt"));
    QList<AutomationArgument> tooFew{AutomationArgument::byValue(3)};
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("add"), tooFew); }),
              QStringLiteral("Ungültige Anzahl von Parametern"));
    EXPECT_EQ(target->calls.size(), 1);
}

TEST(AutomationObject, MembersAreFoundByNameIgnoringCaseExactSpellingFirst) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    object.call(QStringLiteral("refresh"));
    object.call(QStringLiteral("REFRESH"));
    object.call(QStringLiteral("mark"));
    object.call(QStringLiteral("Mark"));
    object.call(QStringLiteral("ping")); // a public slot
    EXPECT_EQ(target->calls, (QStringList{"Refresh", "Refresh", "mark", "Mark", "ping"}));
}

TEST(AutomationObject, UnknownMemberIsNotSupported) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("refreshAll")); }),
              unsupported("refreshAll"));
    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("settings")); }), unsupported("settings"));
    // Signals, non-public slots and QObject's own members are not offered.
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("changed")); }), unsupported("changed"));
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("hidden")); }), unsupported("hidden"));
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("deleteLater")); }),
              unsupported("deleteLater"));
    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("objectName")); }),
              unsupported("objectName"));
    EXPECT_TRUE(target->calls.isEmpty());
    EXPECT_FALSE(object.isNull());
}

TEST(AutomationObject, GetReadsAMethodOrAProperty) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    AutomationObject child = object.get(QStringLiteral("child"));
    EXPECT_EQ(child.object(), target->child());
    AutomationObject made = object.get(QStringLiteral("makeOwned"));
    EXPECT_EQ(made.object(), target->lastMade.data());

    // A property is no method.
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("child")); }),
              QStringLiteral("Mitglied nicht gefunden"));
    // A result that is no object, or no object at all.
    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("title")); }),
              QStringLiteral("Typenkonflikt"));
    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("text")); }),
              QStringLiteral("Typenkonflikt"));
    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("nothing")); }),
              QStringLiteral("Ungültiger Zeiger"));
}

TEST(AutomationObject, ObjectsWithoutParentAreReleasedOnceObjectsWithParentAreLeft) {
    auto* owner = new ScriptedObject;
    QPointer<QObject> ownerAlive = owner;
    {
        AutomationObject object(owner);
        QPointer<QObject> owned;
        QPointer<QObject> child;
        {
            AutomationObject made = object.get(QStringLiteral("makeOwned"));
            owned = made.object();
            AutomationObject moved = std::move(made);
            EXPECT_TRUE(made.isNull());
            AutomationObject kept = object.get(QStringLiteral("makeChild"));
            child = kept.object();
        }
        EXPECT_TRUE(owned.isNull());
        EXPECT_FALSE(child.isNull());

        // A result not asked for is released at once.
        object.call(QStringLiteral("makeOwned"));
        EXPECT_TRUE(owner->lastMade.isNull());
        EXPECT_EQ(owner->calls.size(), 3);

        // An object that hands out itself stays the first handle's.
        object.get(QStringLiteral("self")).release();
        EXPECT_FALSE(ownerAlive.isNull());

        // Replacing a handle's object releases the one it held.
        AutomationObject first = object.get(QStringLiteral("makeOwned"));
        QPointer<QObject> firstAlive = first.object();
        first = object.get(QStringLiteral("makeOwned"));
        EXPECT_TRUE(firstAlive.isNull());
        EXPECT_FALSE(first.isNull());
    }
    EXPECT_TRUE(ownerAlive.isNull());
}

TEST(AutomationObject, ReportedErrorBecomesTheMessageAndReleasesTheResult) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    target->failCalls(QStringLiteral("Route nicht gefunden. \r\n"), 0x80004005);
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("refresh")); }),
              QStringLiteral("Route nicht gefunden"));

    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("makeOwned")); }),
              QStringLiteral("Route nicht gefunden"));
    EXPECT_TRUE(target->lastMade.isNull());

    target->failCalls(QStringLiteral(" . "), 0x80070005);
    QList<AutomationArgument> login{AutomationArgument::byValue(QStringLiteral("Administrator")),
                                    AutomationArgument::reference(QStringLiteral("alt"))};
    EXPECT_EQ(errorOf([&] { object.call(QStringLiteral("login"), login); }),
              QStringLiteral("Zugriff verweigert"));
    // A failed call hands nothing back.
    EXPECT_EQ(login[1].value.toString(), QStringLiteral("alt"));

    target->failCalls(QString(), 0x8004DEAD);
    EXPECT_EQ(errorOf([&] { object.get(QStringLiteral("child")); }),
              QStringLiteral("OLE-Fehler 8004DEAD"));
}

TEST(AutomationObject, ErrorLeftBeforeACallIsNotBlamedOnIt) {
    auto* target = new ScriptedObject;
    AutomationObject object(target); // the handle owns it
    target->leaveError(QStringLiteral("alter Fehler"), 0x80004005);
    object.call(QStringLiteral("refresh"));
    EXPECT_EQ(target->calls, QStringList{QStringLiteral("Refresh")});
}
