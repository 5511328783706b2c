#include "framework/web/host_filter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "netlib/codec.h"

namespace hqlv::framework::web {
namespace {

TEST(HostFilter, JudgesTheHostAParserSees) {
    const std::vector<std::string> list = {"allowed.test", "localhost", ""};
    struct Case {
        const char* url;
        bool allowed;
    } cases[] = {
        {"http://allowed.test/", true},
        {"http://ALLOWED.test/x", true},
        {"http://www.allowed.test/a/b", true},  // first label dropped
        {"http://a.b.allowed.test/", true},     // last two labels
        {"http://allowed.test:8080/", true},
        {"http://user:pw@allowed.test/", true},
        {"http://evil.test%2F@allowed.test/", true},  // user part; the host is allowed.test
        {"http://%61llowed.test/", true},             // percent-decoded host
        {"http://pages.localhost/", true},            // a one-label name: itself, one label more
        {"http://a.pages.localhost/", false},
        {"http://localhostx/", false},
        {"http://other.test/", false},
        {"http://notallowed.test/", false},
        {"http://test/", false},
        {"https://allowed.test/", false},
        {"about:blank", false},
        {"allowed.test/x", false},
        {"http:allowed.test", false},  // no authority: no host
        {"http://", false},
        {"", false},
        {"javascript:void(0)", true},
        {"JavaScript:alert(1)", true},
        // hosts that the text before the first '/' would have let through
        {"http://evil.test?.allowed.test", false},
        {"http://evil.test#.allowed.test", false},
        {"http://evil.test\\.allowed.test", false},
        {"http://allowed.test@evil.test/", false},
        {"http://evil.test/.allowed.test", false},
        {"http://evil.test%2f.allowed.test/", false},
        {"http://evil.test%3f.allowed.test", false},
        {"http://allowed.test%00.evil.test/", false},
        {"http://evil.test\t.allowed.test", false},
        {"http://allowed.test:80:80@evil.test/", false},
        {"http://javascript:x@evil.test/", false},  // a "javascript:" host part goes to evil
        {"http://javascript:1@allowed.test/", true},
        {"http://[::1]/", false},
        {"http://allowed.test./", false},  // trailing dot: not the listed spelling
        // a blank record lists nothing, also not the empty rest of "intranet."
        {"http://intranet./", false},
        {"http://localhost./x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsHostAllowed(c.url, list), c.allowed) << c.url;
    EXPECT_FALSE(IsHostAllowed("http://allowed.test/", {}));
    EXPECT_TRUE(IsHostAllowed("javascript:x", {}));
    EXPECT_TRUE(IsScriptUrl("JAVASCRIPT:"));
    EXPECT_FALSE(IsScriptUrl("javascript"));
    EXPECT_FALSE(IsScriptUrl(" javascript:x"));
}

TEST(HostFilter, RecordsRoundTripAndCutUnterminated) {
    const uint8_t* key = HostListKey();
    auto r1 = EncodeHostRecord("Allowed.Test", key);
    ASSERT_EQ(r1.size(), kHostRecordBytes);
    auto r2 = EncodeHostRecord(std::string(80, 'a'), key);
    std::vector<uint8_t> bytes = r1;
    bytes.insert(bytes.end(), r2.begin(), r2.end());
    bytes.insert(bytes.end(), 63, 0x55);  // a short tail is no record
    EXPECT_EQ(DecodeHostRecords(bytes.data(), bytes.size(), key),
              (std::vector<std::string>{"allowed.test", std::string(63, 'a')}));
    // A record of 64 non-NUL bytes ends at its end.
    uint8_t full[64], coded[80];
    std::fill(full, full + 64, 'b');
    size_t len = 0;
    netlib::YrnAesTransform(key, 128, full, 64, coded, &len,
                            netlib::kCodecAes | netlib::kCodecEncodeBit);
    EXPECT_EQ(DecodeHostRecords(coded, 64, key), std::vector<std::string>{std::string(64, 'b')});
    EXPECT_TRUE(DecodeHostRecords(coded, 63, key).empty());
}

TEST(HostFilter, ListFileIsReadAfreshForEveryCheck) {
    std::string path = ::testing::TempDir() + "hqlv-domain-" + std::to_string(getpid()) + ".dat";
    std::remove(path.c_str());
    EXPECT_FALSE(IsUrlAllowed("http://allowed.test/", path));  // no file
    EXPECT_TRUE(IsUrlAllowed("javascript:1", path));
    std::vector<std::string> hosts = {"kept"};
    EXPECT_EQ(LoadAllowedHosts(path, hosts, HostListKey()), 0);  // no file: 0, not the count
    ASSERT_TRUE(WriteHostListFile(path, {"allowed.test"}, HostListKey()));
    EXPECT_TRUE(IsUrlAllowed("http://allowed.test/", path));
    EXPECT_FALSE(IsUrlAllowed("http://other.test/", path));
    ASSERT_TRUE(WriteHostListFile(path, {"other.test", "x.test"}, HostListKey()));
    EXPECT_FALSE(IsUrlAllowed("http://allowed.test/", path));
    EXPECT_TRUE(IsUrlAllowed("http://other.test/", path));
    EXPECT_EQ(LoadAllowedHosts(path, hosts, HostListKey()), 3);
    ASSERT_TRUE(WriteHostListFile(path, {}, HostListKey()));
    EXPECT_FALSE(IsUrlAllowed("http://other.test/", path));  // an empty file lists nothing
    std::remove(path.c_str());
}

}  // namespace
}  // namespace hqlv::framework::web
