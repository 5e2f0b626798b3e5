#pragma once

#include <QString>

#include <functional>

// Asks the running mail server to reload its routes through its administration
// object "hMailServer.Application" (the system's class, else the plugin in
// pluginDirectory that serves it): logs in as "Administrator" with
// adminPassword, gets "settings", its "routes", and calls "refresh". The login
// passes the password by reference: what the object leaves in it is stored
// back into adminPassword. Each call makes its own application object; every
// object obtained is released on every way out. The first failing step raises
// TarveloError with the object's or the system's message; the steps after it
// are not made. While the mail server is waited for, whileWaiting is called
// about every twentieth of a second (the window breathes); when it returns
// false, the wait is given up and the refresh ends with the object's message
// that it was stopped.
void refreshRoutes(QString& adminPassword, const QString& pluginDirectory,
                   const std::function<bool()>& whileWaiting = {});
