// Seeds of the rich-text harness: a header of style bytes, then texts in the forms the engine
// writes (its script error reports) and the tags a layout knows, each once, in Chinese and
// Latin text, wrapping and not.
#include <string>
#include <vector>

#include "seed_writer.h"

namespace {

// The harness's 16 header bytes: face and flags, colour, height, pitch, row space, margins,
// origin, fill, the fitting box, and whether the text is measured too.
std::vector<uint8_t> Header(uint8_t flags, uint8_t height, bool measure) {
    return {flags, 0x40, height, 1, 2, 3, 3, 2, 4, 0x80, 60, 20, 0, 0, uint8_t(measure ? 3 : 1), 2};
}

}  // namespace

bool WriteSeeds() {
    // Short, so that runs stay quick: the fuzzer joins and lengthens them.
    const std::string texts[] = {
        // As the script manager reports an unsupported call and a failed one.
        "<color=255>脚本<rgb=0,0,255;>a.scr",
        "<rgb=255,255,255>调用函数<rgb=0,255,0>Move",
        "ab<size=24>cd</size>ef",
        "<bold;italic;underline;>加粗<break>行",
        "<fontname=\"楷体_GB2312\";rgb=1,2,3;>楷</color>",
        "<fontname=Arial;>Arial",
        "<pitch=3>w<pitch=-1>n<leftmargin=4;rightmargin=6>m",
        "<rowspace=-2>一二三四五六七八九十一二三",
        "The quick brown fox jumps.",
        "<size=-20>c中<size=300>b<size=1>d",
        "<script:x><unknown=1>p",
    };
    bool ok = true;
    int n = 0;
    for (const std::string& t : texts) {
        // Alternately wrapping (bit 5) with the first face, and not with the third.
        const uint8_t flags = n % 2 ? uint8_t(0x20 | 0x04) : uint8_t(0x02 | 0x08 | 0x10);
        std::vector<uint8_t> b = Header(flags, uint8_t(12 + n % 3 * 4), n % 5 == 0);
        b.insert(b.end(), t.begin(), t.end());
        ok &= hqlv::fuzzseed::Seed("text-" + std::to_string(n++), b);
    }
    return ok;
}
