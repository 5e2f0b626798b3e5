#pragma once

#include "automation/AutomationErrorSource.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

// An automation object in the test program itself, for the invocation layer:
// records its calls and, when told, reports an error from every member.
class ScriptedObject : public QObject, public AutomationErrorSource {
    Q_OBJECT
    Q_INTERFACES(AutomationErrorSource)
    Q_PROPERTY(QObject* child READ child)
    Q_PROPERTY(QString title READ title)

public:
    explicit ScriptedObject(QObject* parent = nullptr) : QObject(parent) {}

    // Every member called from now on reports this error.
    void failCalls(const QString& description, quint32 code) {
        m_failing = true;
        m_failDescription = description;
        m_failCode = code;
    }
    // Leaves an error behind as if a call had failed unnoticed.
    void leaveError(const QString& description, quint32 code) {
        m_hasError = true;
        m_description = description;
        m_code = code;
    }

    bool takeError(QString* description, quint32* code) override {
        if (!m_hasError) {
            return false;
        }
        *description = m_description;
        *code = m_code;
        m_hasError = false;
        return true;
    }

    QStringList calls;
    QPointer<QObject> lastMade;

    Q_INVOKABLE void login(const QString& user, QString& password) {
        enter(QStringLiteral("login %1 %2").arg(user, password));
        password = QStringLiteral("neu-") + password;
    }
    Q_INVOKABLE void swapVariant(QVariant& value) {
        enter(QStringLiteral("swapVariant ") + value.toString());
        value = QVariant(42);
    }
    Q_INVOKABLE int add(int a, int b) {
        enter(QStringLiteral("add %1 %2").arg(a).arg(b));
        return a + b;
    }
    // A fresh object without a parent: the caller's.
    Q_INVOKABLE ScriptedObject* makeOwned() {
        enter(QStringLiteral("makeOwned"));
        auto* made = new ScriptedObject;
        lastMade = made;
        return made;
    }
    // A child of this object: stays this object's.
    Q_INVOKABLE QObject* makeChild() {
        enter(QStringLiteral("makeChild"));
        auto* made = new ScriptedObject(this);
        lastMade = made;
        return made;
    }
    Q_INVOKABLE QObject* self() {
        enter(QStringLiteral("self"));
        return this;
    }
    Q_INVOKABLE QObject* nothing() {
        enter(QStringLiteral("nothing"));
        return nullptr;
    }
    Q_INVOKABLE QString text() {
        enter(QStringLiteral("text"));
        return QStringLiteral("kein Objekt");
    }
    Q_INVOKABLE void Refresh() { enter(QStringLiteral("Refresh")); }
    Q_INVOKABLE void mark() { enter(QStringLiteral("mark")); }
    Q_INVOKABLE void Mark() { enter(QStringLiteral("Mark")); }

    QObject* child() {
        enter(QStringLiteral("child"));
        if (!m_child) {
            m_child = new ScriptedObject(this);
        }
        return m_child;
    }
    QString title() const { return QStringLiteral("Titel"); }

signals:
    void changed();

public slots:
    void ping() { enter(QStringLiteral("ping")); }

private slots:
    void hidden() { enter(QStringLiteral("hidden")); }

private:
    void enter(const QString& call) {
        calls.append(call);
        if (m_failing) {
            leaveError(m_failDescription, m_failCode);
        }
    }

    bool m_failing = false;
    QString m_failDescription;
    quint32 m_failCode = 0;
    bool m_hasError = false;
    QString m_description;
    quint32 m_code = 0;
    QPointer<ScriptedObject> m_child;
};
