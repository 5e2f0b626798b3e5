#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The window tests need a QApplication (widgets), made before anything asks
// for a QCoreApplication. Closing the last window must not end anything.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "test_gui";
            static char* argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
        QApplication::setQuitOnLastWindowClosed(false);
    }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace
