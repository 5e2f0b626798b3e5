#pragma once

#include "automation/AutomationArgument.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

// A reference to an automation object, with late-bound calls by member name.
//
// The reference is released when the handle goes: an object without a parent
// is the caller's (see AutomationFactory.h) and is deleted then; an object with
// a parent is left to it. Handles are moved, never copied, so each object is
// released exactly once.
//
// Members are looked up by name in the object's meta-object right before each
// call: public invokable methods and slots, and readable properties, declared
// by the object's own classes (QObject's members are not offered). Names
// match ignoring the case of A to Z, an exact spelling first.
//
// Every failure raises TarveloError with the German message: an unknown
// member "Die Methode '<name>' wird vom Automatisierungsobjekt nicht
// unterstützt", an error the object reports its description (see
// OleErrorText::forException), any other failure the system text for its code.
class AutomationObject {
public:
    AutomationObject() = default;
    // Takes the reference to object (which may be nullptr).
    explicit AutomationObject(QObject* object);
    ~AutomationObject();

    AutomationObject(AutomationObject&& other) noexcept;
    AutomationObject& operator=(AutomationObject&& other) noexcept;
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    QObject* object() const { return m_object.data(); }
    bool isNull() const { return m_object.isNull(); }
    // Releases the reference now; the handle is null afterwards.
    void release();

    // Calls the method name. Arguments passed by reference receive what the
    // method left in them. A result is not asked for: an object it returns is
    // released at once.
    void call(const QString& name, QList<AutomationArgument>& arguments);
    void call(const QString& name);
    // The same, for a member that may wait for something outside the
    // program: while it waits, the object calls whileWaiting (see
    // AutomationWaiting); an object that never waits ignores it.
    void call(const QString& name, const std::function<void()>& whileWaiting);

    // "Method or property get" without arguments, whose result is an object.
    AutomationObject get(const QString& name);

private:
    enum class Kind { Method, MethodOrPropertyGet };
    // Calls the member; the object it returns, if any, as a reference.
    AutomationObject invoke(const QString& name, Kind kind, QList<AutomationArgument>& arguments,
                            bool* isObject);

    QPointer<QObject> m_object;
    bool m_owned = false;
};
