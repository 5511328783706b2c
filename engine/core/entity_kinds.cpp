#include "engine/core/entity_kinds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/core/clock.h"
#include "engine/core/resource_manager.h"
#include "engine/render/canvas.h"
#include "engine/render/plane.h"

namespace hqlv::engine {

// ---- image ------------------------------------------------------------------------------

ImageState* ImageEntity::State() const {
    return DescriptorMade() ? dynamic_cast<ImageState*>(Descriptor().state.get()) : nullptr;
}

EnginePicture* ImageEntity::Picture() const {
    const ImageState* s = State();
    return s ? LookupPicture(s->resourceId) : nullptr;
}

RenderDescriptor& ImageEntity::SetImage(uint32_t resourceId, int sx, int sy, int width, int height,
                                        uint32_t tint) {
    RenderDescriptor& d = Descriptor();
    if (!State()) {
        d.state = std::make_unique<ImageState>();
        MarkDescriptorMade();
    }
    ImageState* s = State();
    s->resourceId = resourceId;
    s->srcX = sx;
    s->srcY = sy;
    s->width = width;
    s->height = height;
    s->tint = tint;
    s->frame = 0;
    d.kind = ENT_IMAGE;
    d.resourceId = resourceId;
    d.stateSize = 32;
    d.width = width;
    d.height = height;
    d.extra = tint;
    // The picture is looked up as the image is set, which loads one that waits to be first
    // needed (a picture that cannot be loaded fails here, at set-up, not at a later draw).
    // The pointer is not kept: a picture released with its resource would leave it dangling.
    LookupPicture(resourceId);
    return d;
}

RenderDescriptor& ImageEntity::SetImageEx(uint32_t resourceId, int sx, int sy, int width,
                                          int height, uintptr_t, uint32_t tint) {
    return SetImage(resourceId, sx, sy, width, height, tint);
}

void ImageEntity::SetColorWord(uint32_t tint) {
    if (ImageState* s = State()) {
        s->tint = tint;
        Descriptor().extra = tint;
    }
}

uint32_t ImageEntity::GetColorWord() const {
    const ImageState* s = State();
    return s ? s->tint : 0;
}

uint32_t ImageEntity::GetFrame() const {
    const ImageState* s = State();
    return s ? s->frame : 0;
}

uint32_t ImageEntity::GetFrameCount() const {
    const EnginePicture* pic = Picture();
    return pic ? pic->frameCount : 0;
}

void ImageEntity::SelectFrame(const EnginePicture& pic, uint32_t frame) {
    ImageState* s = State();
    s->frame = uint16_t(frame);
    s->srcX = 0;
    s->srcY = int32_t(frame * pic.frameHeight);
}

// A picture without frames counts as one, so the frame arithmetic never divides by zero.
static uint32_t FrameCountOf(const EnginePicture& pic) {
    return pic.frameCount ? pic.frameCount : 1;
}

uint32_t ImageEntity::SetFrame(uint32_t n) {
    const EnginePicture* pic = Picture();
    if (!pic) return 0;
    const uint32_t frame = (n & 0xFFFF) % FrameCountOf(*pic);
    SelectFrame(*pic, frame);
    ApplyTransform();
    return pic->frameDelays ? pic->frameDelays[frame] : 0;
}

uint32_t ImageEntity::NextFrame() {
    const EnginePicture* pic = Picture();
    if (!pic) return 0;
    const uint32_t frame = (State()->frame + 1u) % FrameCountOf(*pic);
    SelectFrame(*pic, frame);
    if (IsInView() && IsVisible()) ApplyTransform();
    return pic->frameDelays ? pic->frameDelays[frame] : 0;
}

uint32_t ImageEntity::FrameDelay(uint32_t n) const {
    const EnginePicture* pic = Picture();
    if (!pic) return 0;
    if (!pic->frameDelays) return 100;
    return pic->frameDelays[n % FrameCountOf(*pic)];
}

uint32_t ImageEntity::TotalDuration() const {
    const uint32_t count = GetFrameCount();
    if (count < 2) return 0;
    uint32_t total = 0;
    for (uint32_t i = 0; i < count; ++i) total += FrameDelay(i);
    return total;
}

uint32_t ImageEntity::DurationBetween(uint32_t from, uint32_t to) const {
    const uint32_t count = GetFrameCount();
    if (count < 2 || to >= count) return 0;
    uint32_t sum = 0;
    for (uint32_t i = from; i < to; ++i) sum += FrameDelay(i);
    return sum;
}

uint32_t ImageEntity::SetFrameAtTime(uint32_t t) {
    const uint32_t count = GetFrameCount();
    if (t == 0 || count < 2) return 0;
    const uint32_t total = TotalDuration();
    // Frames whose delays are all 0 have no time to be found in.
    if (total == 0) return 0;
    const uint32_t at = t % total;
    uint32_t cumulative = 0, i = 0;
    for (; i < count; ++i) {
        cumulative += FrameDelay(i);
        if (cumulative > at) break;
    }
    if (i >= count) i = count - 1;
    if (i == GetFrame()) return 0;
    return SetFrame(i);
}

// ---- frame sequences ---------------------------------------------------------------------

void FrameSequence::Build(uint32_t count, uint32_t resourceId, int width, int height,
                          uint32_t duration) {
    frameWidth = width;
    frameHeight = height;
    frames.assign(count, FrameEntry{});
    for (uint32_t i = 0; i < count; ++i)
        frames[i] = FrameEntry{resourceId, int32_t(i) * width, 0, duration};
    total = 0;
    repeat = 0;
    next = nullptr;
}

void FrameSequence::ComputeTotal() {
    total = 0;
    for (const FrameEntry& f : frames) total += f.duration;
}

uint32_t FrameSequence::FrameAt(FramePlayer& p, uint32_t now) {
    FrameSequence* seq = p.sequence;
    // A player may be set up without a sequence (SetFrames takes none): it has no frame.
    if (!seq) return 0;
    if (p.start == 0) p.start = now;
    if (!(p.flags & FP_PLAYING)) {
        p.start = now - p.elapsed;
        return 2;
    }
    if (p.speed == 0.0) return 0;
    uint32_t t = uint32_t(std::trunc(double(now - p.start) * p.speed));
    bool finished = false;
    // The passes go on while t is at or past the current total, also after a hand-over: a
    // pass that lands exactly on the next sequence's total starts that sequence again (or
    // finishes), instead of stopping there with t past every frame of it, which would leave
    // the player inactive with no frame while it still plays.
    while (t >= seq->total) {
        // A sequence of no duration can never reach a frame: it is finished, not looped.
        if (seq->total == 0) {
            finished = true;
            break;
        }
        // Start moves by the total of the pass that t loses, also after a hand-over to a
        // sequence of another length: were it moved by the first sequence's total, start
        // would pass now and the next call's (now - start) would wrap to a huge time.
        const uint32_t total = seq->total;
        p.start += uint32_t(std::trunc(total / p.speed));
        t -= total;
        p.index = 0;
        p.elapsed = 0;
        if (p.repeatsLeft == 0) {
            // A sequence is played its own repeat count more times before it finishes or hands
            // over, and the next one starts with its own count (see SetFrames).
            if (seq->next) {
                seq = seq->next;
                seq->ComputeTotal();
                p.sequence = seq;
                p.repeatsLeft = seq->repeat;
            } else if (!(p.flags & FP_LOOP)) {
                finished = true;
                break;
            }
        } else {
            --p.repeatsLeft;
        }
    }
    if (finished) {
        p.active = 0;
        p.flags &= ~uint32_t(FP_PLAYING);
        if (!(p.flags & FP_REWIND)) return 0;
        p.index = 0;
        p.elapsed = 0;
        p.start = 0;
        return (p.flags & FP_REPORT_REWIND) ? 4096 : 1;
    }
    while (p.index < seq->frames.size() && p.elapsed + seq->frames[p.index].duration <= t) {
        p.elapsed += seq->frames[p.index].duration;
        ++p.index;
    }
    if (p.index >= seq->frames.size()) {
        p.active = 0;
        return 0;
    }
    const FrameEntry& f = seq->frames[p.index];
    p.active = 1;
    p.resourceId = f.resourceId;
    p.srcX = f.srcX;
    p.srcY = f.srcY;
    p.frameWidth = seq->frameWidth;
    p.frameHeight = seq->frameHeight;
    return 1;
}

FramePlayer* FrameEntity::Player() const {
    return DescriptorMade() ? dynamic_cast<FramePlayer*>(Descriptor().state.get()) : nullptr;
}

uint32_t FrameEntity::Create(FrameSequence* sequence, double speed, uint32_t flags) {
    if (DescriptorMade()) FreeDescriptor();
    RenderDescriptor& d = Descriptor();
    d.kind = ENT_FRAMES;
    d.stateSize = 64;
    d.state = std::make_unique<FramePlayer>();
    MarkDescriptorMade();
    if (sequence && !sequence->frames.empty()) d.resourceId = sequence->frames[0].resourceId;
    return SetFrames(sequence, speed, flags);
}

uint32_t FrameEntity::SetFrames(FrameSequence* sequence, double speed, uint32_t flags) {
    FramePlayer* p = Player();
    if (!p) return 0;
    if (sequence) {
        sequence->ComputeTotal();
        Descriptor().resourceId = sequence->frames.empty() ? 0 : sequence->frames[0].resourceId;
        Descriptor().width = sequence->frameWidth;
        Descriptor().height = sequence->frameHeight;
    }
    if (flags & FP_OWNS_SEQUENCE) {
        if (p->owned.get() != sequence) p->owned.reset(sequence);
    }
    p->sequence = sequence;
    p->speed = speed;
    p->flags = flags;
    p->start = 0;
    p->index = 0;
    p->elapsed = 0;
    // The repeats left start from the sequence's own repeat count: nothing else gives the
    // player a count, and a sequence built with repeats would otherwise play once.
    p->repeatsLeft = sequence ? sequence->repeat : 0;
    p->active = 1;
    return 999999;
}

uint32_t FrameEntity::FrameAt(uint32_t now) {
    FramePlayer* p = Player();
    return p ? FrameSequence::FrameAt(*p, now) : 0;
}

void FrameEntity::Play() {
    if (FramePlayer* p = Player()) p->flags |= FP_PLAYING;
}

bool FrameEntity::IsPlaying() const {
    const FramePlayer* p = Player();
    return p && (p->flags & FP_PLAYING);
}

// ---- reference ----------------------------------------------------------------------------

bool RefEntity::SetTarget(Entity* target, bool copy) {
    if (!target || target->GetType() == ENT_REF || target == this) return false;
    RenderDescriptor& d = Descriptor();
    if (!DescriptorMade()) {
        d.kind = ENT_REF;
        d.stateSize = 8;
        d.state = std::make_unique<RefState>();
        MarkDescriptorMade();
    }
    auto* s = static_cast<RefState*>(d.state.get());
    s->itemId = target->GetItemId();
    s->layer = target->GetLayer();
    if (copy) {
        SetSize(target->GetWidth(), target->GetHeight());
        SetRotation(target->GetRotation());
        SetAlpha(target->GetAlpha());
        ApplyTransform();
    }
    return true;
}

void PointListEntity::Create() {
    if (DescriptorMade()) FreeDescriptor();
    RenderDescriptor& d = Descriptor();
    d.kind = ENT_POINTS;
    d.stateSize = 36;
    d.extra = 2;
    d.state = std::make_unique<PointListState>();
    MarkDescriptorMade();
}

void RecordListEntity::Create(ListRecord* records, size_t count, int freeInput) {
    if (DescriptorMade()) FreeDescriptor();
    auto state = std::make_unique<RecordListState>();
    if (records) state->records.assign(records, records + count);
    if (records && freeInput == 1) GetResourceManager().ReleaseMemRes(records);
    RenderDescriptor& d = Descriptor();
    d.kind = ENT_RECORDS;
    d.stateSize = 4;
    d.extra = 2;
    d.state = std::move(state);
    MarkDescriptorMade();
}

// ---- particles ----------------------------------------------------------------------------

ParticleState* ParticleEntity::State() const {
    return DescriptorMade() ? dynamic_cast<ParticleState*>(Descriptor().state.get()) : nullptr;
}

uint32_t ParticleEntity::Create(uint32_t resourceId, int sx, int sy, int width, int height) {
    if (DescriptorMade()) FreeDescriptor();
    const EnginePicture* pic = LookupPicture(resourceId);
    if (!pic || !pic->pixels) return 0;
    // Cut the region to the picture: a source outside it reads nothing. The far edges are
    // summed wide, so an origin near the top of the int range cannot wrap back inside.
    const int64_t right = std::min<int64_t>(int64_t(sx) + width, pic->width);
    const int64_t bottom = std::min<int64_t>(int64_t(sy) + height, pic->totalRows());
    const int64_t left = std::max(sx, 0), top = std::max(sy, 0);
    if (right <= left || bottom <= top) return 0;
    const Rect region{int(left), int(top), int(right), int(bottom)};
    const int w = region.width(), h = region.height();
    const int sample = pic->sampleSize();
    auto state = std::make_unique<ParticleState>();
    state->width = w;
    state->height = h;
    state->pixels.resize(size_t(w) * size_t(h));
    state->pictureFlags = pic->flags;
    const size_t available = pic->dataSize / size_t(sample);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = size_t(region.top + y) * pic->width + size_t(region.left + x);
            uint32_t v = 0;
            if (i < available) {
                const uint8_t* s = pic->pixels + i * size_t(sample);
                if (sample == 4) {
                    v = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 |
                        uint32_t(s[3]) << 24;
                } else if (pic->palette) {
                    // Palette samples become 32-bit pixels; the key index is transparent.
                    const uint8_t* rgb = pic->palette + size_t(s[0]) * 3;
                    const uint32_t a = sample == 2 ? s[1] : (s[0] == pic->key ? 0 : 0xFF);
                    v = uint32_t(rgb[2]) | uint32_t(rgb[1]) << 8 | uint32_t(rgb[0]) << 16 | a << 24;
                }
            }
            state->pixels[size_t(y) * size_t(w) + size_t(x)] = v;
        }
    }
    if (sample != 4) state->pictureFlags |= PIC_ALPHA;
    state->newParticle = DefaultNew;
    state->step = DefaultStep;
    state->lastEmission = GetCachedTimeMs();
    RenderDescriptor& d = Descriptor();
    d.kind = ENT_PARTICLES;
    d.resourceId = resourceId;
    d.stateSize = 4;
    d.width = w;
    d.height = h;
    d.extra = 2;
    d.state = std::move(state);
    MarkDescriptorMade();
    return 999999;
}

uint32_t ParticleEntity::SetCallbacks(NewParticleFn make, StepParticleFn step) {
    const uint32_t now = GetCachedTimeMs();
    ParticleState* s = State();
    if (!s) return now;
    s->newParticle = std::move(make);
    s->step = std::move(step);
    s->particles.clear();
    // The live count goes with the list it counts: kept, it would count particles no longer
    // there, and the particle Apply, which waits until none lives, would never finish.
    s->live = 0;
    s->running = s->finishing = s->toEmit = 0;
    s->lastEmission = now;
    return now;
}

void ParticleEntity::SetEmission(uint32_t count, int interval,
                                 std::unique_ptr<ParticleParams> params) {
    ParticleState* s = State();
    if (!s) return;
    s->toEmit = count;
    s->interval = interval < 1 ? 1000000u : uint32_t(interval);
    s->live = 0;
    s->particles.clear();
    if (params) s->params = std::move(params);
}

void ParticleEntity::Start(bool running) {
    ParticleState* s = State();
    if (!s) return;
    s->running = running ? 1 : 0;
    s->lastEmission =
        (IsAttached() && GetCanvas()) ? GetCanvas()->CurrentTime() : GetCachedTimeMs();
}

void ParticleEntity::Tick(uint32_t now) {
    ParticleState* s = State();
    if (!s) return;
    if (now == 0 && GetCanvas()) now = GetCanvas()->CurrentTime();
    s->layer = GetLayer();
    const uint32_t elapsed = now - s->lastEmission;
    if (elapsed > s->interval) {
        s->lastEmission = now;
        uint32_t n = elapsed / s->interval;
        while (n-- > 0 && s->toEmit > 0 && s->newParticle) {
            Particle p = s->newParticle(s->params.get());
            p.originX += GetX();
            p.originY += GetY();
            s->particles.push_back(p);
            ++s->live;
            --s->toEmit;
        }
    }
    bool first = true;
    Rect box;
    for (auto it = s->particles.begin(); it != s->particles.end();) {
        const int px = int(it->originX + it->x), py = int(it->originY + it->y);
        if (first) {
            box = Rect{px, py, px, py};
            first = false;
        } else {
            box = Rect{std::min(box.left, px), std::min(box.top, py), std::max(box.right, px),
                       std::max(box.bottom, py)};
        }
        if (s->step && s->step(*it, s->params.get())) {
            ++it;
        } else {
            it = s->particles.erase(it);
            --s->live;
        }
    }
    // The box covers every particle walked, the ones that died in this step too: their last
    // picture is still on the screen and goes only when its area is drawn again. So a step
    // that retires the last particle still invalidates; only a step that walked none (no
    // particle lived) has nothing to redraw. Skipping it whenever none is left alive would
    // leave each emission's last spark standing faded on the table.
    if (first || !GetCanvas() || !IsAttached()) return;
    Rect dirty{box.left - (s->width + 1) / 2, box.top - (s->height + 1) / 2,
               box.right + (s->width + 1) / 2, box.bottom + (s->height + 1) / 2};
    if (GetCanvas()->LayerRectToScreen(GetLayer(), dirty)) {
        GetCanvas()->InvalidateRect(dirty.left, dirty.top, dirty.right, dirty.bottom);
        GetCanvas()->LayerMarkItemDirty(GetLayer(), GetItemId());
    }
}

Particle ParticleEntity::DefaultNew(const ParticleParams*) {
    Particle p;
    p.alpha = 1.0;
    p.life = 100;
    p.velocityX = std::rand() % 10 - 5;
    p.velocityY = std::rand() % 10 - 5;
    p.spin = std::rand() % 20;
    return p;
}

bool ParticleEntity::DefaultStep(Particle& p, const ParticleParams*) {
    p.x += p.velocityX;
    p.y += p.velocityY;
    p.alpha = p.life / 100.0;
    p.life -= 1;
    return p.life > 0;
}

Particle ParticleEntity::DefaultNewParticle(const ParticleParams* params) {
    static const ParticleParams kDefaults{10, 10, 100, 10, 1};
    const ParticleParams& q = (params && params->size() >= 5) ? *params : kDefaults;
    Particle p;
    p.alpha = 1.0;
    // A life range of 0 would divide by zero here and in the step, and a negative one would
    // give a negative alpha (a spark never seen): such a particle lives one step, faded by
    // the step's range of 100.
    p.life = q[2] > 0 ? std::rand() % q[2] + 1 : 1;
    // The speed (velocity x) and the acceleration (velocity y) drive the step's rise.
    if (q[0] != 0) p.originX = std::rand() % q[0] - q[0] / 2;
    if (q[1] != 0) p.originY = std::rand() % q[1] - q[1] / 2;
    if (q[3] != 0) p.velocityX = std::rand() % q[3] + 1;
    if (q[4] != 0) p.velocityY = std::rand() % q[4] + 1;
    return p;
}

bool ParticleEntity::DefaultStepParticle(Particle& p, const ParticleParams* params) {
    // No usable life range divides by 100, as without parameters (see DefaultNewParticle).
    const int range = (params && params->size() >= 5 && (*params)[2] > 0) ? (*params)[2] : 100;
    p.velocityX += p.velocityY;
    p.y -= p.velocityX;
    p.alpha = double(p.life) / range;
    p.life -= 1;
    return p.life > 0;
}

std::unique_ptr<Entity> MakeEntityOfType(uint32_t type) {
    switch (type) {
        case ENT_PLAIN:
            return std::make_unique<Entity>(type);
        case ENT_RECORDS:
            return std::make_unique<RecordListEntity>();
        case ENT_IMAGE:
            return std::make_unique<ImageEntity>();
        case ENT_FRAMES:
            return std::make_unique<FrameEntity>();
        case ENT_POINTS:
            return std::make_unique<PointListEntity>();
        case ENT_REF:
            return std::make_unique<RefEntity>();
        case ENT_PLANE:
            return std::make_unique<PlaneEntity>();
        case ENT_PARTICLES:
            return std::make_unique<ParticleEntity>();
        default:
            return nullptr;
    }
}

}  // namespace hqlv::engine
