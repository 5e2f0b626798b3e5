#include "TestEnvironment.h"
#include "platform/ComApartment.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The automation layer looks for its plugins beside the executable, which the
// application object names; COM objects (Windows) are made in a
// single-threaded apartment, as on the program's window thread.
class CoreApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        ensureCoreApplication();
        m_apartment = std::make_unique<ComApartment>();
    }
    void TearDown() override { m_apartment.reset(); }

private:
    std::unique_ptr<ComApartment> m_apartment;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new CoreApplicationEnvironment);

} // namespace
