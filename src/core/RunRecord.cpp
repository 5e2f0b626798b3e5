#include "core/RunRecord.h"

#include "core/ProtocolFileName.h"
#include "core/SyncPlan.h"
#include "platform/OneLine.h"
#include "platform/StandardError.h"
#include "platform/TarveloError.h"

namespace {
// The record is the only trace of the changes a failed or stopped run made:
// where its file cannot be written (a full disk), its lines go to standard
// error, which a scheduler keeps (the journal, cron's mail).
void writeOrShow(const QString& dir, const QDateTime& now, ProtocolKind kind,
                 const QStringList& lines) {
    try {
        writeProtocol(dir, now, kind, lines);
    } catch (const TarveloError& error) {
        StandardError::writeLine(error.message() + QStringLiteral(". Ihr Inhalt:"));
        for (const QString& line : lines) {
            StandardError::writeLine(line);
        }
        throw;
    }
}
} // namespace

void RunRecord::begin(const QString& protocolDir, const QString& header) {
    const std::lock_guard lock(m_mutex);
    m_active = !protocolDir.isEmpty();
    m_dir = protocolDir;
    m_header = header;
    m_plan = nullptr;
    m_stored = 0;
    m_inHand = -1;
    m_inHandEnd = -1;
    m_reserve.reset();
}

void RunRecord::planned(const SyncPlan& plan) {
    const std::lock_guard lock(m_mutex);
    m_reserve.reset();
    if (m_active) {
        // Each line is a string in a list and then its bytes in the file:
        // a generous bound of what writing it takes.
        size_t bytes = 64 * 1024 + 4 * static_cast<size_t>(m_header.size());
        for (const PlannedChange& change : plan.changes) {
            bytes += 128 + 4 * static_cast<size_t>(change.address.size());
        }
        m_reserve.reset(new char[bytes]); // not zeroed: left untouched
    }
    m_plan = &plan;
}

void RunRecord::progress(int stored, int inHand, int inHandEnd) {
    const std::lock_guard lock(m_mutex);
    m_stored = stored;
    m_inHand = inHand;
    m_inHandEnd = inHand < 0 ? -1 : inHandEnd;
}

int RunRecord::changesBeingCommitted() const {
    const std::lock_guard lock(m_mutex);
    return m_inHand >= m_stored && m_inHandEnd > m_inHand ? m_inHandEnd - m_inHand : 0;
}

void RunRecord::end() {
    const std::lock_guard lock(m_mutex);
    m_active = false;
    m_plan = nullptr;
    m_reserve.reset();
}

bool RunRecord::active() const {
    const std::lock_guard lock(m_mutex);
    return m_active;
}

QStringList RunRecord::takeLines(bool withChangeInHand, QString& dir) {
    const std::lock_guard lock(m_mutex);
    m_reserve.reset(); // the room for the lines below
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
            const int end = m_inHandEnd > m_inHand ? m_inHandEnd : m_inHand + 1;
            for (int i = m_inHand; i < end; ++i) {
                lines.append(m_plan->changes[static_cast<size_t>(i)].protocolLine());
            }
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
    writeOrShow(dir, now, ProtocolKind::Failed, lines);
}

void RunRecord::writeStop(const QString& closing, const QDateTime& now) {
    QString dir;
    QStringList lines = takeLines(false, dir);
    if (lines.isEmpty()) {
        return;
    }
    lines.append(closing);
    writeOrShow(dir, now, ProtocolKind::Stopped, lines);
}
