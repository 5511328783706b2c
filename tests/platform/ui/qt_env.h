#pragma once
// One QApplication for the whole test program (offscreen platform).
#include <QApplication>

namespace hqlv::platform::ui::testing {

QApplication& qtApp();
// Runs the UI event loop until pred() holds or ms pass; returns pred().
template <class Pred>
bool pumpUntil(Pred pred, int ms = 3000);

}  // namespace hqlv::platform::ui::testing

#include <QElapsedTimer>
#include <QThread>

#include "platform/ui/ui_loop.h"

template <class Pred>
bool hqlv::platform::ui::testing::pumpUntil(Pred pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms) return false;
        processUiEvents(5);
        QThread::msleep(1);
    }
    return true;
}
