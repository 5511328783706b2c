// The chat markup without a window: pieces, tag keys, bounds and the neutraliser.
#include <gtest/gtest.h>

#include "framework/widgets/chat_markup.h"

namespace hqlv::framework {
namespace {

struct TagCase {
    const char* tag;
    int height;
    uint32_t color;
    const char* face;
    const char* target;
    const char* effects;  // b i u l p
    int faceNumber;
};

std::string Effects(const ChatCharFormat& f) {
    std::string e;
    if (f.bold) e += 'b';
    if (f.italic) e += 'i';
    if (f.underline) e += 'u';
    if (f.link) e += 'l';
    if (f.passIdentity) e += 'p';
    return e;
}

TEST(ChatMarkup, TagKeysTable) {
    const TagCase cases[] = {
        {"<>", 180, 0, "宋体", "", "", -1},
        {"<s=5000>", 300, 0, "宋体", "", "", -1},  // cut to the cap
        {"<s=300>", 300, 0, "宋体", "", "", -1},
        {"<s=299>", 299, 0, "宋体", "", "", -1},
        {"<s=abc>", 0, 0, "宋体", "", "", -1},
        {"<c=255>", 180, 255, "宋体", "", "", -1},
        {"<c=255 s=200>", 200, 255, "宋体", "", "", -1},
        {"<x=1,c=255>", 180, 255, "宋体", "", "", -1},
        {"<ac=255>", 180, 0, "宋体", "", "", -1},  // first "c=" follows a letter
        {"<ac=1,c=255>", 180, 0, "宋体", "", "", -1},
        {"<f=宋体 s=200>", 200, 0, "宋体 s=200", "", "", -1},  // the blank lets "s=" count
        {"<f=黑体,s=200>", 200, 0, "黑体", "", "", -1},
        {"<e=bu>", 180, 0, "宋体", "", "bu", -1},
        {"<e=ubi>", 180, 0, "宋体", "", "biu", -1},
        {"<e=iq>", 180, 0, "宋体", "", "i", -1},
        {"<e=l,l=target>", 180, 0, "宋体", "target", "l", -1},
        {"<e=lp,l=http://a.test/x>", 180, 0, "宋体", "http://a.test/x", "lp", -1},
        {"<l=a,b>", 180, 0, "宋体", "a", "", -1},
        {"<z=12>", 180, 0, "宋体", "", "", 12},
        {"<z=1234>", 180, 0, "宋体", "", "", 123},
        {"<z=qz系统通知>", 180, 0, "宋体", "", "", 0},
        {"<z=7>", 180, 0, "宋体", "", "", 7},  // never past the '>'
        {"<z=>", 180, 0, "宋体", "", "", 0},
        {"<s=99999999999999,c=99999999999999>", 300, 2147483647u, "宋体", "", "", -1},
        {"<s=>", 0, 0, "宋体", "", "", -1},
    };
    for (const TagCase& c : cases) {
        SCOPED_TRACE(c.tag);
        ChatCharFormat f = ParseChatTag(c.tag, 300, true);
        EXPECT_TRUE(f.tagged);
        EXPECT_EQ(f.height, c.height);
        EXPECT_EQ(f.color, c.color);
        EXPECT_EQ(f.face, c.face);
        EXPECT_EQ(f.linkTarget, c.target);
        EXPECT_EQ(Effects(f), c.effects);
        EXPECT_EQ(f.faceNumber, c.faceNumber);
    }
}

TEST(ChatMarkup, LinkLetterCountsOnlyWhileLinksAreOn) {
    EXPECT_TRUE(ParseChatTag("<e=l,l=t>", 300, true).link);
    ChatCharFormat off = ParseChatTag("<e=l,l=t>", 300, false);
    EXPECT_FALSE(off.link);
    EXPECT_EQ(off.linkTarget, "t");
}

TEST(ChatMarkup, FaceAndLinkTextsAreCutOnCharacters) {
    std::string longFace = "<f=" + std::string(40, 'a') + ">";
    EXPECT_EQ(ParseChatTag(longFace, 300, true).face, std::string(31, 'a'));
    // 16 Chinese characters are 32 GBK bytes: 15 fit in 31.
    std::string han;
    for (int i = 0; i < 16; ++i) han += "字";
    std::string cut = ParseChatTag("<f=" + han + ">", 300, true).face;
    EXPECT_EQ(cut.size(), 15u * 3);
    std::string longLink = "<l=" + std::string(300, 'x') + ">";
    EXPECT_EQ(ParseChatTag(longLink, 300, true).linkTarget.size(), 255u);
    EXPECT_EQ(CutToGbkWidth("a字b", 2), "a");
    EXPECT_EQ(CutToGbkWidth("a字b", 3), "a字");
    EXPECT_EQ(CutToGbkWidth("a字b", 4), "a字b");
    EXPECT_EQ(CutToGbkWidth("\xE5\xAD", 4), "");  // a cut character is not taken
}

std::string Describe(const std::vector<ChatPiece>& pieces) {
    std::string out;
    for (const ChatPiece& p : pieces) {
        out += p.format.tagged ? "[T" : "[D";
        if (p.format.color) out += " c" + std::to_string(p.format.color);
        if (p.format.faceNumber >= 0) out += " z" + std::to_string(p.format.faceNumber);
        out += "]" + p.text;
    }
    return out;
}

TEST(ChatMarkup, PiecesTable) {
    const std::pair<const char*, const char*> cases[] = {
        {"abc", "[D]abc"},
        {"<>abc", "[T]abc"},
        {"<c=255>red<>black", "[T c255]red[T]black"},
        {"a<b", "[D]a[D]<b"},
        {"a<b>c", "[D]a[T]c"},
        {"x>y", "[D]x>y"},
        {"<c=1>a>b", "[T c1]a>b"},
        {"<><z=7>", "[T][T z7]"},
        {"<z=12>hi", "[T z12]hi"},
        {"", ""},
        {"<", "[D]<"},
        {"<<c=2>x", "[D]<[T c2]x"},
    };
    for (auto [text, want] : cases)
        EXPECT_EQ(Describe(SplitChatMarkup(text, 300, true)), want) << text;
}

TEST(ChatMarkup, NeutraliserTable) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"<c=255>管理员", false, "＜c=255>管理员"},
        {"<c=255,s=3000>【系统】<e=l,l=http://x>点我\r\n", true,
         "＜c=255,s=3000>【系统】＜e=l,l=http://x>点我  "},
        {"<><z=7>", true, "<><z=7>"},
        {"<><z=7>", false, "＜>＜z=7>"},
        {"<z=123>", true, "<z=123>"},
        {"<z=1234>", true, "＜z=1234>"},
        {"<z=>", true, "＜z=>"},
        {"<z=1", true, "＜z=1"},
        {"<z=1,c=255>", true, "＜z=1,c=255>"},
        {"a\nb\rc", false, "a b c"},
        {"<", true, "＜"},
        {"plain", true, "plain"},
    };
    for (auto [in, keep, want] : cases) EXPECT_EQ(NeutraliseMarkup(in, keep), want) << in;
}

TEST(ChatMarkup, NeutralisedTextCarriesNoKeyButFaces) {
    std::string text = NeutraliseMarkup("<c=255><s=3000>x<e=l,l=y>z<><z=5><f=a>", true);
    for (const ChatPiece& p : SplitChatMarkup(text, 300, true)) {
        EXPECT_EQ(p.format.color, 0u);
        EXPECT_EQ(p.format.height, 180);
        EXPECT_FALSE(p.format.link);
        EXPECT_EQ(p.format.face, "宋体");
    }
}

TEST(ChatMarkup, UrlsTable) {
    using R = std::vector<std::pair<size_t, size_t>>;
    EXPECT_EQ(FindUrls("see http://a.b/c now"), (R{{4, 12}}));
    EXPECT_EQ(FindUrls("HTTPS://X.Y"), (R{{0, 11}}));
    EXPECT_EQ(FindUrls("www.q.cn，好"), (R{{0, 8}}));
    EXPECT_EQ(FindUrls("http://"), R{});
    EXPECT_EQ(FindUrls("xhttp://a"), R{});  // not at the start of a word
    EXPECT_EQ(FindUrls("a http://x 'b' www.y"), (R{{2, 8}, {15, 5}}));
}

}  // namespace
}  // namespace hqlv::framework
