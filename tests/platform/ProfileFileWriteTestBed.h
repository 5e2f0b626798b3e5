#pragma once

#include "platform/ProfileFile.h"
#include "platform/TarveloError.h"

#include "FileTestTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// What the configuration-writing tests of every platform share.

// A hand-kept configuration: odd spacing, comments, CR LF and LF mixed,
// umlauts in Windows-1252, a key line that is not the first of its section.
inline const QByteArray kHandKept = "; Tarvelo \xE4 Konfiguration\r\n"
                                    "[SQL]\r\n"
                                    "Provider = Provider=SQLite;Data Source=/daten/h\xE4il.db\n"
                                    "\r\n"
                                    "[AD]\n"
                                    "  Emails =  /alt/liste.txt  \r\n"
                                    "timestamp=-1\r\n"
                                    ";kommentar\n"
                                    "\n"
                                    "[Options]\r\n"
                                    "Protokoll=/var/log/\r\n";

class ProfileFileWrite : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("tarvelo.ini")) const {
        return m_dir.filePath(name);
    }
    QString withContent(const QByteArray& bytes) {
        EXPECT_TRUE(FileTestTools::writeBytes(path(), bytes));
        return path();
    }
    static QString failureOf(const QString& file, const QString& section, const QString& key,
                             const QString& value) {
        try {
            ProfileFile::writeString(file, section, key, value);
        } catch (const TarveloError& e) {
            return e.message();
        }
        return QStringLiteral("<kein Fehler>");
    }
    static QString cannotWrite(const QString& file) {
        return QStringLiteral("In %1 kann nicht geschrieben werden").arg(file);
    }
    QTemporaryDir m_dir;
};
