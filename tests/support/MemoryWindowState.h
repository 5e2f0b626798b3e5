#pragma once

#include "core/WindowState.h"

#include <QString>
#include <QStringList>

// The window state held in memory, without controls.
class MemoryWindowState : public WindowState {
public:
    QString emailliste() const override { return m_emailliste; }
    void setEmailliste(const QString& text) override { m_emailliste = text; }
    QString domain() const override { return m_domain; }
    void setDomain(const QString& text) override { m_domain = text; }
    QString zaehler() const { return m_zaehler; }
    void setZaehler(const QString& caption) override { m_zaehler = caption; }
    QStringList protokollLines() const { return m_protokoll; }
    int protokollLineCount() const { return m_protokoll.size(); }
    void clearProtokoll() override { m_protokoll.clear(); }
    void addProtokollLine(const QString& line) override { m_protokoll.append(line); }
    void setSyncEnabled(bool enabled) override { m_syncEnabled = enabled; }
    bool syncEnabled() const { return m_syncEnabled; }
    void requestTermination() override { m_terminationRequested = true; }
    bool terminationRequested() const { return m_terminationRequested; }

private:
    QString m_emailliste;
    QString m_domain;
    QString m_zaehler = QStringLiteral("...");
    QStringList m_protokoll;
    bool m_syncEnabled = true;
    bool m_terminationRequested = false;
};
