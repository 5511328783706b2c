#include "framework/web/host_filter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "netlib/codec.h"

namespace hqlv::framework::web {
namespace {

using namespace hqlv::netlib;

const std::vector<std::string> kList = {"allowed.test"};

TEST(HostFilter, JudgesTheHostAParserSees) {
    struct Case {
        const char* url;
        bool allowed;
    } cases[] = {
        {"http://allowed.test/", true},
        {"http://ALLOWED.test/x", true},
        {"http://www.allowed.test/a/b", true},
        {"http://a.b.allowed.test/", true},
        {"http://allowed.test:8080/", true},
        {"http://user:pw@allowed.test/", true},
        {"http://other.test/", false},
        {"http://notallowed.test/", false},
        {"http://test/", false},
        {"https://allowed.test/", false},
        {"about:blank", false},
        {"allowed.test/x", false},
        {"javascript:void(0)", true},
        {"JavaScript:alert(1)", true},
        {"", false},
        // a host that text before the first '/' would have let through
        {"http://evil.test?.allowed.test", false},
        {"http://evil.test#.allowed.test", false},
        {"http://evil.test\\.allowed.test", false},
        {"http://allowed.test@evil.test/", false},
        {"http://evil.test/.allowed.test", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsHostAllowed(c.url, kList), c.allowed) << c.url;
}

TEST(HostFilter, OneLabelListNamesOnlyItself) {
    // "localhost" holds no '.', so only the exact name passes.
    std::vector<std::string> list = {"localhost"};
    EXPECT_TRUE(IsHostAllowed("http://localhost:81/", list));
    EXPECT_TRUE(IsHostAllowed("http://pages.localhost/", list));  // first label dropped
    EXPECT_FALSE(IsHostAllowed("http://a.pages.localhost/", list));
    EXPECT_FALSE(IsHostAllowed("http://localhostx/", list));
}

TEST(HostFilter, BlankRecordListsNoHost) {
    // A list file with an empty record decodes to an empty name; the rest of "intranet."
    // after its first label is empty too, and must not count as listed.
    std::vector<std::string> list = {"allowed.test", ""};
    EXPECT_FALSE(IsHostAllowed("http://intranet./", list));
    EXPECT_FALSE(IsHostAllowed("http://localhost./x", list));
    EXPECT_TRUE(IsHostAllowed("http://www.allowed.test/", list));
}

TEST(HostFilter, TrickFormsAreJudgedOnTheRealHost) {
    struct Case {
        const char* url;
        bool allowed;
    } cases[] = {
        {"http://evil.test%2F@allowed.test/", true},  // user part, host is allowed.test
        {"http://%61llowed.test/", true},             // percent-decoded host
        {"http://evil.test%2f.allowed.test/", false},
        {"http://evil.test%3f.allowed.test", false},
        {"http://allowed.test%00.evil.test/", false},
        {"http://evil.test\t.allowed.test", false},
        {"http://allowed.test:80:80@evil.test/", false},
        {"http://[::1]/", false},
        {"http:allowed.test", false},  // no authority: no host
        {"http://", false},
        {"http://allowed.test./", false},  // trailing dot: not the listed spelling
    };
    for (const auto& c : cases) EXPECT_EQ(IsHostAllowed(c.url, kList), c.allowed) << c.url;
}

TEST(HostFilter, EmptyListRefusesAllButScripts) {
    EXPECT_FALSE(IsHostAllowed("http://allowed.test/", {}));
    EXPECT_TRUE(IsHostAllowed("javascript:x", {}));
}

TEST(HostFilter, RecordsRoundTripAndCutUnterminated) {
    const uint8_t* key = HostListKey();
    std::string longName(80, 'a');
    auto r1 = EncodeHostRecord("Allowed.Test", key);
    ASSERT_EQ(r1.size(), kHostRecordBytes);
    auto r2 = EncodeHostRecord(longName, key);
    std::vector<uint8_t> bytes = r1;
    bytes.insert(bytes.end(), r2.begin(), r2.end());
    bytes.insert(bytes.end(), 63, 0x55);  // a short tail is no record
    auto names = DecodeHostRecords(bytes.data(), bytes.size(), key);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "allowed.test");
    EXPECT_EQ(names[1], std::string(63, 'a'));
    // A record of 64 non-NUL bytes ends at its end.
    uint8_t full[64];
    std::fill(full, full + 64, 'b');
    uint8_t coded[80];
    size_t len = 0;
    YrnAesTransform(key, 128, full, 64, coded, &len, kCodecAes | kCodecEncodeBit);
    auto one = DecodeHostRecords(coded, 64, key);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0], std::string(64, 'b'));
    EXPECT_TRUE(DecodeHostRecords(coded, 63, key).empty());
}

TEST(HostFilter, ListFileIsReadAfreshForEveryCheck) {
    std::string path = ::testing::TempDir() + "hqlv-domain.dat";
    std::remove(path.c_str());
    EXPECT_FALSE(IsUrlAllowed("http://allowed.test/", path));  // no file
    EXPECT_TRUE(IsUrlAllowed("javascript:1", path));
    std::vector<std::string> before = {"kept"};
    EXPECT_EQ(LoadAllowedHosts(path, before, HostListKey()), 0);  // no file: 0, not the count
    ASSERT_TRUE(WriteHostListFile(path, {"allowed.test"}, HostListKey()));
    EXPECT_TRUE(IsUrlAllowed("http://allowed.test/", path));
    EXPECT_FALSE(IsUrlAllowed("http://other.test/", path));
    ASSERT_TRUE(WriteHostListFile(path, {"other.test", "x.test"}, HostListKey()));
    EXPECT_FALSE(IsUrlAllowed("http://allowed.test/", path));
    EXPECT_TRUE(IsUrlAllowed("http://other.test/", path));
    std::vector<std::string> hosts = {"kept"};
    EXPECT_EQ(LoadAllowedHosts(path, hosts, HostListKey()), 3);
    ASSERT_TRUE(WriteHostListFile(path, {}, HostListKey()));
    EXPECT_FALSE(IsUrlAllowed("http://other.test/", path));  // an empty file lists nothing
    std::remove(path.c_str());
}

}  // namespace
}  // namespace hqlv::framework::web
