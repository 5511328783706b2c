#pragma once
// The one Qt application of the web test program, made the way the client makes it: the
// platform's link schemes known and contexts shared before it exists, no sandbox as root.
#include <unistd.h>
#include <QApplication>

#include <cstdlib>

#include "framework/web/web_view.h"

namespace hqlv::framework::web::testing {

inline QApplication& SharedWebApp() {
    static int argc = 1;
    static char name[] = "test_framework_web";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    RegisterLinkSchemes();
    return *new QApplication(argc, argv);
}

}  // namespace hqlv::framework::web::testing
