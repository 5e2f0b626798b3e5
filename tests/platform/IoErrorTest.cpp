#include "platform/TarveloError.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(IoError, MessagesOfTheWindowsCodes) {
    EXPECT_EQ(IoError::fromCode(2).message(), QStringLiteral("Datei nicht gefunden"));
    EXPECT_EQ(IoError::fromCode(3).message(), QStringLiteral("Ungültiger Dateiname"));
    EXPECT_EQ(IoError::fromCode(4).message(), QStringLiteral("Zu viele geöffnete Dateien"));
    EXPECT_EQ(IoError::fromCode(5).message(), QStringLiteral("Dateizugriff verweigert"));
    EXPECT_EQ(IoError::fromCode(112).message(), QStringLiteral("E/A-Fehler 112"));
    EXPECT_EQ(IoError::fromCode(32).message(), QStringLiteral("E/A-Fehler 32"));
    EXPECT_EQ(IoError::fromCode(5).code(), 5);
    EXPECT_EQ(IoError::fromCode(112).code(), 112);
}

TEST(IoError, ErrnoMapsOntoWindowsCodes) {
    EXPECT_EQ(IoError::windowsCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(IoError::windowsCodeFromErrno(ENAMETOOLONG), 3);
    EXPECT_EQ(IoError::windowsCodeFromErrno(ENOTDIR), 3);
    EXPECT_EQ(IoError::windowsCodeFromErrno(EMFILE), 4);
    EXPECT_EQ(IoError::windowsCodeFromErrno(ENFILE), 4);
    EXPECT_EQ(IoError::windowsCodeFromErrno(EACCES), 5);
    EXPECT_EQ(IoError::windowsCodeFromErrno(EPERM), 5);
    EXPECT_EQ(IoError::windowsCodeFromErrno(EROFS), 5);
    // A folder in a file's place is refused as Windows refuses it, not shown
    // as "E/A-Fehler 21", which names another failure among Windows' codes.
    EXPECT_EQ(IoError::windowsCodeFromErrno(EISDIR), 5);
    EXPECT_EQ(IoError::windowsCodeFromErrno(ENOSPC), 112);
}

TEST(IoError, FromErrnoCarriesMessageAndCode) {
    const IoError full = IoError::fromErrno(ENOSPC);
    EXPECT_EQ(full.code(), 112);
    EXPECT_EQ(full.message(), QStringLiteral("E/A-Fehler 112"));
    const IoError denied = IoError::fromErrno(EACCES);
    EXPECT_EQ(denied.code(), 5);
    EXPECT_EQ(denied.message(), QStringLiteral("Dateizugriff verweigert"));
    EXPECT_STREQ(denied.what(), "Dateizugriff verweigert");
}

TEST(IoError, OtherErrorsNeverPassForTheNamedOnes) {
    // errno numbers that happen to equal 2..5 (ESRCH, EINTR, EIO) are other
    // failures: a disk error must not read "Dateizugriff verweigert".
    for (const int err : {ESRCH, EINTR, EIO, EBADF, EXDEV, EEXIST, ELOOP}) {
        const IoError e = IoError::fromErrno(err);
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("E/A-Fehler ")))
            << "errno " << err << ": " << e.message().toStdString();
        EXPECT_EQ(e.message(), QStringLiteral("E/A-Fehler %1").arg(e.code()));
    }
}

TEST(IoError, IsATarveloError) {
    try {
        throw IoError::fromCode(2);
    } catch (const TarveloError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Datei nicht gefunden"));
        return;
    }
    FAIL() << "not caught as TarveloError";
}
