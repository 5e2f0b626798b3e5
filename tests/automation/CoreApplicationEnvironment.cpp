#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

// The automation layer looks for its plugins beside the executable, which the
// application object names.
class CoreApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ensureCoreApplication(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);

} // namespace
