#pragma once
// The kinds of entity: what hangs off the render descriptor of an image, a timed frame
// sequence, a reference to another draw item, a point list and a particle emitter, and the
// operations that make and change that state. Pictures are looked up by resource id at each
// use, never kept: a picture released with its resource (a skin change, the release of all
// resources) must not be reached through a pointer an entity kept.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <vector>

#include "engine/core/block_pool.h"
#include "engine/core/entity.h"
#include "engine/render/blitter.h"

namespace hqlv::engine {

struct ImageState : KindState {
    uint32_t resourceId = 0;
    int32_t srcX = 0;
    int32_t srcY = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t tint = kNoColour;
    uint16_t frame = 0;
};

class ImageEntity : public Entity {
public:
    ImageEntity() : Entity(ENT_IMAGE) {}
    RenderDescriptor& SetImage(uint32_t resourceId, int sx, int sy, int width, int height,
                               uint32_t tint);
    // The same from a six-word picture record (a skin piece, a picture's frame): its sixth
    // word, the one before the tint, is not needed to show the picture and is ignored.
    RenderDescriptor& SetImageEx(uint32_t resourceId, int sx, int sy, int width, int height,
                                 uintptr_t unused, uint32_t tint);
    void SetColorWord(uint32_t tint);
    uint32_t GetColorWord() const;
    uint32_t GetFrame() const;
    uint32_t GetFrameCount() const;
    uint32_t SetFrame(uint32_t n);
    uint32_t NextFrame();
    uint32_t FrameDelay(uint32_t n) const;
    uint32_t TotalDuration() const;
    uint32_t DurationBetween(uint32_t from, uint32_t to) const;
    uint32_t SetFrameAtTime(uint32_t t);
    ImageState* State() const;

private:
    // The picture now registered under the state's resource id, or null.
    EnginePicture* Picture() const;
    void SelectFrame(const EnginePicture& pic, uint32_t frame);
};

struct FrameEntry {
    uint32_t resourceId = 0;
    int32_t srcX = 0;
    int32_t srcY = 0;
    uint32_t duration = 0;
};

struct FramePlayer;

struct FrameSequence {
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    std::vector<FrameEntry> frames;
    uint32_t total = 0;
    uint32_t repeat = 0;
    FrameSequence* next = nullptr;
    // count frames side by side in one picture, each lasting `duration`.
    void Build(uint32_t count, uint32_t resourceId, int frameWidth, int frameHeight,
               uint32_t duration);
    void ComputeTotal();
    // Advances the player to now: 0 no frame / finished, 1 a frame is current, 2 paused,
    // 4096 rewound.
    static uint32_t FrameAt(FramePlayer& player, uint32_t now);
};

enum FramePlayerFlags : uint32_t {
    FP_PLAYING = 0x1,
    FP_ADVANCE_ON_DRAW = 0x2,
    FP_LOOP = 0x8,
    FP_OWNS_SEQUENCE = 0x10,
    FP_REPORT_REWIND = 0x20,
    FP_REWIND = 0x40,
};

struct FramePlayer : KindState {
    uint32_t active = 0;
    FrameSequence* sequence = nullptr;
    uint32_t start = 0;
    uint32_t index = 0;
    uint32_t elapsed = 0;
    uint32_t repeatsLeft = 0;
    uint32_t resourceId = 0;
    int32_t srcX = 0;
    int32_t srcY = 0;
    int32_t frameWidth = 0;
    int32_t frameHeight = 0;
    double speed = 1.0;
    uint32_t flags = 0;
    std::unique_ptr<FrameSequence> owned;  // with FP_OWNS_SEQUENCE
};

// FrameSequence::FrameAt, as the canvas calls it when it advances a player on drawing.
inline uint32_t FrameAt(FramePlayer& player, uint32_t now) {
    return FrameSequence::FrameAt(player, now);
}

class FrameEntity : public Entity {
public:
    FrameEntity() : Entity(ENT_FRAMES) {}
    // With FP_OWNS_SEQUENCE the entity takes the sequence over (it must come from new).
    uint32_t Create(FrameSequence* sequence, double speed, uint32_t flags);
    uint32_t SetFrames(FrameSequence* sequence, double speed, uint32_t flags);
    uint32_t FrameAt(uint32_t now);
    void Play();
    bool IsPlaying() const;
    FramePlayer* Player() const;
};

struct RefState : KindState {
    uint32_t itemId = 0;
    int32_t layer = 0;
};

class RefEntity : public Entity {
public:
    RefEntity() : Entity(ENT_REF) {}
    bool SetTarget(Entity* target, bool copy);
};

// The nodes' storage is a block pool of 16-byte entries, 32 to a block; the canvas draws the
// list that starts at head (none: no points).
struct PointListState : KindState {
    static constexpr uint32_t kEntrySize = 16;
    static constexpr uint32_t kEntriesPerBlock = 32;
    BlockPool pool{kEntrySize, kEntriesPerBlock};
    const PointNode* head = nullptr;
};

class PointListEntity : public Entity {
public:
    PointListEntity() : Entity(ENT_POINTS) {}
    void Create();
};

// A 16-byte record whose fourth word releases its second.
struct ListRecord {
    uint32_t first = 0;
    uintptr_t data = 0;
    uint32_t third = 0;
    void (*release)(uintptr_t data) = nullptr;
};

struct RecordListState : KindState {
    std::vector<ListRecord> records;
    ~RecordListState() override {
        for (const ListRecord& r : records) {
            if (r.release) r.release(r.data);
        }
    }
};

class RecordListEntity : public Entity {
public:
    RecordListEntity() : Entity(ENT_RECORDS) {}
    // Copies the records; each is released through its own routine with the entity. With
    // freeInput 1 the array, taken from the resource manager's memory blocks
    // (ResourceManager::NewMemRes), is released once copied.
    void Create(ListRecord* records, size_t count, int freeInput);
};

struct Particle {
    double x = 0;  // offset, moved by the step
    double y = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    double angle = 0;
    double alpha = 1.0;
    int32_t life = 0;
    int32_t velocityX = 0;
    int32_t velocityY = 0;
    int32_t spin = 0;
};

// {spread x, spread y, life range, speed range, acceleration range}.
using ParticleParams = std::vector<int>;
using NewParticleFn = std::function<Particle(const ParticleParams*)>;
using StepParticleFn = std::function<bool(Particle&, const ParticleParams*)>;

struct ParticleState : KindState {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t live = 0;
    std::vector<uint32_t> pixels;  // width × height, 32-bit
    std::list<Particle> particles;
    std::unique_ptr<ParticleParams> params;
    NewParticleFn newParticle;
    StepParticleFn step;
    uint32_t running = 0;
    uint32_t finishing = 0;
    uint32_t toEmit = 0;
    uint32_t interval = 10000;
    uint32_t lastEmission = 0;
    int32_t layer = 0;
    uint32_t pictureFlags = 0;
};

class ParticleEntity : public Entity {
public:
    ParticleEntity() : Entity(ENT_PARTICLES) {}
    // The picture region is cut to the picture; palette pictures are converted to 32 bits.
    // 0 when there is no picture or nothing of the region lies in it.
    uint32_t Create(uint32_t resourceId, int sx, int sy, int width, int height);
    uint32_t SetCallbacks(NewParticleFn make, StepParticleFn step);
    void SetEmission(uint32_t count, int interval, std::unique_ptr<ParticleParams> params);
    void Start(bool running);
    void Tick(uint32_t now);
    ParticleState* State() const;

    // The pair every emitter starts with: life 100, a drift of -5 to 4 a step each way.
    static Particle DefaultNew(const ParticleParams*);
    static bool DefaultStep(Particle& p, const ParticleParams*);
    // The pair that reads the parameters (the defaults {10, 10, 100, 10, 1} without them): a
    // particle starts within the spread around the emitter, rises by its speed, which grows by
    // its acceleration each step, and fades as its life runs out.
    static Particle DefaultNewParticle(const ParticleParams* params);
    static bool DefaultStepParticle(Particle& p, const ParticleParams* params);
};

// The type codes the kernel's factory makes; null for any other.
std::unique_ptr<Entity> MakeEntityOfType(uint32_t type);

}  // namespace hqlv::engine
