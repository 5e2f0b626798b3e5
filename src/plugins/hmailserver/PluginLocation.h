#pragma once

#include <QString>

namespace PluginLocation {

// The directory this plugin was loaded from (the "automation" directory beside
// the executable), where its configuration file lies.
QString directory();

// The configuration file hmailserver.ini in that directory.
QString configFile();

} // namespace PluginLocation
