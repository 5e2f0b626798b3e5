#pragma once

#include "StandinConfig.h"
#include "automation/AutomationErrorSource.h"

#include <QObject>
#include <memory>

// A stand-in object without members of its own: records its creation and its
// release, the calls of its members, and reports the configured error. Used as is where a
// member is to be missing.
class StandinObject : public QObject, public AutomationErrorSource {
    Q_OBJECT
    Q_INTERFACES(AutomationErrorSource)

public:
    StandinObject(std::shared_ptr<const StandinConfig> config, QString name);
    ~StandinObject() override;

    bool takeError(QString* description, quint32* code) override;

protected:
    const StandinConfig& config() const { return *m_config; }
    std::shared_ptr<const StandinConfig> sharedConfig() const { return m_config; }
    void record(const QString& line) const;
    // Records the call of member; true (with the error set) when it is to fail.
    bool enter(const QString& member, const QString& line);

private:
    std::shared_ptr<const StandinConfig> m_config;
    QString m_name;
    bool m_hasError = false;
    QString m_errorDescription;
    quint32 m_errorCode = 0;
};
