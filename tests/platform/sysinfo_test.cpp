#include "platform/core/sysinfo.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "temp_dir.h"
#include "tests/no_sockets.h"

using namespace hqlv::platform;

TEST(SystemInfo, HardwareAddressesOfWiredAdaptersOnly) {
    TempDir t;
    auto adapter = [&](const std::string& name, const std::string& type, const std::string& addr,
                       bool device, bool wireless) {
        t.put(name + "/type", type + "\n");
        t.put(name + "/address", addr + "\n");
        if (device) t.put(name + "/device/vendor", "0x8086\n");
        if (wireless) t.put(name + "/wireless/x", "");
    };
    adapter("lo", "772", "00:00:00:00:00:00", false, false);
    adapter("eth1", "1", "0A:1b:2c:3d:4e:5F", true, false);
    adapter("eth0", "1", "00:11:22:33:44:55", true, false);
    adapter("wlan0", "1", "66:77:88:99:aa:bb", true, true);
    adapter("docker0", "1", "02:42:ac:11:00:01", false, false);
    adapter("eth2", "1", "00:00:00:00:00:00", true, false);
    adapter("eth3", "1", "garbage", true, false);
    adapter("eth4", "1", "00:11:22:33:44:55:", true, false);  // one character too many
    adapter("eth5", "1", "00:11:22:33:44:5", true, false);    // one too few
    adapter("eth6", "1", "00:11:22:33:44-55", true, false);
    auto list = hardwareAddresses(t.path());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (HardwareAddress{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(list[1], (HardwareAddress{0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}));
    EXPECT_EQ(bytesToHex(list[1].data(), 6), "0a1b2c3d4e5f");
    EXPECT_TRUE(hardwareAddresses(t / "missing").empty());
}

TEST(SystemInfo, UuidsAreRandomVersionFour) {
    std::array<uint8_t, 16> a{}, b{};
    ASSERT_TRUE(newUuid(&a));
    ASSERT_TRUE(newUuid(&b));
    EXPECT_NE(a, b);
    EXPECT_EQ(a[6] >> 4, 4);
    EXPECT_EQ(a[8] & 0xC0, 0x80);
}

TEST(SystemInfo, KernelReleaseNumbers) {
    const struct {
        const char* text;
        bool ok;
        uint32_t major, minor, build;
    } rows[] = {
        {"6.1.0-18-amd64", true, 6, 1, 0},
        {"5.15.133.1-microsoft-standard-WSL2", true, 5, 15, 133},
        {"4.19", true, 4, 19, 0},
        {"10.0.x", true, 10, 0, 0},
        {"6.1x5", true, 6, 1, 0},  // a build number only after a dot
        {"6", false, 0, 0, 0},
        {"6.", false, 0, 0, 0},
        {".1.2", false, 0, 0, 0},
        {"linux-6.1", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"4294967296.1", false, 0, 0, 0},
        {"4294967295.7", true, 4294967295u, 7, 0},
    };
    for (const auto& r : rows) {
        KernelRelease k{99, 99, 99};
        EXPECT_EQ(parseKernelRelease(r.text, &k), r.ok) << r.text;
        if (!r.ok) {
            EXPECT_EQ(k.major, 99u) << r.text;  // untouched
            continue;
        }
        EXPECT_EQ(k.major, r.major) << r.text;
        EXPECT_EQ(k.minor, r.minor) << r.text;
        EXPECT_EQ(k.build, r.build) << r.text;
    }
    KernelRelease running;
    ASSERT_TRUE(kernelRelease(&running));
    EXPECT_GE(running.major, 2u);
    EXPECT_EQ(productTypeText(), "WINNT");
}

// A system that refuses random bytes gives no UUID: false, and nothing but zeros is left,
// however the bytes were filled before.
TEST(SystemInfo, NoRandomBytesFromTheSystemIsNoUuid) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(10);  // a refusal taken for an interruption would retry for ever
        if (!hqlv::testing::RefuseSystemCall(__NR_getrandom)) _exit(2);
        std::array<uint8_t, 16> u;
        u.fill(0xAB);
        if (newUuid(&u)) _exit(3);
        if (!std::all_of(u.begin(), u.end(), [](uint8_t b) { return b == 0; })) _exit(4);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::array<uint8_t, 16> u{};
    EXPECT_TRUE(newUuid(&u));
}
