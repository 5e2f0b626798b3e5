#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "ComStandin.h"

#include <memory>

// A scratch directory whose "automation" folder is searched instead of the
// one beside the test program, with a stand-in for the mail server's
// administration object: a copy of the stand-in plugin there, or (Windows)
// the COM stand-in registered for its ProgID and no plugin. Either stand-in
// is configured through the same environment variables; the scratch clears
// them on entry and on exit, and points the event log into itself.
class StandinScratch {
public:
    enum class Kind { Plugin, Com };
    // The kinds this platform has: the plugin everywhere, COM on Windows.
    static QList<Kind> kinds();
    static const char* kindName(Kind kind);

    explicit StandinScratch(Kind kind = Kind::Plugin);
    ~StandinScratch();
    StandinScratch(const StandinScratch&) = delete;
    StandinScratch& operator=(const StandinScratch&) = delete;

    QString path(const QString& name) const;
    QString automationDir() const { return path(QStringLiteral("automation")); }

    // Sets one of the stand-in's variables, e.g. set("FAIL", "routes") for
    // TARVELO_STANDIN_FAIL.
    static void set(const char* suffix, const QString& value);

    // The events the stand-in recorded, one per line.
    QStringList events() const;
    // The number of events equal to event.
    int count(const QString& event) const;

private:
    static void clearVariables();

    QTemporaryDir m_dir;
    std::unique_ptr<ComStandin> m_com;
    // The plugin serves the ProgID only where no COM class is registered.
    std::unique_ptr<ComStandin::Absent> m_noCom;
};
