#include "platform/core/process.h"

#include <unistd.h>

#include <cstdlib>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "platform/core/files.h"
#include "temp_dir.h"

using namespace hqlv::platform;

TEST(Process, StartsAProgramWithOneArgument) {
    TempDir t;
    const std::string marker = t / "started with spaces";
    ASSERT_TRUE(startProgram("/bin/touch", marker));  // one argument, spaces and all
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
        seen = pathExists(marker);
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(seen);
}

// A program named without a folder is found on the search path.
TEST(Process, StartsAProgramFromTheSearchPath) {
    EXPECT_TRUE(startProgram("true", ""));
}

// A refused address never reaches the opener, even where one would start.
TEST(Process, ARefusedAddressStartsNoOpener) {
    TempDir t;
    // An opener that starts and ends at once.
    std::filesystem::create_directories(t / "bin");
    std::filesystem::create_symlink("/bin/true", t / "bin/xdg-open");
    const char* path = std::getenv("PATH");
    const std::string saved = path ? path : "";
    setenv("PATH", (t / "bin").c_str(), 1);
    const bool refused = systemProcessRunner().openUrl("-x");
    const bool opened = systemProcessRunner().openUrl("http://127.0.0.1/page");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_FALSE(refused);
    EXPECT_TRUE(opened);
}

// A program named with its folder is found however the folder's name is cased, as every file
// of the program is; the search path is not asked.
TEST(Process, AProgramsFolderIsMatchedWithoutRegardToCase) {
    TempDir t;
    std::filesystem::create_directories(t / "tools");
    std::filesystem::create_symlink("/bin/touch", t / "tools/touch");
    const std::string marker = t / "touched";
    ASSERT_TRUE(startProgram(t / "TOOLS/touch", marker));
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
        seen = pathExists(marker);
        if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(seen);
}

TEST(Process, MissingProgramsFail) {
    EXPECT_FALSE(startProgram("/no/such/program", "x"));
    EXPECT_FALSE(startProgram("hqlv-no-such-program-in-path", "x"));
    TempDir t;
    t.put("not-executable", "data");
    EXPECT_FALSE(startProgram(t / "not-executable", ""));
}

TEST(Process, OnlyWebAddressesAreOpened) {
    EXPECT_TRUE(isOpenableUrl("http://127.0.0.1/notify/game/1.txt"));
    EXPECT_TRUE(isOpenableUrl("HTTPS://example.invalid/a?b=c&d"));
    EXPECT_FALSE(isOpenableUrl("file:///etc/passwd"));
    // A local web base's page: an existing ordinary file named .htm or .html.
    {
        TempDir t;
        t.put("help.html", "<html></html>");
        t.put("page.HTM", "<html></html>");
        t.put("notes.txt", "text");
        t.put("x.htmlx", "<html></html>");
        EXPECT_TRUE(isOpenableUrl("file://" + t / "help.html"));
        EXPECT_TRUE(isOpenableUrl("FILE://" + t / "page.HTM"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "missing.html"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "notes.txt"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "x.htmlx"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "help.html?x=1"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "help.html\n"));
        EXPECT_FALSE(isOpenableUrl("file://" + t.path()));  // a folder
        EXPECT_FALSE(isOpenableUrl("file:relative/help.html"));
        // Names that would need decoding, or a fragment, are not pages even when a file of
        // that very name exists; nor is an .htm-like extension of another letter.
        t.put("odd%41.html", "<html></html>");
        t.put("a#b.html", "<html></html>");
        t.put("y.htmx", "<html></html>");
        EXPECT_FALSE(isOpenableUrl("file://" + t / "odd%41.html"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "a#b.html"));
        EXPECT_FALSE(isOpenableUrl("file://" + t / "y.htmx"));
    }
    // A scheme is matched within the address only, never past its end.
    const std::string longer = "http://example.invalid/";
    EXPECT_FALSE(isOpenableUrl(std::string_view(longer).substr(0, 6)));
    EXPECT_FALSE(isOpenableUrl(std::string_view(longer).substr(0, 0)));
    EXPECT_FALSE(isOpenableUrl("--help"));
    EXPECT_FALSE(isOpenableUrl("http://host/\nsecond line"));
    EXPECT_FALSE(systemProcessRunner().openUrl("-x"));  // refused before anything starts

    RecordingProcessRunner fake;
    ProcessRunner* old = setProcessRunner(&fake);
    EXPECT_TRUE(openUrl("http://127.0.0.1/page"));
    EXPECT_FALSE(openUrl("javascript:alert(1)"));
    EXPECT_TRUE(startProgram("GameHall", ""));
    setProcessRunner(old);
    ASSERT_EQ(fake.calls.size(), 3u);
    EXPECT_EQ(fake.calls[0].argument, "http://127.0.0.1/page");
    EXPECT_EQ(fake.calls[2].program, "GameHall");
    EXPECT_EQ(&processRunner(), &systemProcessRunner());
}
