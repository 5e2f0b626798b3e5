#pragma once

#include "SyncTestBed.h"
#include "core/ExceptionEditor.h"

#include <QFile>

#include <gtest/gtest.h>

inline void writeFileBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

class ExceptionEditorTest : public ::testing::Test {
protected:
    bool add(const QString& entered) {
        return ExceptionEditor::addException(bed.exceptionFile, bed.Liste, entered);
    }
    QByteArray file() const { return fileBytes(bed.exceptionFile); }

    SyncTestBed bed;
};
