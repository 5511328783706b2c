// Arbitrary bytes as a text style and a rich text: the text is drawn into a small plane inside
// a guard band, measured (when a bit asks), and fitted into a box. A layout must never write
// outside its target, and must end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/engine_log.h"
#include "engine/render/text_layout.h"
#include "fuzz/temp_logs.h"
#include "platform/core/diag.h"

using namespace hqlv::engine;

namespace {

constexpr int kW = 64, kH = 32, kGuard = 64;
constexpr uint32_t kGuardWord = 0x5AA5C33Cu;
constexpr size_t kHeader = 16;

int32_t Signed(const uint8_t* d, int shift = 0) {
    return int32_t(int8_t(*d)) << shift;
}

// The guard bands and the plane; plain loops left out of the coverage (nothing to steer by).
__attribute__((no_sanitize("coverage"))) void Fill(std::vector<uint32_t>& buf, uint32_t plane) {
    uint32_t* p = buf.data();
    for (int i = 0; i < kGuard; ++i) p[i] = p[kGuard + kW * kH + i] = kGuardWord;
    for (int i = 0; i < kW * kH; ++i) p[kGuard + i] = plane;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The engine's log goes to the process's own folder, which goes when the process ends.
    static const bool logs = [] {
        hqlv::engine::SetEngineLogFolder(hqlv::fuzz::TemporaryLogFolder("rich-text"));
        return true;
    }();
    (void)logs;
    static bool quiet = [] {
        hqlv::platform::setDiagSink([](std::string_view) {});
        return true;
    }();
    (void)quiet;
    if (size < kHeader) return 0;
    static const char* faces[] = {"宋体", "楷体_GB2312", "Arial", ""};
    TextStyle style;
    style.face = faces[data[0] & 3];
    style.colour = uint32_t(data[1]) * 0x010203u;
    style.height = int(data[2] % 48) - 4;
    style.lineHeight = style.height;
    style.weight = (data[0] & 4) ? 700 : 400;
    style.italic = (data[0] >> 3) & 1;
    style.underline = (data[0] >> 4) & 1;
    style.wrap = (data[0] >> 5) & 1;
    style.pitch = Signed(data + 3);
    style.rowSpace = Signed(data + 4);
    style.leftMargin = Signed(data + 5);
    style.rightMargin = Signed(data + 6);
    const int x = Signed(data + 7), y = Signed(data + 8);
    // Bytes 0xF8 to 0xFF (never in UTF-8) stand for tag openings, so that short inputs reach
    // every tag.
    static const char* tags[] = {"<size=",
                                 "<pitch=",
                                 "<leftmargin=",
                                 "<rightmargin=",
                                 "<rowspace=-",
                                 "<break>",
                                 "<bold;italic;underline;/size>",
                                 "<fontname=\"楷体_GB2312\";rgb=1,2,3;/color>"};
    std::string text;
    for (size_t i = kHeader; i < size; ++i) {
        if (data[i] >= 0xF8)
            text += tags[data[i] - 0xF8];
        else
            text += char(data[i]);
    }

    TextLayout layout;
    layout.Init();
    layout.SetStyle(style);
    // One plane for every run (a new one each run was a twentieth of the run, most of it the
    // first touch of fresh pages), filled again.
    static std::vector<uint32_t> buf(kGuard + kW * kH + kGuard);
    Fill(buf, uint32_t(data[9]) << 24);
    layout.DrawText(buf.data() + kGuard, kW, kH, x, y, text);
    for (int i = 0; i < kGuard; ++i) {
        if (buf[i] != kGuardWord || buf[buf.size() - 1 - i] != kGuardWord) abort();
    }
    // Measuring lays the same text out a second time, mostly along the drawing's paths: the
    // inputs whose byte 14 has bit 1 set measure it too, so the rest run that much faster.
    if (data[14] & 2) {
        int w = 0, h = 0;
        layout.MeasureText(x, y, text, w, h);
    }

    std::string caption = text.substr(0, 24);
    TextStyle fitted;
    FitTextInBox(Signed(data + 10, 2), Signed(data + 11, 1), caption, fitted, Signed(data + 12),
                 Signed(data + 13), (data[14] & 1) ? Signed(data + 15) : 0);
    return 0;
}
