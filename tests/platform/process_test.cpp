#include "platform/core/process.h"

#include <unistd.h>

#include <chrono>
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
    }
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
