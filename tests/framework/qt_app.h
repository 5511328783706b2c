#pragma once
// The one Qt application of the framework's test program (offscreen), made on first use by
// whichever test needs it; the program's test environment deletes it at the end.
#include <QApplication>

#include <cstdlib>

namespace hqlv::framework::testing {

inline QApplication& SharedQtApp() {
    static int argc = 1;
    static char name[] = "test_framework";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        new QApplication(argc, argv);
    }
    return *static_cast<QApplication*>(QApplication::instance());
}

}  // namespace hqlv::framework::testing
