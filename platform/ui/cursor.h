#pragma once
// Cursors: the shapes the framework sets on its windows, and the wait cursor shown while
// the UI thread waits for an answer (nests; the last one out restores the cursor).
#include <QWidget>

namespace hqlv::platform::ui {

enum class CursorShape { kArrow, kHand, kWait, kIBeam, kSizeWE, kSizeNS, kSizeAll };

void SetWindowCursor(QWidget* window, CursorShape shape);

class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // How many wait cursors are shown now (for tests and diagnostics).
    static int depth();
};

}  // namespace hqlv::platform::ui
