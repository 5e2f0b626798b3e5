#pragma once

#include "platform/RegularFile.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

// What the line-file tests of every platform share.

// The message of the TarveloError that f raises, or "<kein Fehler>".
template <class F> QString errorOf(F f) {
    try {
        f();
    } catch (const TarveloError& e) {
        return e.message();
    }
    return QStringLiteral("<kein Fehler>");
}

template <class F> std::optional<IoError> ioErrorOf(F f) {
    try {
        f();
    } catch (const IoError& e) {
        return e;
    }
    return std::nullopt;
}

class TextFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

// The two ways of replacing a line file: through a link at the name (the
// exception file) and never through one (protocol files). Everything but
// links they do alike.
struct Replacer {
    const char* name;
    void (*replace)(const QString& path, const QStringList& lines);
};

class TextFileReplace : public TextFileTest, public ::testing::WithParamInterface<Replacer> {
protected:
    void replace(const QString& file, const QStringList& lines) { GetParam().replace(file, lines); }
    // The names in dir, hidden ones included: no temporary file may stay.
    static QStringList namesIn(const QString& dir) {
        return QDir(dir).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

// A name and whether it is a regular file, the only kind that is read.
struct ReadableCase {
    QString file;
    bool regular;
};

// Each name counts as a list file, and is read without error, exactly when
// it is a regular file; anything else cannot be opened.
inline void expectOnlyRegularFilesRead(const std::vector<ReadableCase>& cases) {
    for (const ReadableCase& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        EXPECT_EQ(RegularFile::exists(c.file), c.regular);
        const QString message = errorOf([&] { TextFile::readLines(c.file); });
        if (c.regular) {
            EXPECT_EQ(message, QStringLiteral("<kein Fehler>"));
        } else {
            EXPECT_EQ(message, QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(c.file));
        }
    }
}
