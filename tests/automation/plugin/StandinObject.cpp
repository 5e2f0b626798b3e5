#include "StandinObject.h"

#include <QFile>
#include <QThread>

StandinObject::StandinObject(std::shared_ptr<const StandinConfig> config, QString name)
    : m_config(std::move(config)), m_name(std::move(name)) {
    record(QStringLiteral("create ") + m_name);
}

StandinObject::~StandinObject() {
    record(QStringLiteral("release ") + m_name);
}

bool StandinObject::takeError(QString* description, quint32* code) {
    if (!m_hasError) {
        return false;
    }
    *description = m_errorDescription;
    *code = m_errorCode;
    m_hasError = false;
    return true;
}

void StandinObject::record(const QString& line) const {
    if (m_config->logPath.isEmpty()) {
        return;
    }
    QFile log(m_config->logPath);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append)) {
        log.write(line.toUtf8() + '\n');
    }
}

bool StandinObject::enter(const QString& member, const QString& line) {
    record(line);
    if (m_config->hangMember == member) {
        // Never returns and never calls the caller's waiting hook.
        for (;;) {
            QThread::sleep(60);
        }
    }
    if (m_config->failMember != member) {
        return false;
    }
    m_hasError = true;
    m_errorDescription = m_config->failDescription;
    m_errorCode = m_config->failCode;
    return true;
}
