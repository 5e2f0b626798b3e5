#include "core/RunRecord.h"

#include "core/SyncRun.h"
#include "platform/TextFile.h"

void RunRecord::begin(const QString& protocolDir, const QString& header) {
    const std::lock_guard lock(m_mutex);
    m_active = !protocolDir.isEmpty();
    m_dir = protocolDir;
    m_lines = {header};
}

void RunRecord::add(const QString& line) {
    const std::lock_guard lock(m_mutex);
    if (m_active) {
        m_lines.append(line);
    }
}

void RunRecord::end() {
    const std::lock_guard lock(m_mutex);
    m_active = false;
    m_lines.clear();
}

bool RunRecord::active() const {
    const std::lock_guard lock(m_mutex);
    return m_active;
}

QStringList RunRecord::lines() const {
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

QString RunRecord::failureFileName(const QDateTime& now) {
    QString name = protocolFileName(now.date(), now.time());
    name.insert(name.size() - 4, QStringLiteral("-fehler"));
    return name;
}

void RunRecord::writeFailure(const QString& message, const QDateTime& now) {
    QStringList lines;
    QString dir;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_active) {
            return;
        }
        m_active = false;
        lines = std::move(m_lines);
        m_lines.clear();
        dir = m_dir;
    }
    lines.append(QStringLiteral("Fehler: ") + message);
    TextFile::replaceLinesNoFollow(dir + failureFileName(now), lines);
}
