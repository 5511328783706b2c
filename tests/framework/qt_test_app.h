#pragma once
// The one Qt application of the framework's test program, whichever test needs it first.
// The panes' pictures are the program's own, as the build writes them for the client.
#include <QApplication>
#include <QTest>
#include <QWindow>

#include <cstdlib>

#include "framework/app/program_bitmaps.h"

namespace hqlv::framework::testing {

inline QApplication& SharedQtApp() {
    static int argc = 1;
    static char name[] = "test_framework";
    static char* argv[] = {name, nullptr};
#ifdef HQLV_BITMAP_DIR
    SetResourceBitmapFolder(HQLV_BITMAP_DIR);
#endif
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return *new QApplication(argc, argv);
}

// A double click at `at` inside `w` as the window system gives it: press, release, then the
// second press (which reaches a widget as a double-click) and its release. `w`'s window must
// show.
inline void DoubleClick(QWidget* w, QPoint at = QPoint(2, 2)) {
    QTest::mouseDClick(w->window()->windowHandle(), Qt::LeftButton, {}, w->mapTo(w->window(), at));
}

}  // namespace hqlv::framework::testing
