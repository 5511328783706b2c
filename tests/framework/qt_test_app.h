#pragma once
// The one Qt application of the framework's test program, whichever test needs it first.
#include <QApplication>

#include <cstdlib>

namespace hqlv::framework::testing {

inline QApplication& SharedQtApp() {
    static int argc = 1;
    static char name[] = "test_framework";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return *new QApplication(argc, argv);
}

}  // namespace hqlv::framework::testing
