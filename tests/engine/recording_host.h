#pragma once
// A host view double: records what the engine asked of the window.
#include <string>
#include <utility>
#include <vector>

#include "engine/core/engine_host.h"

namespace hqlv::engine::test {

struct RecordingHost : EngineHost {
    bool IsMainWindowVisible() override { return visible; }
    void SetCursorById(uint32_t id) override { cursors.push_back(id); }
    void ShowCursor(const EngineCursor& cursor) override { shownCursors.push_back(cursor); }
    void SetCursorPos(int x, int y) override { cursorPositions.emplace_back(x, y); }
    void Quit() override { ++quits; }
    void ChatLine(std::string_view text) override { chat.emplace_back(text); }
    void StopTimers() override { ++timerStops; }
    void ShowMessageBox(std::string_view text, std::string_view) override {
        boxes.emplace_back(text);
    }
    void ShowErrorBox(std::string_view text, std::string_view caption) override {
        errorBoxes.emplace_back(text, caption);
    }
    void PresentFrame(const uint32_t* pixels, int width, int height) override {
        frames.push_back({pixels, width, height});
    }
    void* CurrentApp() override { return app; }

    struct Frame {
        const uint32_t* pixels;
        int width;
        int height;
    };
    bool visible = true;
    void* app = nullptr;
    std::vector<uint32_t> cursors;
    std::vector<EngineCursor> shownCursors;
    std::vector<std::pair<int, int>> cursorPositions;
    int quits = 0;
    std::vector<std::string> chat;
    int timerStops = 0;
    std::vector<std::string> boxes;
    std::vector<std::pair<std::string, std::string>> errorBoxes;  // text, caption
    std::vector<Frame> frames;
};

}  // namespace hqlv::engine::test
