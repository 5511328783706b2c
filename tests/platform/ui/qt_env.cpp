#include "qt_env.h"

#include <gtest/gtest.h>

namespace hqlv::platform::ui::testing {
namespace {
int g_argc = 1;
char g_name[] = "test_platform_ui";
char* g_argv[] = {g_name, nullptr};
QApplication* g_app = nullptr;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { qtApp(); }
    void TearDown() override {
        delete g_app;
        g_app = nullptr;
    }
};
[[maybe_unused]] auto* g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
}  // namespace

QApplication& qtApp() {
    if (!g_app) g_app = new QApplication(g_argc, g_argv);
    return *g_app;
}

}  // namespace hqlv::platform::ui::testing
