// Seeds of the ".pps" harness: small pictures of every mode and form, written by the tests'
// ".pps" writer.
#include <string>

#include "pps_encoder.h"
#include "seed_writer.h"

using namespace hqlv::engine::test;

namespace {

std::vector<uint8_t> Pixels(int w, int h, int k, bool indexes, bool alpha) {
    std::vector<uint8_t> v;
    for (int i = 0; i < w * h; ++i) {
        if (indexes) {
            v.push_back(uint8_t(i < 20 ? 3 : (i * 7 + k) % 5));
            if (alpha) v.push_back(uint8_t(i % 4 == 0 ? 0 : 255 - i % 200));
        } else {
            v.insert(v.end(), {uint8_t(i * 3 + k), uint8_t(i), uint8_t(200 - i),
                               uint8_t(alpha ? (i % 3 == 0 ? 0 : 90 + i) : 255)});
        }
    }
    return v;
}

}  // namespace

bool WriteSeeds() {
    struct Form {
        uint32_t picFlags, frameFlags;
    };
    const Form forms[] = {{0x01, 0x00}, {0x08, 0x04}, {0x04 | 0x01, 0x01}, {0x02 | 0x08, 0x05}};
    bool ok = true;
    int n = 0;
    for (uint8_t mode : {1, 3, 4, 5, 6}) {
        for (const Form& form : forms) {
            for (int frames : {1, 2}) {
                EncPicture p;
                p.mode = mode;
                p.flags = form.picFlags | 0x10 | 0x20;
                p.width = 7;
                p.height = 5;
                p.key = 3;
                p.paletteName = "fuzz";  // the palette the harness binds pictures to
                if (form.picFlags & 0x04) {
                    p.paletteEntries = 5;
                    p.palette = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
                }
                for (int k = 0; k < frames; ++k) {
                    EncFrame f;
                    f.flags = form.frameFlags | (mode == 6 && k == 1 ? 0x20 : 0);
                    f.delay = 100;
                    f.decoded = Pixels(7, 5, k, form.frameFlags & 1, form.frameFlags & 4);
                    p.frames.push_back(f);
                }
                ok &= hqlv::fuzzseed::Seed("pps-" + std::to_string(n++), EncodePps(p));
            }
        }
    }
    return ok;
}
