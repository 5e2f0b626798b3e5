#pragma once

#include <QObject>

#include <functional>

// Implemented by an automation object (with Q_INTERFACES) whose members wait
// for something outside the program, such as another process or another
// host. While such a member waits, it calls the hook its caller set, about
// every twentieth of a second, so that the caller's window stays painted, as
// the message loop of an apartment keeps it painted while a call into
// another process waits.
class AutomationWaiting {
public:
    virtual ~AutomationWaiting() = default;

    // The hook for the calls to come; an empty one for none.
    virtual void setWhileWaiting(std::function<void()> hook) = 0;
};

#define AutomationWaiting_iid "org.tarvelo.AutomationWaiting/1.0"
Q_DECLARE_INTERFACE(AutomationWaiting, AutomationWaiting_iid)
