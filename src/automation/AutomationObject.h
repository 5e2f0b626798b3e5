#pragma once

#include "automation/AutomationArgument.h"
#include "automation/LateBoundTarget.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

// A reference to an automation object, with late-bound calls by member name.
//
// The reference is released when the handle goes. For a QObject (see
// MetaObjectTarget.h): an object without a parent is the caller's (see
// AutomationFactory.h) and is deleted then; an object with a parent is left
// to it. For a COM object its IDispatch reference is released. Handles are
// moved, never copied, so each object is released exactly once.
//
// Members are looked up by name right before each call. Every failure raises
// TarveloError with the German message: an unknown member "Die Methode
// '<name>' wird vom Automatisierungsobjekt nicht unterstützt", an error the
// object reports its description (see OleErrorText::forException), any other
// failure the system text for its code.
class AutomationObject {
public:
    AutomationObject() = default;
    // Takes the reference to object (which may be nullptr).
    explicit AutomationObject(QObject* object);
    // Takes the reference that target holds (which may be null).
    explicit AutomationObject(std::unique_ptr<LateBoundTarget> target);
    ~AutomationObject();

    AutomationObject(AutomationObject&& other) noexcept;
    AutomationObject& operator=(AutomationObject&& other) noexcept;
    AutomationObject(const AutomationObject&) = delete;
    AutomationObject& operator=(const AutomationObject&) = delete;

    // The QObject behind the reference; nullptr for a COM object.
    QObject* object() const { return m_target ? m_target->object() : nullptr; }
    bool isNull() const { return !m_target || !m_target->isAlive(); }
    // Releases the reference now; the handle is null afterwards.
    void release();

    // Calls the method name. Arguments passed by reference receive what the
    // method left in them. A result is not asked for: an object it returns is
    // released at once.
    void call(const QString& name, QList<AutomationArgument>& arguments);
    void call(const QString& name);
    // The same, for a member that may wait for something outside the
    // program: while it waits, the object calls whileWaiting, and gives the
    // wait up when that returns false (see AutomationWaiting); an object that
    // never waits ignores it.
    void call(const QString& name, const std::function<bool()>& whileWaiting);

    // "Method or property get" without arguments, whose result is an object.
    AutomationObject get(const QString& name);

private:
    std::unique_ptr<LateBoundTarget> m_target;
};
