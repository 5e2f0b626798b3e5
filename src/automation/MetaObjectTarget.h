#pragma once

#include "automation/LateBoundTarget.h"

#include <QObject>
#include <QPointer>

// A QObject as an automation object: members are looked up in its
// meta-object, public invokable methods and slots and readable properties of
// its own classes (QObject's members are not offered), names matched ignoring
// the case of A to Z, an exact spelling first. An object reports an error of
// its own through AutomationErrorSource.
//
// An object without a parent is the reference's and is deleted with it; one
// with a parent is left to that parent (see AutomationFactory.h).
class MetaObjectTarget : public LateBoundTarget {
public:
    explicit MetaObjectTarget(QObject* object);
    ~MetaObjectTarget() override;
    MetaObjectTarget(const MetaObjectTarget&) = delete;
    MetaObjectTarget& operator=(const MetaObjectTarget&) = delete;

    std::unique_ptr<LateBoundTarget> invoke(const QString& name, Kind kind,
                                            QList<AutomationArgument>& arguments,
                                            bool* isObject) override;
    QObject* object() const override { return m_object.data(); }
    bool isAlive() const override { return !m_object.isNull(); }

private:
    QPointer<QObject> m_object;
    bool m_owned = false;
};
