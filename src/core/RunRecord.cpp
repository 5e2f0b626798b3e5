#include "core/RunRecord.h"

#include "core/ProtocolFileName.h"
#include "core/SyncPlan.h"
#include "platform/OneLine.h"
#include "platform/TextFile.h"

void RunRecord::begin(const QString& protocolDir, const QString& header) {
    const std::lock_guard lock(m_mutex);
    m_active = !protocolDir.isEmpty();
    m_dir = protocolDir;
    m_header = header;
    m_plan = nullptr;
    m_stored = 0;
    m_inHand = -1;
}

void RunRecord::planned(const SyncPlan& plan) {
    const std::lock_guard lock(m_mutex);
    m_plan = &plan;
}

void RunRecord::progress(int stored, int inHand) {
    const std::lock_guard lock(m_mutex);
    m_stored = stored;
    m_inHand = inHand;
}

void RunRecord::end() {
    const std::lock_guard lock(m_mutex);
    m_active = false;
    m_plan = nullptr;
}

bool RunRecord::active() const {
    const std::lock_guard lock(m_mutex);
    return m_active;
}

QStringList RunRecord::takeLines(bool withChangeInHand, QString& dir) {
    const std::lock_guard lock(m_mutex);
    if (!m_active) {
        return {};
    }
    m_active = false;
    dir = m_dir;
    QStringList lines{m_header};
    if (m_plan != nullptr) {
        for (int i = 0; i < m_stored; ++i) {
            lines.append(m_plan->changes[static_cast<size_t>(i)].protocolLine());
        }
        if (withChangeInHand && m_inHand >= m_stored) {
            lines.append(m_plan->changes[static_cast<size_t>(m_inHand)].protocolLine());
        }
    }
    m_plan = nullptr;
    return lines;
}

void RunRecord::writeFailure(const QString& message, const QDateTime& now) {
    QString dir;
    QStringList lines = takeLines(true, dir);
    if (lines.isEmpty()) {
        return;
    }
    // A driver's message may run over several lines; the record's last line
    // is the whole of it, as in the log.
    lines.append(QStringLiteral("Fehler: ") + OneLine::forLog(message));
    TextFile::replaceLinesNoFollow(
        dir + protocolFileName(now.date(), now.time(), ProtocolKind::Failed), lines);
}

void RunRecord::writeStop(const QString& closing, const QDateTime& now) {
    QString dir;
    QStringList lines = takeLines(false, dir);
    if (lines.isEmpty()) {
        return;
    }
    lines.append(closing);
    TextFile::replaceLinesNoFollow(
        dir + protocolFileName(now.date(), now.time(), ProtocolKind::Stopped), lines);
}
