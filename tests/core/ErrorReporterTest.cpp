#include "core/ErrorReporter.h"
#include "platform/TarveloError.h"

#include "QStringPrinter.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

// Whatever a handler throws is told once, in German where the program can
// say it, and the handler's caller goes on.
TEST(ErrorReporter, EveryFailureOfAHandlerIsToldOnce) {
    QStringList shown;
    ErrorReporter reporter([&](const QString& message) { shown.append(message); });
    EXPECT_TRUE(reporter.guard([] {}));
    EXPECT_FALSE(reporter.errorReported());
    EXPECT_FALSE(reporter.guard([] { throw TarveloError(QStringLiteral("Datei fehlt")); }));
    EXPECT_FALSE(reporter.guard([] { throw std::bad_alloc(); }));
    EXPECT_FALSE(reporter.guard([] { throw std::runtime_error("kaputt"); }));
    EXPECT_EQ(shown, QStringList({"Datei fehlt", "Zu wenig Arbeitsspeicher", "kaputt"}));
    EXPECT_TRUE(reporter.errorReported());
}
