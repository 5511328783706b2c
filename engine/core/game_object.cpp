#include "engine/core/game_object.h"

#include <algorithm>
#include <cstring>

#include "engine/core/apply_callbacks.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/mouse_manager.h"
#include "engine/core/resource_manager.h"
#include "engine/render/global_palette.h"
#include "engine/render/plane.h"
#include "platform/core/files.h"

namespace hqlv::engine {

uint32_t PlayFramesLimit(uint32_t count, uint32_t total, uint32_t beforeStart) {
    return count * count * total - beforeStart;
}

void ApplyKeyColour(EnginePicture& pic, uint32_t key) {
    if (key == kNoColour || !pic.pixels) return;
    pic.flags |= PIC_KEYED;
    const size_t samples = size_t(pic.width) * pic.totalRows();
    if (!pic.isPalette()) {
        pic.flags |= PIC_ALPHA;
        pic.key = key;
        // Pixels are 0xAARRGGBB, the key 0x00BBGGRR.
        const uint32_t rgb = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
        const size_t n = std::min(samples, size_t(pic.dataSize) / 4);
        for (size_t i = 0; i < n; ++i) {
            uint32_t px;
            std::memcpy(&px, pic.pixels + i * 4, 4);
            if ((px & 0xFFFFFF) == rgb)
                px &= 0xFFFFFF;
            else if ((px >> 24) == 0)
                px |= 0xFF000000u;
            std::memcpy(pic.pixels + i * 4, &px, 4);
        }
        return;
    }
    if (!pic.palette) return;
    GlobalPalette temp;
    temp.Set(pic.palette, pic.paletteEntries ? pic.paletteEntries : 256, "");
    const uint32_t index = uint32_t(temp.FindNearestColorRef(key));
    pic.key = index;
    if (!(pic.flags & PIC_ALPHA)) return;
    const size_t n = std::min(samples, size_t(pic.dataSize) / 2);
    for (size_t i = 0; i < n; ++i) {
        uint8_t* pair = pic.pixels + i * 2;
        if (pair[0] == index)
            pair[1] = 0;
        else if (pair[1] == 0)
            pair[1] = 255;
    }
}

ImageInfo ImageInfoOf(const EnginePicture* pic, uint32_t frame) {
    ImageInfo info;
    if (!pic) return info;
    const uint32_t frames = pic->frameCount ? pic->frameCount : 1;
    info.resourceId = pic->resourceId;
    info.sy = int32_t((frame % frames) * pic->frameHeight);
    info.width = pic->width;
    info.height = pic->frameHeight;
    info.pixels = pic->pixels;
    return info;
}

uint32_t GameObject::LoadImageResource(std::string_view name, bool loadNow, std::string_view alias,
                                       uint32_t key, int mode) {
    ResourceManager& rm = GetResourceManager();
    const uint32_t id = rm.LoadImage(name, alias, ".imge", loadNow, mode);
    if (id && key != kNoColour)
        if (EnginePicture* pic = rm.GetPicture(id)) ApplyKeyColour(*pic, key);
    return id;
}

uint32_t GameObject::LoadImageByName(std::string_view path, std::string_view alias, int mode) {
    ResourceManager& rm = GetResourceManager();
    const std::string key = alias.empty() ? SplitFileTitle(path) : std::string(alias);
    if (const uint32_t id = rm.FindImageId(key)) return id;
    return rm.LoadImage(path, key, ".imge", true, mode);
}

ImageInfo GameObject::GetImageInfo(uint32_t resourceId, uint32_t frame) {
    return ImageInfoOf(LookupPicture(resourceId), frame);
}

ImageInfo GameObject::GetImageInfoByName(std::string_view name, uint32_t frame) {
    return ImageInfoOf(GetResourceManager().GetImageByName(name), frame);
}

EnginePicture* GameObject::GetPicture(uint32_t resourceId) {
    return LookupPicture(resourceId);
}

bool GameObject::GetResourceRecord(PictureRecord& out, uint32_t resourceId) {
    out = PictureRecord{};
    const EnginePicture* p = LookupPicture(resourceId);
    if (!p) return false;
    out.resourceId = p->resourceId;
    out.width = p->width;
    out.frameHeight = p->frameHeight;
    out.pixels = p->pixels;
    out.dataSize = p->dataSize;
    out.key = p->key;
    out.frameCount = p->frameCount;
    out.flags = p->flags;
    out.palette = p->palette;
    out.paletteEntries = p->paletteEntries;
    out.frameDelays = p->frameDelays;
    out.trailerHigh = p->trailerHigh;
    out.trailerLow = p->trailerLow;
    return true;
}

void GameObject::ReleaseResources(const uint32_t* ids, int from, int to) {
    if (!ids) return;
    // A negative start would read before the caller's array.
    for (int i = std::max(from, 0); i < to; ++i)
        if (ids[i]) GetResourceManager().ReleaseResource(ids[i]);
}

void GameObject::MakeModulePath(std::string_view name) {
    GetResourceManager().SetRootDir(platform::programFolder() + std::string(name) + "/");
}

void* GameObject::NewMemBlock(size_t size) {
    return GetResourceManager().NewMemRes(size, nullptr);
}

uint32_t* GameObject::NewLinkRecord(uint32_t value) {
    auto* words = static_cast<uint32_t*>(NewMemBlock(16));
    if (words) words[3] = value;
    return words;
}

void* GameObject::GrowMemArray(void* array, size_t elementSize, uint32_t& count, uint32_t extra) {
    const uint32_t old = count;
    const uint64_t wanted = extra ? uint64_t(old) + extra : uint64_t(old) * 2;
    // A count that no longer fits would make the new block smaller than the old elements.
    if (wanted > UINT32_MAX || (elementSize && wanted > SIZE_MAX / elementSize)) {
        WriteLog("GrowMemArray: %u + %u elements do not fit", old, extra);
        return nullptr;
    }
    const uint32_t grown = uint32_t(wanted);
    void* block = NewMemBlock(size_t(grown) * elementSize);
    if (!block) return nullptr;
    if (array) {
        std::memcpy(block, array, size_t(old) * elementSize);
        GetResourceManager().ReleaseMemRes(array);
    }
    count = grown;
    return block;
}

ResourceManager& GameObject::GetResourceManager() const {
    return engine::GetResourceManager();
}

ScriptEngine* GameObject::GetScriptEngine() const {
    return engine::GetResourceManager().GetScriptEngine();
}

void GameObject::Release() {
    GameKernel* k = Kernel();
    if (!k) return;
    if (ControlId() && k->FindControl(ControlId()))
        k->DeleteControl(ControlId());
    else
        k->UnregisterObject(this);
}

void GameObject::SetCursorById(uint32_t id) {
    if (MouseManager* m = GetMouseManager()) m->SetCursorById(id);
}

void GameObject::SetCursorByName(std::string_view name) {
    if (MouseManager* m = GetMouseManager()) m->SetCursorByName(name);
}

MouseManager* GameObject::GetMouseManager() const {
    GameKernel* k = Kernel();
    if (!k || !k->GetMouseControl()) return nullptr;
    ControlData* c = k->FindControl(k->GetMouseControl());
    return c ? dynamic_cast<MouseManager*>(c->owner) : nullptr;
}

const MouseState* GameObject::GetMouseState() const {
    const MouseManager* m = GetMouseManager();
    return m ? &m->State() : nullptr;
}

uint32_t GameObject::Interval(int interval) const {
    if (interval >= 1) return uint32_t(interval);
    return Kernel() ? Kernel()->GetFrameInterval() : 30;
}

namespace {
Apply WithCall(Apply a, ApplyCallback callback, uint32_t eventId, uint32_t flags,
               uint32_t pauseWord, uint32_t level) {
    a.callback = callback;
    a.eventId = eventId;
    a.flags = flags;
    a.pauseWord = pauseWord;
    a.level = level;
    return a;
}
}  // namespace

uint32_t GameObject::PostApply(uint32_t entityId, Apply apply, ApplyCallback callback,
                               uint32_t eventId, uint32_t flags, uint32_t pauseWord,
                               uint32_t level) {
    GameKernel* k = Kernel();
    if (!k) return 0;
    return k->PostApply(entityId,
                        WithCall(std::move(apply), callback, eventId, flags, pauseWord, level));
}

uint32_t GameObject::PostCallbackApply(uint32_t entityId, Apply apply, ApplyCallback callback,
                                       uint32_t eventId, uint32_t flags, uint32_t pauseWord,
                                       uint32_t level) {
    GameKernel* k = Kernel();
    if (!k) return 0;
    return k->PostCallbackApply(
        entityId, WithCall(std::move(apply), callback, eventId, flags, pauseWord, level));
}

uint32_t GameObject::Post(uint32_t entityId, Apply a, ApplyCallback callback, uint32_t eventId,
                          uint32_t flags) {
    // The standard posts: pause word 0, level 2, joining the Event's chain when one is given.
    return eventId ? PostCallbackApply(entityId, std::move(a), callback, eventId, flags, 0, 2)
                   : PostApply(entityId, std::move(a), callback, eventId, flags, 0, 2);
}

uint32_t GameObject::MoveTo(Entity* e, uint32_t eventId, int x, int y, int speed, int interval,
                            uint32_t code, MessageData data, uint32_t target) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    a.set(4, x);
    a.set(5, y);
    a.set(7, speed * 100);
    return Post(e->GetId(), std::move(a), &ApplyMove, eventId, 0);
}

uint32_t GameObject::MoveToEx(Entity* e, uint32_t eventId, int x, int y, int speed, int limit,
                              int step, double factor, int interval, uint32_t code,
                              MessageData data, uint32_t target, int release) {
    if (!e) return 0;
    // Without a chain the new move replaces whatever runs on the entity.
    if (!eventId) PostKernelMessage(e->GetId(), 3, 1);
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    a.set(4, x);
    a.set(5, y);
    a.set(7, speed * 100);
    a.set(8, limit);
    a.set(9, step);
    a.set(10, int32_t(factor * 1000));
    return Post(e->GetId(), std::move(a), &ApplyMove, eventId, release ? APPLY_DESTROY_ENTITY : 0);
}

uint32_t GameObject::Wait(uint32_t duration, uint32_t code, MessageData data, uint32_t target,
                          uint32_t eventId) {
    Apply a = MakeApplyTimer(Interval(0), code, std::move(data), target);
    a.p[1] = duration;
    a.p[6] = 0;
    return Post(0, std::move(a), &ApplyWait, eventId, 0);
}

uint32_t GameObject::PostNopApply(int interval, uint32_t code, MessageData data, uint32_t target,
                                  uint32_t eventId) {
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    return Post(0, std::move(a), &ApplyNop, eventId, 0);
}

uint32_t GameObject::ShowLater(Entity* e, int show, uint32_t eventId, int interval, uint32_t code,
                               MessageData data, int release) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), 0);
    a.set(7, show);
    return Post(e->GetId(), std::move(a), &ApplyShowHide, eventId,
                release ? APPLY_DESTROY_ENTITY : 0);
}

uint32_t GameObject::ZoomAlphaTo(Entity* e, double step, double target, uint32_t eventId,
                                 int interval, uint32_t code, MessageData data, int release,
                                 uint32_t targetControl) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), targetControl);
    a.set(7, int32_t(step * 100));
    a.set(8, int32_t(target * 100));
    return Post(e->GetId(), std::move(a), &ApplyFade, eventId, release ? APPLY_DESTROY_ENTITY : 0);
}

uint32_t GameObject::ResizeTo(Entity* e, int startW, int startH, int w, int h, int stepW, int stepH,
                              uint32_t eventId, int interval, uint32_t code, MessageData data,
                              uint32_t target) {
    if (!e) return 0;
    e->SetSize(startW, startH);
    e->ApplyTransform();
    Apply a = MakeApplyTimer(Interval(interval), code, std::move(data), target);
    a.set(7, w);
    a.set(8, h);
    a.set(9, stepW);
    a.set(10, stepH);
    return Post(e->GetId(), std::move(a), &ApplyResize, eventId, 0);
}

uint32_t GameObject::PlayFrames(ImageEntity* e, uint32_t mode, uint32_t count, uint32_t start,
                                uint32_t eventId, uint32_t code, MessageData data,
                                uint32_t target) {
    if (!e || mode > 3) return 0;
    e->SetFrame(start & 0xFFFF);
    Apply a = MakeApplyTimer(e->FrameDelay(start), code, std::move(data), target);
    a.p[7] = mode;
    a.p[8] = count;
    if (mode == 0 && count != uint32_t(-1))
        a.p[1] = PlayFramesLimit(count, e->TotalDuration(), e->DurationBetween(0, start));
    return Post(e->GetId(), std::move(a), &ApplyPlayFrames, eventId, 0);
}

uint32_t GameObject::RunParticles(ParticleEntity* e, uint32_t eventId, uint32_t code,
                                  MessageData data, uint32_t flag) {
    if (!e) return 0;
    e->Start(true);
    Apply a = MakeApplyTimer(Interval(0), code, std::move(data), 0);
    return Post(e->GetId(), std::move(a), &ApplyParticles, eventId, flag);
}

uint32_t GameObject::ReleaseEntityLater(Entity* e, uint32_t eventId, uint32_t target, uint32_t code,
                                        MessageData data) {
    if (!e) return 0;
    Apply a = MakeApplyTimer(Interval(0), code, std::move(data), target);
    return Post(e->GetId(), std::move(a), &ApplyInstant, eventId, APPLY_DESTROY_ENTITY);
}

void GameObject::PostKernelMessage(uint32_t entityId, uint32_t level, uint32_t mode) {
    if (!Kernel()) return;
    Apply command;
    command.flags = CMD_CANCEL;
    command.successor = entityId;
    command.level = level;
    command.paused = mode;
    Kernel()->PostCommand(std::move(command));
}

uint32_t GameObject::PauseApply(uint32_t applyId, uint32_t value) {
    if (!Kernel()) return 0;
    Apply command;
    command.flags = CMD_PAUSE;
    command.successor = applyId;
    command.pauseWord = value;
    Kernel()->PostCommand(std::move(command));
    return 999999;
}

uint32_t GameObject::NewEventId() {
    return Kernel() ? Kernel()->NewEventId() : 0;
}

int GameObject::FindActiveApply(uint32_t id) {
    return Kernel() ? Kernel()->FindActiveApply(id) : 0;
}

int GameObject::SendToControl(EngineMessage message, int mode) {
    if (!Kernel() || message.code == 0) return 0;
    return Kernel()->DeliverMessage(std::move(message), mode);
}

int GameObject::PostControlMessage(uint32_t code, MessageData data, uint32_t target, int mode) {
    return Kernel() ? Kernel()->PostControlMessage(target, code, std::move(data), mode) : 0;
}

ImageEntity* GameObject::CreateImageEntity(int layer, int x, int y, uint32_t resourceId, int sx,
                                           int sy, int width, int height, uint32_t tint) {
    GameKernel* k = Kernel();
    if (!k) return nullptr;
    if (resourceId) {
        if (const EnginePicture* pic = LookupPicture(resourceId)) {
            if (width < 1) width = pic->width;
            if (height < 1) height = pic->frameHeight;
        }
    }
    auto* e = static_cast<ImageEntity*>(
        k->CreateEntity(ENT_IMAGE, x, y, width, height, 0.0, 1, false, 1.0));
    e->SetImage(resourceId, sx, sy, width, height, tint);
    e->AttachToCanvas(&k->GetCanvas(), layer);
    return e;
}

ImageEntity* GameObject::CreateImageEntityEx(int layer, int x, int y, uint32_t resourceId, int sx,
                                             int sy, int width, int height, uint32_t /*unused*/,
                                             uint32_t tint) {
    return CreateImageEntity(layer, x, y, resourceId, sx, sy, width, height, tint);
}

PlaneEntity* GameObject::CreatePlaneEntityDefault(int layer, int x, int y, int width, int height,
                                                  uint32_t colour) {
    return CreatePlaneEntity(layer, x, y, width, height, colour);
}

PlaneEntity* GameObject::CreatePlaneEntity(int layer, int x, int y, int width, int height,
                                           uint32_t colour) {
    GameKernel* k = Kernel();
    if (!k) return nullptr;
    auto* e = static_cast<PlaneEntity*>(
        k->CreateEntity(ENT_PLANE, x, y, width, height, 0.0, 1, false, 1.0));
    e->Create(width, height, colour);
    e->SetTextLayout(&GetResourceManager().GetTextLayout(), false);
    e->AttachToCanvas(&k->GetCanvas(), layer);
    return e;
}

ParticleEntity* GameObject::CreateParticleEntity(int layer, int x, int y, uint32_t resourceId,
                                                 int sx, int sy, int width, int height,
                                                 NewParticleFn make, StepParticleFn step) {
    GameKernel* k = Kernel();
    if (!k) return nullptr;
    auto* e = static_cast<ParticleEntity*>(
        k->CreateEntity(ENT_PARTICLES, x, y, width, height, 0.0, 1, false, 1.0));
    e->Create(resourceId, sx, sy, width, height);
    if (make && step) e->SetCallbacks(std::move(make), std::move(step));
    e->AttachToCanvas(&k->GetCanvas(), layer);
    return e;
}

FrameEntity* GameObject::CreateFrameEntity(int layer, int x, int y,
                                           std::unique_ptr<FrameSequence> sequence) {
    GameKernel* k = Kernel();
    if (!k) return nullptr;
    const int w = sequence ? sequence->frameWidth : 0;
    const int h = sequence ? sequence->frameHeight : 0;
    auto* e =
        static_cast<FrameEntity*>(k->CreateEntity(ENT_FRAMES, x, y, w, h, 0.0, 1, false, 1.0));
    // Owned, not playing, no loop.
    e->Create(sequence.release(), 1.0, 20);
    e->AttachToCanvas(&k->GetCanvas(), layer);
    return e;
}

Canvas* GameObject::GetCanvas() const {
    return Kernel() ? &Kernel()->GetCanvas() : nullptr;
}

ViewBlock GameObject::GetCanvasInfo() const {
    const Canvas* c = GetCanvas();
    return c ? c->GetViewRect() : ViewBlock{};
}

void GameObject::SetBackgroundOffset(int x, int y) {
    if (Canvas* c = GetCanvas()) c->SetViewCenter(x, y, true);
}

TextLayout& GameObject::GetTextLayout() {
    return GetResourceManager().GetTextLayout();
}

int GameObject::SetFont(int height, int weight, std::string_view face) {
    return GetTextLayout().SetFont(height, weight, face, 0, 0);
}

uint32_t GameObject::SetTextColor(uint32_t colour) {
    return GetTextLayout().SetColor(colour);
}

int GameObject::GetTextLayoutWord10() {
    return GetTextLayout().Style().height;
}

}  // namespace hqlv::engine
