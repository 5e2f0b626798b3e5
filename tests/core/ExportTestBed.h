#pragma once

#include "SyncTestBed.h"
#include "core/RouteBrowsing.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

#include <optional>

class ExportTest : public ::testing::Test {
protected:
    // Routes b.org (3), example.com (1), leer.org (2) in that order.
    void SetUp() override {
        bed.seed({{1, "example.com"}, {2, "leer.org"}, {3, "b.org"}},
                 {{1, "zeta@example.com"},
                  {3, "a@b.org"},
                  {1, "M\u00fcller@example.com"},
                  {1, "\u03a9mega@example.com"},
                  {1, "alpha@example.com"}});
    }
    void load(int row) {
        bed.routes.setCurrentRow(row);
        RouteBrowsing::loadAddresses(bed.routes, bed.Address);
    }
    QString target() const { return bed.dir.filePath("export.txt"); }
    template <typename F> std::optional<IoError> ioFailure(F&& f) {
        try {
            f();
        } catch (const IoError& e) {
            return e;
        }
        return std::nullopt;
    }

    SyncTestBed bed;
};
