#include "platform/core/profile.h"

#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "platform/core/files.h"
#include "platform/core/text.h"
#include "temp_dir.h"

using namespace hqlv::platform;

namespace {
// An odd but real-looking settings file: CRLF and LF mixed, blanks around names, duplicate
// keys and sections, comments, quotes, a GBK value, a key before any section.
std::string oddFile() {
    return "orphan=before any section\r\n"
           "; comment = not a key\r\n"
           "[GameSet]\r\n"
           "  Quick Catch  =  1  \r\n"
           "Voice=" +
           utf8ToGbk("普通话") +
           "\r\n"
           "Silence=0\n"
           "silence=1\r\n"
           "Quoted = \"  padded  \"\r\n"
           "Number=  42abc\r\n"
           "Negative=-7\r\n"
           "Word=abc\r\n"
           "Empty=\r\n"
           "no equals sign here\r\n"
           "\r\n"
           "[ Skin ]\r\n"
           "Style0=Default\r\n"
           "[GAMESET]\r\n"
           "Music=1\r\n"
           "Voice=second\r\n";
}
}  // namespace

TEST(Profile, ReadsOddFilesTheWindowsWay) {
    TempDir t;
    t.put("game.ini", oddFile());
    const std::string f = t / "GAME.INI";  // the file itself is found caselessly too
    EXPECT_EQ(profileString("gameset", "quick catch", "d", f), "1");
    EXPECT_EQ(profileString("GAMESET", "VOICE", "d", f), "普通话");  // first wins, UTF-8 out
    EXPECT_EQ(profileString("GameSet", "Silence", "d", f), "0");
    EXPECT_EQ(profileString("GameSet", "Quoted", "d", f), "  padded  ");
    EXPECT_EQ(profileString("GameSet", "Music", "d", f), "1");  // from the repeated section
    EXPECT_EQ(profileString("skin", "style0", "d", f), "Default");
    EXPECT_EQ(profileString("GameSet", "no equals sign here", "none", f), "none");
    EXPECT_EQ(profileString("GameSet", "; comment", "none", f), "none");
    EXPECT_EQ(profileString("", "orphan", "none", f), "none");
    EXPECT_EQ(profileString("Missing", "Voice", "def  ", f), "def");  // trailing blanks go
    EXPECT_EQ(profileString("GameSet", "Empty", "def", f), "");

    EXPECT_EQ(getProfileInt("GameSet", "Number", 5, f), 42);
    EXPECT_EQ(getProfileInt("GameSet", "Negative", 5, f), -7);
    EXPECT_EQ(getProfileInt("GameSet", "Word", 5, f), 0);
    EXPECT_EQ(getProfileInt("GameSet", "Empty", 5, f), 5);
    EXPECT_EQ(getProfileInt("GameSet", "Absent", 5, f), 5);
    EXPECT_EQ(getProfileInt("Nowhere", "Number", -1, t / "no-such.ini"), -1);

    EXPECT_EQ(profileSectionNames(f), (std::vector<std::string>{"GameSet", "Skin"}));
    EXPECT_EQ(profileKeys("gameset", f),
              (std::vector<std::string>{"Quick Catch", "Voice", "Silence", "Quoted", "Number",
                                        "Negative", "Word", "Empty", "Music"}));
}

TEST(Profile, TextInMemoryReadsAsTheFileDoes) {
    // The same odd content, parsed from memory, with a byte order mark in front.
    const ProfileText p("\xEF\xBB\xBF" + oddFile());
    EXPECT_EQ(p.sectionNames(), (std::vector<std::string>{"GameSet", "Skin"}));
    EXPECT_EQ(p.keys("GAMESET").size(), 9u);
    EXPECT_EQ(p.value("gameset", "VOICE"), "普通话");
    EXPECT_EQ(p.value("GameSet", "Empty"), "");
    EXPECT_EQ(p.value("GameSet", "Absent"), std::nullopt);
    EXPECT_EQ(p.string("Missing", "Voice", "def  "), "def");
    EXPECT_EQ(p.string("skin", "style0", "d"), "Default");
    EXPECT_EQ(p.integer("GameSet", "Number", 5), 42);
    EXPECT_EQ(p.integer("GameSet", "Negative", 5), -7);
    EXPECT_EQ(p.integer("GameSet", "Empty", 5), 5);
    EXPECT_EQ(p.integer("GameSet", "Absent", 5), 5);
    EXPECT_TRUE(ProfileText("").sectionNames().empty());
    // A comment in a section is no key, even with an equals sign; every digit counts.
    const ProfileText small("[S]\r\n;c=1\r\n\r\nk=v\r\nn=+1098x\r\n");
    EXPECT_EQ(small.keys("s"), (std::vector<std::string>{"k", "n"}));
    EXPECT_EQ(small.integer("S", "n", 0), 1098);
    // A mark cut short is no mark: the line is text, not a section.
    EXPECT_TRUE(ProfileText("\xEF\xBB[S]\r\nK=v").sectionNames().empty());
}

TEST(Profile, BufferResultsFollowTheWindowsLengths) {
    TempDir t;
    t.put("a.ini", "[S]\r\nKey=" + utf8ToGbk("中文ab") + "\r\nK2=v\r\n[T]\r\n");
    const std::string f = t / "a.ini";
    char buf[64];
    EXPECT_EQ(getProfileString("S", "Key", "", buf, sizeof buf, f), 8u);
    EXPECT_STREQ(buf, "中文ab");
    // Too small: cut to size - 1 on a character boundary (中 is three UTF-8 bytes).
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(getProfileString("S", "Key", "", buf, 5, f), 3u);
    EXPECT_STREQ(buf, "中");
    EXPECT_EQ(getProfileString("S", "None", nullptr, buf, sizeof buf, f), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(getProfileString("S", "None", "dflt \t", buf, sizeof buf, f), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(getProfileString("S", "Key", "", nullptr, 10, f), 0u);

    // Key lists: NUL-separated, double-NUL ended; a list that does not fit returns size - 2.
    EXPECT_EQ(getProfileString("s", nullptr, "", buf, sizeof buf, f), 7u);
    EXPECT_EQ(std::memcmp(buf, "Key\0K2\0\0", 8), 0);
    EXPECT_EQ(getProfileString(nullptr, nullptr, "", buf, sizeof buf, f), 4u);
    EXPECT_EQ(std::memcmp(buf, "S\0T\0\0", 5), 0);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(getProfileString("S", nullptr, "", buf, 5, f), 3u);
    EXPECT_EQ(std::memcmp(buf, "Key\0\0", 5), 0);
    // A cut list stays within the buffer given (exactly that large, so a write past it shows).
    auto exact = std::make_unique<char[]>(5);
    EXPECT_EQ(getProfileString("S", nullptr, "", exact.get(), 5, f), 3u);
    EXPECT_EQ(std::memcmp(exact.get(), "Key\0\0", 5), 0);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(getProfileString("S", nullptr, "", buf, 5, f), 3u);
    EXPECT_EQ(std::memcmp(buf, "Key\0\0xx", 7), 0);
    // An empty list is two NULs.
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(getProfileString("T", nullptr, "", buf, sizeof buf, f), 0u);
    EXPECT_EQ(std::memcmp(buf, "\0\0", 2), 0);
    // Room for the terminator alone: an empty list.
    buf[0] = 'x';
    EXPECT_EQ(getProfileString(nullptr, nullptr, "", buf, 1, f), 0u);
    EXPECT_EQ(buf[0], '\0');
}

TEST(Profile, WritesGbkAndRoundTrips) {
    TempDir t;
    const std::string f = t / "new.ini";
    ASSERT_TRUE(writeProfileString("GAMESET", "Voice", "普通话", f));  // creates the file
    ASSERT_TRUE(writeProfileString("GAMESET", "Music", "1", f));
    ASSERT_TRUE(writeProfileString("SKIN", "Style0", "经典", f));
    ASSERT_TRUE(writeProfileString("gameset", "VOICE", "粤语", f));  // replaces caselessly
    EXPECT_EQ(t.get("new.ini"), "[GAMESET]\r\nVoice=" + utf8ToGbk("粤语") +
                                    "\r\nMusic=1\r\n\r\n[SKIN]\r\nStyle0=" + utf8ToGbk("经典") +
                                    "\r\n");
    EXPECT_EQ(profileString("Gameset", "voice", "", f), "粤语");
    EXPECT_EQ(profileString("skin", "style0", "", f), "经典");
    EXPECT_FALSE(writeProfileString("GAMESET", "Voice", "x", t / "no-folder/new.ini"));
}

TEST(Profile, WritingKeepsOtherLinesAndPlacesNewKeysInTheirSection) {
    TempDir t;
    // A comment holding a GB18030-only character must survive untouched.
    const std::string comment = "; \x81\x30\x81\x30 note";
    t.put("k.ini", comment + "\n[A]\nx = 1\n\n[B]\ny=2\n");
    const std::string f = t / "k.ini";
    ASSERT_TRUE(writeProfileString("a", "z", "3", f));
    EXPECT_EQ(t.get("k.ini"), comment + "\r\n[A]\r\nx = 1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
    ASSERT_TRUE(writeProfileString("C", "w", "4", f));  // after a blank line: no second one
    EXPECT_EQ(t.get("k.ini"),
              comment + "\r\n[A]\r\nx = 1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n\r\n[C]\r\nw=4\r\n");
    // A null value deletes the key (duplicates too), a null key the whole section.
    t.put("d.ini", "[A]\r\nk=1\r\nK=2\r\nm=3\r\n[B]\r\nk=4\r\n[a]\r\nn=5\r\n");
    const std::string d = t / "d.ini";
    ASSERT_TRUE(writeProfileString("A", "k", nullptr, d));
    EXPECT_EQ(profileString("A", "k", "gone", d), "gone");
    EXPECT_EQ(profileString("B", "k", "gone", d), "4");
    ASSERT_TRUE(writeProfileString("A", nullptr, nullptr, d));
    EXPECT_EQ(t.get("d.ini"), "[B]\r\nk=4\r\n");
    EXPECT_TRUE(writeProfileString("Nope", nullptr, nullptr, t / "absent.ini"));
    EXPECT_FALSE(pathExists(t / "absent.ini"));
}

TEST(Profile, RefusesWritesThatWouldCorruptTheFile) {
    TempDir t;
    const std::string f = t / "x.ini";
    EXPECT_FALSE(writeProfileString("S", "k", "line\r\n[Evil]\r\nk=v", f));
    EXPECT_FALSE(writeProfileString("S\n", "k", "v", f));
    EXPECT_FALSE(writeProfileString(nullptr, "k", "v", f));
    EXPECT_FALSE(pathExists(f));
}

// The rewrite in memory is what a write does to the file: the text it makes, or nothing
// when the write would leave the file as it is (an existing file is then not rewritten).
TEST(Profile, RewritingTextInMemoryMatchesTheFileWrite) {
    const std::string text = "[A]\nk=1\r\nK=2\n[B]\nk=4\n";
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        const char* made;  // null: no change
    } cases[] = {
        {"a", "k", "9", "[A]\r\nk=9\r\nK=2\r\n[B]\r\nk=4\r\n"},
        {"B", "new", "5", "[A]\r\nk=1\r\nK=2\r\n[B]\r\nk=4\r\nnew=5\r\n"},
        {"A", "k", nullptr, "[A]\r\n[B]\r\nk=4\r\n"},
        {"b", nullptr, nullptr, "[A]\r\nk=1\r\nK=2\r\n"},
        {"A", "missing", nullptr, nullptr},
        {"C", nullptr, nullptr, nullptr},
    };
    TempDir t;
    for (const Case& c : cases) {
        const std::optional<std::string> made = rewriteProfileText(text, c.section, c.key, c.value);
        ASSERT_EQ(made.has_value(), c.made != nullptr) << c.section << " " << (c.key ? c.key : "");
        if (made) {
            EXPECT_EQ(*made, c.made);
        }
        t.put("r.ini", text);
        ASSERT_TRUE(writeProfileString(c.section, c.key, c.value, t / "r.ini"));
        EXPECT_EQ(t.get("r.ini"), c.made ? c.made : text);
    }
    EXPECT_EQ(rewriteProfileText("", "S", "k", "v"), "[S]\r\nk=v\r\n");
    EXPECT_FALSE(rewriteProfileText("", "S", "k", nullptr));
}

// A file that starts with a byte-order mark keeps it through a write. Were it dropped, a
// second mark at the start of the first line would become the file's own, and the line
// behind it ("[S]" here) a section that pulls the old key back in ahead of the written one.
TEST(Profile, RewritingKeepsTheByteOrderMark) {
    const std::string mark = "\xEF\xBB\xBF";
    struct Case {
        std::string text, made;
    } cases[] = {
        {mark + "[S]\r\nk=1\r\n", mark + "[S]\r\nk=2\r\n"},
        {mark + mark + "[S]\r\nk=1\r\n",
         mark + mark + "[S]\r\nk=1\r\n\r\n[S]\r\nk=2\r\n"},
        {"\xEF\xBB[S]\r\n", "\xEF\xBB[S]\r\n\r\n[S]\r\nk=2\r\n"},  // not a mark: a line
    };
    TempDir t;
    for (const Case& c : cases) {
        const std::optional<std::string> made = rewriteProfileText(c.text, "S", "k", "2");
        ASSERT_TRUE(made);
        EXPECT_EQ(*made, c.made);
        EXPECT_EQ(ProfileText(*made).value("s", "K"), "2");
        t.put("m.ini", c.text);
        ASSERT_TRUE(writeProfileString("S", "k", "2", t / "m.ini"));
        EXPECT_EQ(t.get("m.ini"), c.made);
    }
    EXPECT_EQ(rewriteProfileText(mark + "[S]\r\nk=1\r\n", "S", "k", nullptr), mark + "[S]\r\n");
}
