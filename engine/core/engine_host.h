#pragma once
// What the engine asks of the window that hosts it. The host view sets itself on the engine
// object; the engine stays free of any window system. Cursor ids are the system cursor
// numbers (32512 arrow, 32649 hand, 32514 wait, ...); positions are screen coordinates.
#include <cstdint>
#include <string_view>

#include "engine/core/cursor.h"

namespace hqlv::engine {

class EngineHost {
public:
    virtual ~EngineHost() = default;
    // Frames are rendered only while the main window is shown.
    virtual bool IsMainWindowVisible() = 0;
    virtual void SetCursorById(uint32_t systemId) = 0;
    // Shows a named cursor of the engine's own. A host that draws no pictures as cursors
    // shows at least the system ones.
    virtual void ShowCursor(const EngineCursor& cursor) {
        if (cursor.systemId) SetCursorById(cursor.systemId);
    }
    virtual void SetCursorPos(int screenX, int screenY) = 0;
    // Ends the program's event loop ("/endgame").
    virtual void Quit() = 0;
    // A line for the chat pane (UTF-8, with its own line end).
    virtual void ChatLine(std::string_view text) = 0;
    // Stops the view's frame and hover timers.
    virtual void StopTimers() = 0;
    virtual void ShowMessageBox(std::string_view text, std::string_view caption) = 0;
    // The same box with the error icon, owned by no window.
    virtual void ShowErrorBox(std::string_view text, std::string_view caption) {
        ShowMessageBox(text, caption);
    }
    // Draws a width × height buffer of 0x00RRGGBB pixels over the whole client area.
    virtual void PresentFrame(const uint32_t* pixels, int width, int height) = 0;
    // The application object the host belongs to, as the scene knows its type; the engine
    // only hands it on.
    virtual void* CurrentApp() = 0;
};

}  // namespace hqlv::engine
