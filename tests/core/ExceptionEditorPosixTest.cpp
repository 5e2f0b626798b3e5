#include "core/ExceptionEditor.h"

#include "ExceptionEditorTestBed.h"
#include "FileSizeLimit.h"
#include "QStringPrinter.h"
#include "platform/TarveloError.h"

#include <QDir>

#include <gtest/gtest.h>

#include <optional>

// The exception file's rewrite failing half-way: a process file-size limit.

TEST_F(ExceptionEditorTest, FailedWriteLeavesTheFileAsItWas) {
    const QByteArray before = "spam\nboss\n";
    writeFileBytes(bed.exceptionFile, before);
    std::optional<QString> failure;
    {
        const FileSizeLimit limit(before.size() + 4);
        try {
            add("a-much-longer-exception@example.com");
        } catch (const TarveloError& e) {
            failure = e.message();
        }
    }
    EXPECT_EQ(failure, "Datei " + bed.exceptionFile + " kann nicht erstellt werden");
    EXPECT_EQ(file(), before);
    EXPECT_EQ(QDir(bed.dir.path()).entryList({"ausnahmen.txt*"}, QDir::Files | QDir::Hidden),
              QStringList({"ausnahmen.txt"}));
}
