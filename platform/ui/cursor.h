#pragma once
// Cursors: the shapes the framework sets on its windows, and the wait cursor shown while
// the UI thread waits for an answer (nests; the last one out restores the cursor).
#include <QCursor>
#include <QImage>
#include <QWidget>

#include <cstdint>

namespace hqlv::platform::ui {

enum class CursorShape { kArrow, kHand, kWait, kIBeam, kSizeWE, kSizeNS, kSizeAll };

void SetWindowCursor(QWidget* window, CursorShape shape);
// A cursor drawn from a picture: width × height pixels 0xAARRGGBB in rows, clicking at the
// hot spot. A picture without pixels, or a hot spot off it, sets nothing.
void SetWindowCursorImage(QWidget* window, const uint32_t* pixels, int width, int height, int hotX,
                          int hotY);

// A cursor drawn from a picture (in place of a cursor resource, which the program does not
// carry): the hot spot is the pixel that points. A null picture gives the arrow.
QCursor PictureCursor(const QImage& picture, QPoint hotSpot);

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
