#pragma once
// The engine's object base with its service layer: one-call operations that create and set
// up entities, post the standard timed actions, pass messages to controls and reach the
// canvas, the text layout and the mouse manager. Scenes, controls and the script built-ins
// use these rather than the kernel directly.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "engine/core/control_data.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"

namespace hqlv::engine {

class MouseManager;
class PlaneEntity;
class ResourceManager;
class ScriptEngine;
class TextLayout;
struct MouseState;

// The time limit of a counted play from a start frame: the square of the count times the
// whole loop, less the time before the start frame (the square is how the limit has always
// been reckoned).
uint32_t PlayFramesLimit(uint32_t count, uint32_t total, uint32_t beforeStart);

struct EnginePicture;

// Makes every pixel of the key colour (a COLORREF) transparent: a 32-bit picture gets
// per-pixel alpha (0 on the key, 255 where it had none), a palette picture the palette index
// nearest to the key, with its index + alpha pairs of that index cleared. The magenta
// "no colour" leaves the picture as it is.
void ApplyKeyColour(EnginePicture& picture, uint32_t key);

// Where one frame of a picture lies: all zero when there is no picture.
struct ImageInfo {
    uint32_t resourceId = 0;
    int32_t sx = 0;
    int32_t sy = 0;
    int32_t width = 0;
    int32_t height = 0;
    const uint8_t* pixels = nullptr;
};
ImageInfo ImageInfoOf(const EnginePicture* picture, uint32_t frame);

// The eleven fields of a picture, copied: the buffers stay the picture's own.
struct PictureRecord {
    uint32_t resourceId = 0;
    uint16_t width = 0;
    uint16_t frameHeight = 0;
    const uint8_t* pixels = nullptr;
    uint32_t dataSize = 0;
    uint32_t key = 0;
    uint16_t frameCount = 0;
    uint32_t flags = 0;
    const uint8_t* palette = nullptr;
    uint32_t paletteEntries = 0;
    const uint32_t* frameDelays = nullptr;
    uint16_t trailerHigh = 0;
    uint16_t trailerLow = 0;
};

class GameObject : public ObjectBase {
public:
    // Deletes the own control (and this object with it), or unregisters this object.
    virtual void Release();
    // Both go to the mouse manager (nothing happens without one).
    virtual void SetCursorById(uint32_t id);
    virtual void SetCursorByName(std::string_view name);

    // ---- timed actions: → the Apply id, 0 when refused. Interval < 1: the frame interval.
    uint32_t MoveTo(Entity* e, uint32_t eventId, int x, int y, int speed, int interval,
                    uint32_t code, MessageData data, uint32_t target);
    uint32_t MoveToEx(Entity* e, uint32_t eventId, int x, int y, int speed, int limit, int step,
                      double factor, int interval, uint32_t code, MessageData data, uint32_t target,
                      int release);
    uint32_t Wait(uint32_t duration, uint32_t code, MessageData data, uint32_t target,
                  uint32_t eventId);
    uint32_t PostNopApply(int interval, uint32_t code, MessageData data, uint32_t target,
                          uint32_t eventId);
    uint32_t ShowLater(Entity* e, int show, uint32_t eventId, int interval, uint32_t code,
                       MessageData data, int release);
    uint32_t ZoomAlphaTo(Entity* e, double step, double target, uint32_t eventId, int interval,
                         uint32_t code, MessageData data, int release, uint32_t targetControl);
    uint32_t ResizeTo(Entity* e, int startW, int startH, int w, int h, int stepW, int stepH,
                      uint32_t eventId, int interval, uint32_t code, MessageData data,
                      uint32_t target);
    uint32_t PlayFrames(ImageEntity* e, uint32_t mode, uint32_t count, uint32_t start,
                        uint32_t eventId, uint32_t code, MessageData data, uint32_t target);
    // Starts the entity's emission and steps it each frame; flag 1 releases it at the end.
    uint32_t RunParticles(ParticleEntity* e, uint32_t eventId, uint32_t code, MessageData data,
                          uint32_t flag);
    uint32_t ReleaseEntityLater(Entity* e, uint32_t eventId, uint32_t target, uint32_t code,
                                MessageData data);

    // ---- kernel pass-throughs
    void PostKernelMessage(uint32_t entityId, uint32_t level, uint32_t mode);
    uint32_t PauseApply(uint32_t applyId, uint32_t value);
    uint32_t NewEventId();
    int FindActiveApply(uint32_t id);
    // The kernel's posts as they stand: the Apply's words, its callback, Event id, flags,
    // pause word and level. → the Apply id, 0 when refused.
    uint32_t PostApply(uint32_t entityId, Apply apply, ApplyCallback callback, uint32_t eventId,
                       uint32_t flags, uint32_t pauseWord, uint32_t level);
    uint32_t PostCallbackApply(uint32_t entityId, Apply apply, ApplyCallback callback,
                               uint32_t eventId, uint32_t flags, uint32_t pauseWord,
                               uint32_t level);
    int SendToControl(EngineMessage message, int mode);
    int PostControlMessage(uint32_t code, MessageData data, uint32_t target, int mode);

    // ---- entities: made hidden, z 1, alpha 1.0, attached to the layer
    ImageEntity* CreateImageEntity(int layer, int x, int y, uint32_t resourceId, int sx, int sy,
                                   int width, int height, uint32_t tint);
    // As CreateImageEntity; the extra word is not used.
    ImageEntity* CreateImageEntityEx(int layer, int x, int y, uint32_t resourceId, int sx, int sy,
                                     int width, int height, uint32_t unused, uint32_t tint);
    PlaneEntity* CreatePlaneEntity(int layer, int x, int y, int width, int height, uint32_t colour);
    PlaneEntity* CreatePlaneEntityDefault(int layer, int x, int y, int width, int height,
                                          uint32_t colour);
    // The callbacks are set only when both are given.
    ParticleEntity* CreateParticleEntity(int layer, int x, int y, uint32_t resourceId, int sx,
                                         int sy, int width, int height, NewParticleFn make,
                                         StepParticleFn step);
    // The entity owns the sequence and takes its frame size (0 × 0 without one); not playing.
    FrameEntity* CreateFrameEntity(int layer, int x, int y,
                                   std::unique_ptr<FrameSequence> sequence);

    // ---- pictures and resources: 0 when nothing loads
    uint32_t LoadImageResource(std::string_view name, bool loadNow, std::string_view alias,
                               uint32_t key, int mode);
    // The alias defaults to the file's title; an image already under it is reused.
    uint32_t LoadImageByName(std::string_view path, std::string_view alias, int mode);
    ImageInfo GetImageInfo(uint32_t resourceId, uint32_t frame);
    ImageInfo GetImageInfoByName(std::string_view name, uint32_t frame);
    EnginePicture* GetPicture(uint32_t resourceId);
    // False, with out zeroed, when the id names no picture.
    bool GetResourceRecord(PictureRecord& out, uint32_t resourceId);
    // Releases every non-zero id in [from, to).
    void ReleaseResources(const uint32_t* ids, int from, int to);
    // The resource root becomes the program folder + name + "/".
    void MakeModulePath(std::string_view name);
    void* NewMemBlock(size_t size);
    // A zeroed 16-byte block whose fourth word is value.
    uint32_t* NewLinkRecord(uint32_t value);
    // A new zeroed array of count + extra elements (twice count when extra is 0) holding the
    // old ones; the old block is released. count becomes the new count.
    void* GrowMemArray(void* array, size_t elementSize, uint32_t& count, uint32_t extra);
    ResourceManager& GetResourceManager() const;
    // The resource manager's script engine (null until one is set).
    ScriptEngine* GetScriptEngine() const;

    // ---- canvas, text and mouse
    Canvas* GetCanvas() const;
    void SetBackgroundOffset(int x, int y);
    // The canvas's view block (all zero without a kernel) and four of its words.
    ViewBlock GetCanvasInfo() const;
    int GetScreenWidth() const { return GetCanvasInfo().width; }
    int GetScreenHeight() const { return GetCanvasInfo().height; }
    int GetCanvasInfo6() const { return GetCanvasInfo().scrollWidth; }
    int GetCanvasInfo7() const { return GetCanvasInfo().scrollHeight; }
    TextLayout& GetTextLayout();
    int SetFont(int height, int weight, std::string_view face);
    uint32_t SetTextColor(uint32_t colour);
    // The character height of the text layout's current style.
    int GetTextLayoutWord10();
    uint32_t GetControlIdOrZero() const { return ControlId(); }
    MouseManager* GetMouseManager() const;
    const MouseState* GetMouseState() const;

private:
    uint32_t Post(uint32_t entityId, Apply a, ApplyCallback callback, uint32_t eventId,
                  uint32_t flags);
    uint32_t Interval(int interval) const;
};

}  // namespace hqlv::engine
