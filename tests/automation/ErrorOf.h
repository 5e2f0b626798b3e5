#pragma once

#include "QStringPrinter.h"
#include "platform/TarveloError.h"

#include <QString>
#include <gtest/gtest.h>

// The message of the TarveloError that action raises; fails the test when it
// raises none.
template <typename Action> QString errorOf(Action&& action) {
    try {
        action();
    } catch (const TarveloError& error) {
        return error.message();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}
