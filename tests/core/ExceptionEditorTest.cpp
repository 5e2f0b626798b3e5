#include "core/ExceptionEditor.h"

#include "ExceptionEditorTestBed.h"
#include "QStringPrinter.h"
#include "SyncTestBed.h"
#include "core/ExceptionList.h"
#include "core/RouteBrowsing.h"
#include "core/WorkingList.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST_F(ExceptionEditorTest, PrefillIsTheCurrentAddressUnchanged) {
    bed.seed({{1, "example.com"}, {2, "leer.org"}},
             {{1, "Info@Example.com"}, {1, "\u03a9mega@example.com"}});
    bed.routes.setCurrentRow(0);
    RouteBrowsing::loadAddresses(bed.routes, bed.Address);
    EXPECT_EQ(ExceptionEditor::prefill(bed.Address), ">Info@Example.com");
    bed.Address.next();
    // Beyond the code page: accepted, the line must still except the address.
    const QString omega = ExceptionEditor::prefill(bed.Address);
    EXPECT_EQ(omega, QStringLiteral(">\u03a9mega@example.com"));
    EXPECT_TRUE(ExceptionList({omega}).excepts(QStringLiteral("\u03a9mega@example.com")));

    bed.routes.setCurrentRow(1);
    RouteBrowsing::loadAddresses(bed.routes, bed.Address);
    EXPECT_EQ(ExceptionEditor::prefill(bed.Address), ">");
}

TEST_F(ExceptionEditorTest, AddingRewritesTheWholeFileSortedWithCrLf) {
    writeFileBytes(bed.exceptionFile, "zeta\nAlpha\rmid\r\n");
    bed.Liste.assign({"vom letzten Lauf"});
    EXPECT_TRUE(add(">Beta@X.org"));
    EXPECT_EQ(file(), ">beta@x.org\r\nAlpha\r\nmid\r\nzeta\r\n");
    EXPECT_TRUE(bed.Liste.sorted());
    EXPECT_EQ(bed.Liste.lines(), QStringList({">beta@x.org", "Alpha", "mid", "zeta"}));

    EXPECT_TRUE(add("Müller"));
    EXPECT_EQ(file(), ">beta@x.org\r\nAlpha\r\nmid\r\nm\xfcller\r\nzeta\r\n");
}

TEST_F(ExceptionEditorTest, TheFileIsWrittenBackInTheEncodingItWasReadIn) {
    // An exception file from another editor keeps every line: a line the
    // code page lacks would otherwise become '?' and no longer except its
    // address.
    struct Case {
        const char* what;
        QByteArray before;
        const char* entered;
        QByteArray after;
    };
    const Case cases[] = {
        {"code page", "m\xfcller\r\n", ">bob@", ">bob@\r\nm\xfcller\r\n"},
        {"UTF-8", ">\xc5\x82ukasz@\n", ">bob@", ">bob@\r\n>\xc5\x82ukasz@\r\n"},
        {"UTF-8 with mark", "\xef\xbb\xbfm\xc3\xbcller\n", ">bob@",
         "\xef\xbb\xbf>bob@\r\nm\xc3\xbcller\r\n"},
        {"UTF-16 LE", QByteArray("\xff\xfe\x42\x01x\0\n\0", 8), "a",
         QByteArray("\xff\xfe"
                    "a\0\r\0\n\0\x42\x01x\0\r\0\n\0",
                    16)},
        {"UTF-16 BE", QByteArray("\xfe\xff\x01\x42\0x\0\n", 8), "a",
         QByteArray("\xfe\xff\0a\0\r\0\n\x01\x42\0x\0\r\0\n", 16)},
        // What the code page cannot hold makes the file UTF-8, with its mark.
        {"code page, entry beyond it", "m\xfcller\r\n", ">\u0142ukasz@",
         "\xef\xbb\xbf>\xc5\x82ukasz@\r\nm\xc3\xbcller\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFileBytes(bed.exceptionFile, c.before);
        const QStringList read = TextFile::readLines(bed.exceptionFile);
        ASSERT_TRUE(add(QString::fromUtf8(c.entered)));
        EXPECT_EQ(file(), c.after);
        // Read back, every old line is still there as it was.
        const QStringList now = TextFile::readLines(bed.exceptionFile);
        for (const QString& line : read) {
            EXPECT_TRUE(now.contains(line)) << line.toStdString();
        }
    }
}

TEST_F(ExceptionEditorTest, DuplicatesAreFoundByExactComparisonOfTheLoweredEntry) {
    writeFileBytes(bed.exceptionFile, "spam\nBoss\n");
    EXPECT_FALSE(add("SPAM"));
    // Nothing written: the file keeps its order and line breaks.
    EXPECT_EQ(file(), "spam\nBoss\n");
    EXPECT_EQ(bed.Liste.lines(), QStringList({"Boss", "spam"}));

    // A stored line with capitals is no duplicate of the lowered entry.
    EXPECT_TRUE(add("BOSS"));
    EXPECT_EQ(file(), "Boss\r\nboss\r\nspam\r\n");
    EXPECT_FALSE(add("Boss"));
}

TEST_F(ExceptionEditorTest, AnEmptyEntryIsAddedOnce) {
    writeFileBytes(bed.exceptionFile, "spam\r\n");
    EXPECT_TRUE(add(""));
    EXPECT_EQ(file(), "\r\nspam\r\n");
    EXPECT_FALSE(add(""));
    EXPECT_EQ(file(), "\r\nspam\r\n");
}

TEST_F(ExceptionEditorTest, AFileThatCannotBeTakenIsReportedAndLeftAsItWas) {
    // Missing, or UTF-16 without its mark: read as the code page its lines
    // hold NUL, and rewriting them sorted with CR LF would wreck the text.
    struct Case {
        const char* name;
        std::optional<QByteArray> bytes;
        QString message;
    };
    const QList<Case> cases = {
        {"missing", std::nullopt, "Datei " + bed.exceptionFile + " kann nicht geöffnet werden"},
        {"UTF-16 LE without mark", QByteArray("z\0e\0t\0a\0\r\0\n\0a\0\r\0\n\0", 16),
         QStringLiteral("Zeile 1 der Ausnahmenliste enthält ein Nullzeichen (NUL): \"z e t a \". "
                        "Es wurde nichts geändert")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(bed.exceptionFile);
        if (c.bytes) {
            writeFileBytes(bed.exceptionFile, *c.bytes);
        }
        bed.Liste.assign({"vom letzten Lauf"});
        try {
            add("x");
            ADD_FAILURE() << "no error";
        } catch (const TarveloError& e) {
            EXPECT_EQ(e.message(), c.message);
        }
        EXPECT_EQ(bed.Liste.count(), 0);
        EXPECT_TRUE(bed.Liste.sorted());
        EXPECT_EQ(QFile::exists(bed.exceptionFile), c.bytes.has_value());
        if (c.bytes) {
            EXPECT_EQ(file(), *c.bytes);
        }
    }
}

TEST_F(ExceptionEditorTest, TheCommandAsksWithCaptionPromptAndPrefillAndCancelChangesNothing) {
    bed.seed({{1, "example.com"}}, {{1, "Info@Example.com"}});
    RouteBrowsing::loadAddresses(bed.routes, bed.Address);
    writeFileBytes(bed.exceptionFile, "spam\n");
    bed.Liste.assign({"c", "a"});
    QStringList asked;
    const auto cancel = [&](const QString& caption, const QString& prompt, const QString& text) {
        asked = {caption, prompt, text};
        return std::optional<QString>();
    };
    EXPECT_FALSE(ExceptionEditor::runAddCommand(bed.exceptionFile, bed.Liste, bed.Address, cancel));
    EXPECT_EQ(asked, QStringList({"Ausnahme hinzufügen", "Ausnahme", ">Info@Example.com"}));
    EXPECT_EQ(file(), "spam\n");
    EXPECT_EQ(bed.Liste.lines(), QStringList({"c", "a"}));
    EXPECT_FALSE(bed.Liste.sorted());

    const auto accept = [](const QString&, const QString&, const QString& text) {
        return std::optional<QString>(text);
    };
    EXPECT_TRUE(ExceptionEditor::runAddCommand(bed.exceptionFile, bed.Liste, bed.Address, accept));
    EXPECT_EQ(file(), ">info@example.com\r\nspam\r\n");
}

// Once the command has run, the next synchronisation holds the list sorted.
TEST_F(ExceptionEditorTest, AfterAddingTheRunInsertsInAlphabeticalOrder) {
    bed.seed({{3, "b.org"}}, {});
    writeFileBytes(bed.exceptionFile, "");
    add(">c@");
    bed.writeList({"d@b.org", "a@b.org", "c@b.org"});
    bed.run();
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "a@b.org"}, {3, "d@b.org"}}));
    EXPECT_EQ(bed.Liste.lines(), QStringList({"a@b.org", "-", "d@b.org"}));
}

} // namespace
