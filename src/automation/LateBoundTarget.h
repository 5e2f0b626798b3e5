#pragma once

#include "automation/AutomationArgument.h"

#include <QList>
#include <QString>

#include <memory>

class QObject;

// The object behind an automation reference, whose members are found by name
// right before each call: a QObject of an automation plugin, or on Windows a
// COM object through IDispatch. Dropping the target releases its reference.
class LateBoundTarget {
public:
    enum class Kind { Method, MethodOrPropertyGet };

    virtual ~LateBoundTarget() = default;

    // Calls the member name. Arguments passed by reference receive what the
    // member left in them, only when the call succeeded. *isObject tells
    // whether the member returned an object; the reference to it is returned
    // (null when it returned none, or a null object). Raises TarveloError.
    virtual std::unique_ptr<LateBoundTarget> invoke(const QString& name, Kind kind,
                                                    QList<AutomationArgument>& arguments,
                                                    bool* isObject) = 0;

    // The QObject behind the reference; nullptr for an object of another kind
    // and for one that is gone.
    virtual QObject* object() const = 0;
    // False once the object is gone.
    virtual bool isAlive() const = 0;
};
