#include "platform/TarveloError.h"

#include <gtest/gtest.h>

#include <cerrno>

// A disk quota, which the Windows runtime has no errno for.
TEST(IoError, OverQuotaIsAFullDisk) {
    EXPECT_EQ(IoError::windowsCodeFromErrno(EDQUOT), 112);
}
