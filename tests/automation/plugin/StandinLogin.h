#pragma once

#include "StandinObject.h"

// The application object without "settings".
class StandinLogin : public StandinObject {
    Q_OBJECT

public:
    explicit StandinLogin(std::shared_ptr<const StandinConfig> config);

    // The password is passed by reference, as the mail server's object takes it.
    Q_INVOKABLE void authenticate(const QString& user, QString& password);
};
