#pragma once

#include <QObject>
#include <QString>

// Implemented by an automation object (with Q_INTERFACES) that can fail while
// executing a member: the member records a description and an error code
// (an HRESULT) instead of throwing, and the caller collects them right after
// the call.
class AutomationErrorSource {
public:
    virtual ~AutomationErrorSource() = default;

    // Hands over the error that the last member call left, and forgets it.
    // False when that call succeeded.
    virtual bool takeError(QString* description, quint32* code) = 0;
};

#define AutomationErrorSource_iid "org.tarvelo.AutomationErrorSource/1.0"
Q_DECLARE_INTERFACE(AutomationErrorSource, AutomationErrorSource_iid)
