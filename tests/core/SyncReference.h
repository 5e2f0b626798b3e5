#pragma once

// The synchronisation run written down literally, step by step, with its
// nested scans: the yardstick the fast run is measured against. Kept slow and
// plain on purpose. It works on the real datasets or on the in-memory
// stand-ins below; the insert pass's look-up is a plain scan of either.

#include "MemoryWindowState.h"
#include "RowAddress.h"
#include "core/ActivityLog.h"
#include "core/Mtools.h"
#include "core/WindowState.h"
#include "core/WorkingList.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "platform/TextFile.h"

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace reference {

// hm_routeaddresses as the run sees it through RA2.
class TableModel {
public:
    explicit TableModel(QList<QPair<qint64, QString>> rows) : m_rows(std::move(rows)) {}

    void open() {
        m_current = 0;
        m_open = true;
    }
    void close() { m_open = false; }
    bool isOpen() const { return m_open; }
    void first() { m_current = 0; }
    void next() { ++m_current; }
    bool eof() const { return m_current >= m_rows.size(); }
    QString routeaddressaddress() const { return m_rows.at(m_current).second; }
    void deleteCurrent() { m_rows.removeAt(m_current); }
    void insert(int routeId, const QString& address) {
        m_rows.append({routeId, address});
        m_current = int(m_rows.size()) - 1;
    }
    const QList<QPair<qint64, QString>>& rows() const { return m_rows; }

private:
    QList<QPair<qint64, QString>> m_rows;
    int m_current = 0;
    bool m_open = false;
};

// hm_routeaddresses itself, walked as the run's steps walk it: the rows read
// through RA2 when opened, each deletion and insertion made through RA2 at
// once.
class DatabaseTable {
public:
    explicit DatabaseTable(RouteAddressDataset& RA2) : m_RA2(RA2) {}

    void open() {
        m_RA2.open();
        m_rows.clear();
        const RouteAddressRows& rows = m_RA2.rows();
        for (int i = 0; i < rows.size(); ++i) {
            m_rows.append({rows.id(i), addressOf(rows, i)});
        }
        m_current = 0;
    }
    void close() { m_RA2.close(); }
    bool isOpen() const { return m_RA2.isOpen(); }
    void first() { m_current = 0; }
    void next() { ++m_current; }
    bool eof() const { return m_current >= m_rows.size(); }
    QString routeaddressaddress() const { return m_rows.at(m_current).second; }
    void deleteCurrent() {
        m_RA2.deleteRow(m_rows.at(m_current).first);
        m_rows.removeAt(m_current);
    }
    void insert(int routeId, const QString& address) {
        m_RA2.insert(routeId, address);
        m_rows.append({-1, address}); // never deleted: the delete pass is over
        m_current = int(m_rows.size()) - 1;
    }

private:
    RouteAddressDataset& m_RA2;
    QList<QPair<qint64, QString>> m_rows; // routeaddressid, routeaddressaddress
    int m_current = 0;
};

// The routes as loaded at start, in the order the routes dataset has them.
class RoutesModel {
public:
    explicit RoutesModel(QList<Route> rows) : m_rows(std::move(rows)) {}
    void first() { m_current = 0; }
    void next() { ++m_current; }
    bool eof() const { return m_current >= m_rows.size(); }
    int routesrouteid() const { return m_rows.at(m_current).routeid; }
    QString routesroutedomainname() const { return m_rows.at(m_current).routedomainname; }
    void disableControls() { ++m_disabled; }
    void enableControls() { --m_disabled; }
    bool controlsDisabled() const { return m_disabled > 0; }

private:
    QList<Route> m_rows;
    int m_current = 0;
    int m_disabled = 0;
};

template <typename Routes, typename Table> struct Context {
    MemoryWindowState& window;
    ActivityLog& log;
    WorkingList& Liste;
    Routes& routes;
    Table& RA2;
    QString exceptionFile;
    QString ProtokollDir;
    const Clock& clock;
    std::function<void()> RoutenCellClick;
};

// The first row whose address equals text, ignoring case, made current.
template <typename Table> bool locate(Table& RA2, const QString& text) {
    for (RA2.first(); !RA2.eof(); RA2.next()) {
        if (AsciiCase::lower(RA2.routeaddressaddress()) == AsciiCase::lower(text)) {
            return true;
        }
    }
    return false;
}

template <typename Routes, typename Table> void btsyncClick(Context<Routes, Table>& c) {
    // 1
    if (c.window.domain().isEmpty()) {
        c.window.setZaehler(QStringLiteral("keine Domain angegeben"));
        return;
    }
    // 2
    c.log.LogMessage(QStringLiteral("Domain: ") + c.window.domain());
    c.log.LogMessage(QStringLiteral("Verarbeite: ") + c.window.emailliste());
    // 3
    std::optional<QStringList> exceptions(TextFile::readLines(c.exceptionFile));
    // 4
    c.routes.disableControls();
    c.window.setSyncEnabled(false);
    bool ra2Opened = false;
    try {
        // 5
        const QString name = c.window.emailliste();
        if (name.isEmpty() || !QFileInfo::exists(name) || QFileInfo(name).isDir()) {
            exceptions.reset();
            c.window.setSyncEnabled(true);
            c.routes.enableControls();
            return;
        }
        // 6
        c.Liste.assign(TextFile::readLines(c.window.emailliste()));
        // 7
        for (int i = 0; i < c.Liste.count(); ++i) {
            const QString A = AsciiCase::lower(c.Liste.at(i));
            for (int j = 0; j < exceptions->size(); ++j) {
                const QString E = exceptions->at(j);
                const QString lowerE = AsciiCase::lower(E);
                if (!lowerE.isEmpty() && A.contains(lowerE)) {
                    c.Liste.replace(i, QStringLiteral("-"));
                    break;
                }
                if (E.startsWith(u'>')) {
                    const QString P = AsciiCase::lower(E.mid(1, 255));
                    if (!P.isEmpty() && A.startsWith(P)) {
                        c.Liste.replace(i, QStringLiteral("-"));
                        break;
                    }
                }
            }
        }
        // 8
        exceptions.reset();
        // 9
        c.routes.first();
        // 10
        c.window.clearProtokoll();
        c.window.addProtokollLine(QStringLiteral("Datei: ") + c.window.emailliste());
        // 11
        ra2Opened = true;
        c.RA2.open();
        c.RA2.first();
        while (!c.RA2.eof()) {
            const QString R = AsciiCase::lower(c.RA2.routeaddressaddress());
            bool wanted = false;
            for (int i = 0; i < c.Liste.count(); ++i) {
                if (AsciiCase::lower(c.Liste.at(i)) == R) {
                    wanted = true;
                    break;
                }
            }
            if (wanted) {
                c.RA2.next();
            } else if (R.contains(c.window.domain()) || c.window.domain() == QStringLiteral("*")) {
                c.window.addProtokollLine(QStringLiteral("Delete ") + R);
                c.RA2.deleteCurrent();
            } else {
                c.RA2.next();
            }
        }
        // 12
        while (!c.routes.eof()) {
            const QString D =
                QStringLiteral("@") + AsciiCase::lower(c.routes.routesroutedomainname());
            const int I = c.routes.routesrouteid();
            for (int i = 0; i < c.Liste.count(); ++i) {
                const QString entry = c.Liste.at(i);
                if (AsciiCase::lower(entry).contains(D) &&
                    (D == c.window.domain() || c.window.domain() == QStringLiteral("*"))) {
                    if (locate(c.RA2, entry)) {
                        continue;
                    }
                    c.window.addProtokollLine(QStringLiteral("Insert ") + QString::number(I) +
                                              QStringLiteral(" ") + entry);
                    c.RA2.insert(I, entry);
                }
            }
            c.routes.next();
        }
        // 13
        c.RA2.close();
        ra2Opened = false;
        c.window.setSyncEnabled(true);
        c.routes.first();
        c.routes.enableControls();
    } catch (...) {
        exceptions.reset();
        if (ra2Opened) {
            c.RA2.close();
        }
        c.window.setSyncEnabled(true);
        c.routes.enableControls();
        throw;
    }
    if (c.RoutenCellClick) {
        c.RoutenCellClick();
    }
    // 14
    if (!c.ProtokollDir.isEmpty()) {
        const QDate today = c.clock.now().date();
        const QTime now = c.clock.now().time();
        const QString name = QStringLiteral("hmail-") + QString::number(today.year()) +
                             Mtools::PadTwo(today.month()) + Mtools::PadTwo(today.day()) +
                             QStringLiteral("-") + Mtools::PadTwo(now.hour()) +
                             Mtools::PadTwo(now.minute()) + Mtools::PadTwo(now.second()) +
                             QStringLiteral(".log");
        if (c.window.protokollLineCount() > 0) {
            TextFile::replaceLines(c.ProtokollDir + name, c.window.protokollLines());
        }
    }
    // 15
    c.window.setZaehler(QString::number(c.window.protokollLineCount()) +
                        QStringLiteral(" Änderungen"));
    // 16
    c.log.LogMessage(QStringLiteral("Ende DBsync"));
}

} // namespace reference
