// The layout keeps the last face it fitted: each font set takes the fitted form of the face
// it is given now, whichever face came before.
#include <gtest/gtest.h>

#include <string>

#include "engine/render/text_layout.h"

namespace {

using hqlv::engine::TextLayout;

std::string Repeat(const char* piece, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += piece;
    return s;
}

TEST(TextFaceMemo, EachFontSetTakesItsOwnFaceFitted) {
    const std::string longSong = Repeat("宋", 20), longHei = Repeat("黑", 20);
    struct Step {
        std::string face;
        std::string fitted;  // at most 31 GBK bytes: fifteen double-byte characters
    } steps[] = {
        {longSong, Repeat("宋", 15)}, {longSong, Repeat("宋", 15)}, {longHei, Repeat("黑", 15)},
        {"Arial", "Arial"},           {longSong, Repeat("宋", 15)}, {"", ""},
    };
    TextLayout l;
    int height = 10;
    for (const Step& s : steps) {
        // A new height each time, so that every step makes a font and takes the face.
        l.SetFont(++height, 400, s.face, 0, 0);
        EXPECT_EQ(l.Style().face, s.fitted) << s.face;
    }
    // An unchanged font with the same face stays as it was.
    EXPECT_EQ(l.SetFont(height, 400, "", 0, 0), 0);
}

}  // namespace
