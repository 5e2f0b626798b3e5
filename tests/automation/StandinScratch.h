#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A scratch directory with a copy of the stand-in administration plugin in its
// "automation" folder, searched instead of the one beside the test program.
// The stand-in is configured through its environment variables; the scratch
// clears them on entry and on exit, and points the event log into itself.
class StandinScratch {
public:
    StandinScratch();
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
};
