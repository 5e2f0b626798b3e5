#pragma once

#include <QVariant>

// One argument of a late-bound call. An argument passed by reference receives,
// after a successful call, what the member left in its parameter (a parameter
// declared as a non-const reference, e.g. QString&).
struct AutomationArgument {
    QVariant value;
    bool byReference = false;

    static AutomationArgument byValue(QVariant value) { return {std::move(value), false}; }
    static AutomationArgument reference(QVariant value) { return {std::move(value), true}; }
};
