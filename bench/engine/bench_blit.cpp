// The blitter's main loops in megapixels per second, for a 40 × 60 tile sprite and for a full
// 1024 × 768 layer, next to the same operations done by pixman and a plain memcpy of the
// same bytes. After the run a table gives every figure as a ratio against pixman and
// against memcpy (the memory-bandwidth limit).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/render/blitter.h"

using namespace hqlv::engine;

namespace {

constexpr int kSurfaceW = 1024, kSurfaceH = 768;

struct Size {
    const char* name;
    int w, h;
};
constexpr Size kSprite{"sprite40x60", 40, 60};
constexpr Size kLayer{"layer1024x768", 1024, 768};

enum Kind { kCopy, kKeyed, kBlend, kScaled, kRotated };
const char* KindName(int k) {
    static const char* names[] = {"copy", "keyed", "blend", "scaled", "rotated"};
    return names[k];
}

// Source pixels: opaque for copies, a 0/255 mask for keyed, varied alpha for blending.
std::vector<uint32_t> MakeSource(int w, int h, Kind kind) {
    std::vector<uint32_t> v(size_t(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t a = 255;
            if (kind == kKeyed || kind == kRotated) a = ((x / 4 + y / 4) % 5 == 0) ? 0 : 255;
            if (kind == kBlend) a = uint32_t((x * 7 + y * 3) % 256);
            uint32_t rgb = (uint32_t(x * 5) & 255) | ((uint32_t(y * 3) & 255) << 8) | (0x40u << 16);
            v[size_t(y) * w + x] = rgb | (a << 24);
        }
    }
    return v;
}

// Premultiplied copy for pixman (its a8r8g8b8 is premultiplied).
std::vector<uint32_t> Premultiply(const std::vector<uint32_t>& v) {
    std::vector<uint32_t> out(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        uint32_t a = v[i] >> 24, p = v[i];
        uint32_t b = (p & 255) * a / 255, g = ((p >> 8) & 255) * a / 255,
                 r = ((p >> 16) & 255) * a / 255;
        out[i] = b | (g << 8) | (r << 16) | (a << 24);
    }
    return out;
}

// Destination size and source size of an operation.
void Dims(Kind kind, const Size& s, int& sw, int& sh, int& dw, int& dh) {
    dw = s.w;
    dh = s.h;
    sw = s.w;
    sh = s.h;
    if (kind == kScaled) {  // drawn at the size, from a source 3/4 as large
        sw = s.w * 3 / 4;
        sh = s.h * 3 / 4;
    }
    if (kind == kRotated && s.w > 512) {  // the rotated square must fit the surface
        sw = 600;
        sh = 450;
        dw = sw;
        dh = sh;
    }
}

void Ours(benchmark::State& state, Kind kind, Size size) {
    int sw, sh, dw, dh;
    Dims(kind, size, sw, sh, dw, dh);
    auto src = MakeSource(sw, sh, kind);
    std::vector<uint32_t> dst(size_t(kSurfaceW) * kSurfaceH, 0xFF203040u);
    DrawSurface surface{dst.data(), kSurfaceW, kSurfaceH, 4, kNoColour};
    EnginePicture pic;
    pic.width = uint16_t(sw);
    pic.frameHeight = uint16_t(sh);
    pic.frameCount = 1;
    pic.pixels = reinterpret_cast<uint8_t*>(src.data());
    pic.dataSize = uint32_t(src.size() * 4);
    pic.flags = kind == kBlend                         ? uint32_t(PIC_ALPHA)
                : (kind == kKeyed || kind == kRotated) ? uint32_t(PIC_KEYED)
                                                       : 0u;
    BlitParams p;
    p.width = dw;
    p.height = dh;
    p.angle = kind == kRotated ? 30.0 : 0.0;
    p.drawX = p.centreX = kSurfaceW / 2;
    p.drawY = p.centreY = kSurfaceH / 2;
    for (auto _ : state) {
        DrawImageEx(surface, p, pic, 0, 0, sw, sh, 1.0, kNoColour);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * dw * dh);
}

void Pixman(benchmark::State& state, Kind kind, Size size) {
    int sw, sh, dw, dh;
    Dims(kind, size, sw, sh, dw, dh);
    auto src = Premultiply(MakeSource(sw, sh, kind));
    std::vector<uint32_t> dst(size_t(kSurfaceW) * kSurfaceH, 0xFF203040u);
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, src.data(), sw * 4);
    pixman_image_t* d =
        pixman_image_create_bits(PIXMAN_a8r8g8b8, kSurfaceW, kSurfaceH, dst.data(), kSurfaceW * 4);
    pixman_op_t op = kind == kCopy || kind == kScaled ? PIXMAN_OP_SRC : PIXMAN_OP_OVER;
    int ox = kSurfaceW / 2 - dw / 2, oy = kSurfaceH / 2 - dh / 2;
    int cw = dw, ch = dh;
    if (kind == kScaled) {
        pixman_transform_t t;
        pixman_transform_init_scale(&t, pixman_double_to_fixed(double(sw) / dw),
                                    pixman_double_to_fixed(double(sh) / dh));
        pixman_image_set_transform(s, &t);
        pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
    }
    if (kind == kRotated) {
        // Rotation about the source centre into the bounding square, nearest sampling.
        const int r = int(std::sqrt(double(sw * sw + sh * sh)) / 2 + 0.5);
        const double a = 30.0 * M_PI / 180.0;
        pixman_transform_t t;
        pixman_transform_init_identity(&t);
        pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(-r), pixman_int_to_fixed(-r));
        pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(a)),
                                pixman_double_to_fixed(std::sin(a)));
        pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(sw / 2),
                                   pixman_int_to_fixed(sh / 2));
        pixman_image_set_transform(s, &t);
        pixman_image_set_filter(s, PIXMAN_FILTER_NEAREST, nullptr, 0);
        cw = ch = 2 * r;
        ox = kSurfaceW / 2 - r;
        oy = kSurfaceH / 2 - r;
    }
    for (auto _ : state) {
        pixman_image_composite32(op, s, nullptr, d, 0, 0, 0, 0, ox, oy, cw, ch);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * dw * dh);
    pixman_image_unref(s);
    pixman_image_unref(d);
}

// One memcpy of as many bytes as the draw writes: the memory-bandwidth limit.
void Memcpy(benchmark::State& state, Kind kind, Size size) {
    int sw, sh, dw, dh;
    Dims(kind, size, sw, sh, dw, dh);
    std::vector<uint32_t> src(size_t(dw) * dh, 0x12345678u);
    std::vector<uint32_t> dst(size_t(dw) * dh);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * dw * dh);
}

// Collects items per second by name and prints the ratio table after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // With repetitions the table uses the medians.
            if (!r.aggregate_name.empty() && r.aggregate_name != "median") continue;
            auto it = r.counters.find("items_per_second");
            if (it != r.counters.end()) rates_[r.run_name.str()] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-24s %12s %12s %12s %9s %9s\n", "operation", "hqlv Mpx/s", "pixman",
                    "memcpy", "/pixman", "/memcpy");
        for (const Size* s : {&kSprite, &kLayer}) {
            for (int k = kCopy; k <= kRotated; ++k) {
                std::string base = std::string(KindName(k)) + "/" + s->name + "/";
                double o = rates_[base + "hqlv"] / 1e6, p = rates_[base + "pixman"] / 1e6,
                       m = rates_[base + "memcpy"] / 1e6;
                if (o == 0) continue;
                std::printf("%-24s %12.1f %12.1f %12.1f %9.2f %9.2f\n",
                            (std::string(KindName(k)) + "/" + s->name).c_str(), o, p, m,
                            p > 0 ? o / p : 0.0, m > 0 ? o / m : 0.0);
            }
        }
    }

private:
    std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
    for (const Size* s : {&kSprite, &kLayer}) {
        for (int k = kCopy; k <= kRotated; ++k) {
            std::string base = std::string(KindName(k)) + "/" + s->name + "/";
            Kind kind = Kind(k);
            Size size = *s;
            benchmark::RegisterBenchmark(
                (base + "hqlv").c_str(),
                [kind, size](benchmark::State& st) { Ours(st, kind, size); });
            benchmark::RegisterBenchmark(
                (base + "pixman").c_str(),
                [kind, size](benchmark::State& st) { Pixman(st, kind, size); });
            benchmark::RegisterBenchmark(
                (base + "memcpy").c_str(),
                [kind, size](benchmark::State& st) { Memcpy(st, kind, size); });
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
