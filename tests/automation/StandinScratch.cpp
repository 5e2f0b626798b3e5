#include "StandinScratch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

const char* const variableSuffixes[] = {"LOG",     "FAIL",         "FAIL_DESC",    "FAIL_CODE",
                                        "MISSING", "PASSWORD_OUT", "FAIL_DEFERRED"};

QByteArray variableName(const char* suffix) {
    return QByteArray("TARVELO_STANDIN_") + suffix;
}

} // namespace

QList<StandinScratch::Kind> StandinScratch::kinds() {
    if (ComStandin::available()) {
        return {Kind::Plugin, Kind::Com};
    }
    return {Kind::Plugin};
}

const char* StandinScratch::kindName(Kind kind) {
    return kind == Kind::Com ? "COM-Stand-in" : "Plugin-Stand-in";
}

StandinScratch::StandinScratch(Kind kind) {
    clearVariables();
    EXPECT_TRUE(m_dir.isValid());
    EXPECT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("automation")));
    if (kind == Kind::Com) {
        m_com = std::make_unique<ComStandin>();
    } else {
        m_noCom = std::make_unique<ComStandin::Absent>();
        const QString plugin = QStringLiteral(TARVELO_STANDIN_PLUGIN);
        EXPECT_TRUE(QFile::copy(plugin, automationDir() + u'/' + QFileInfo(plugin).fileName()));
    }
    set("LOG", path(QStringLiteral("standin.log")));
}

StandinScratch::~StandinScratch() {
    clearVariables();
}

QString StandinScratch::path(const QString& name) const {
    return m_dir.filePath(name);
}

// In the system's 8-bit encoding, which qEnvironmentVariable() decodes: UTF-8
// on Linux, the ANSI code page on Windows.
void StandinScratch::set(const char* suffix, const QString& value) {
    qputenv(variableName(suffix).constData(), value.toLocal8Bit());
}

void StandinScratch::clearVariables() {
    for (const char* suffix : variableSuffixes) {
        qunsetenv(variableName(suffix).constData());
    }
}

QStringList StandinScratch::events() const {
    QFile log(path(QStringLiteral("standin.log")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(log.readAll()).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

int StandinScratch::count(const QString& event) const {
    return static_cast<int>(events().count(event));
}
