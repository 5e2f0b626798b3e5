#pragma once

#include "automation/AutomationObject.h"

#include <QString>

// Where automation classes come from: the Qt plugins in a directory (the
// program's "automation" beside the executable), each naming its ProgIDs in
// its metadata ({"ProgIDs": [...]}) and implementing AutomationFactory.
// ProgIDs match ignoring the case of A to Z; the first plugin in file-name
// order that names one serves it. The directory is read afresh for every
// look-up.
class AutomationRegistry {
public:
    // A registered class: the plugin that serves it and the ProgID as the
    // plugin spells it.
    struct Registration {
        QString pluginPath;
        QString progId;
    };

    // The registration of progId among the plugins in pluginDirectory; an
    // empty plugin path when there is none.
    static Registration find(const QString& progId, const QString& pluginDirectory);
};

// A new object of the class registered as progId, owned by the handle: the
// class the system registers (see SystemClasses.h), else the plugin's.
// Without a registration raises "Ungültige Klassenzeichenfolge"; a plugin that
// cannot be loaded "Das angegebene Modul wurde nicht gefunden"; a plugin that
// makes no object "Klasse nicht registriert", or the reason it gives.
AutomationObject createOleObject(const QString& progId, const QString& pluginDirectory);
