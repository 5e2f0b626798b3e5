#pragma once

#include "StandinLogin.h"

// The application object: login and the server's settings.
class StandinApplication : public StandinLogin {
    Q_OBJECT

public:
    using StandinLogin::StandinLogin;

    // A new settings object, owned by the caller.
    Q_INVOKABLE QObject* settings();
};
