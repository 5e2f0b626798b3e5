#pragma once

#include <QObject>
#include <QString>

// The root object of an automation plugin: makes the objects of the ProgIDs
// that the plugin names in its metadata, e.g. {"ProgIDs": ["Vendor.Application"]}.
//
// Ownership of automation objects: an object that create() returns, or that a
// member returns as its result, belongs to the caller when it has no parent;
// the caller deletes it once done with it. An object with a parent stays its
// parent's; the caller only uses it, and never past its parent's life. A plugin
// therefore hands out fresh objects without a parent, or children of an object
// the caller holds. An object whose member returns the object itself is still
// released once, by the handle that held it.
//
// Members must not throw: an object reports a failed call through
// AutomationErrorSource.
class AutomationFactory {
public:
    virtual ~AutomationFactory() = default;

    // A new object of the class registered as progId (spelled as in the
    // plugin's metadata), or nullptr when the plugin cannot make one. A root
    // object that also implements AutomationErrorSource may leave the reason
    // there; the creation then fails with that description.
    virtual QObject* create(const QString& progId) = 0;
};

#define AutomationFactory_iid "org.tarvelo.AutomationFactory/1.0"
Q_DECLARE_INTERFACE(AutomationFactory, AutomationFactory_iid)
