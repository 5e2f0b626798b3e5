#include "automation/AutomationRegistry.h"

#include "automation/AutomationErrorSource.h"
#include "automation/AutomationFactory.h"
#include "automation/OleErrorText.h"
#include "automation/SystemClasses.h"
#include "platform/AsciiCase.h"
#include "platform/TarveloError.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>

AutomationRegistry::Registration AutomationRegistry::find(const QString& progId,
                                                          const QString& pluginDirectory) {
    if (pluginDirectory.isEmpty()) {
        return {};
    }
    const QFileInfoList files = QDir(pluginDirectory).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (!QLibrary::isLibrary(file.fileName())) {
            continue;
        }
        // Reads the metadata without loading the library.
        const QJsonObject metaData = QPluginLoader(file.absoluteFilePath()).metaData();
        if (metaData.value(QLatin1String("IID")).toString() !=
            QLatin1String(AutomationFactory_iid)) {
            continue;
        }
        const QJsonArray progIds = metaData.value(QLatin1String("MetaData"))
                                       .toObject()
                                       .value(QLatin1String("ProgIDs"))
                                       .toArray();
        for (const QJsonValue& value : progIds) {
            const QString registered = value.toString();
            if (!registered.isEmpty() && AsciiCase::equalIgnoringCase(registered, progId)) {
                return {file.absoluteFilePath(), registered};
            }
        }
    }
    return {};
}

AutomationObject createOleObject(const QString& progId, const QString& pluginDirectory) {
    // A class the system registers (COM on Windows) comes first: it is the
    // mail server's own object on its host.
    std::unique_ptr<LateBoundTarget> registered = SystemClasses::create(progId);
    if (registered) {
        return AutomationObject(std::move(registered));
    }
    const AutomationRegistry::Registration registration =
        AutomationRegistry::find(progId, pluginDirectory);
    if (registration.pluginPath.isEmpty()) {
        throw TarveloError(OleErrorText::message(OleErrorText::kInvalidClassString));
    }
    // The library stays loaded for the rest of the process: its objects may
    // outlive this call, and the loader keeps the root object.
    QPluginLoader loader(registration.pluginPath);
    QObject* root = loader.instance();
    if (root == nullptr) {
        throw TarveloError(OleErrorText::message(OleErrorText::kModuleNotFound));
    }
    auto* factory = qobject_cast<AutomationFactory*>(root);
    QObject* object = factory != nullptr ? factory->create(registration.progId) : nullptr;
    if (object == nullptr) {
        // A plugin that can say why it made nothing (e.g. it is not set up) is heard.
        auto* errorSource = qobject_cast<AutomationErrorSource*>(root);
        QString description;
        quint32 code = 0;
        if (errorSource != nullptr && errorSource->takeError(&description, &code)) {
            throw TarveloError(OleErrorText::forException(description, code));
        }
        throw TarveloError(OleErrorText::message(OleErrorText::kClassNotRegistered));
    }
    return AutomationObject(object);
}
