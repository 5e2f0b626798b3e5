#pragma once

#include <QString>

namespace PluginLocation {

// The directory this plugin was loaded from (the "automation" directory beside
// the executable), where its configuration file lies.
QString directory();

// The configuration file hmailserver.ini in that directory.
QString configFile();

// The directory of the library file that holds this plugin, as the system's
// loader tells it; empty when it does not. One implementation per platform.
QString loadedFrom();

} // namespace PluginLocation
