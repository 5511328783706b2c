// Buffer, CRC, MD5, Base64 and the small helpers.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "netlib/base64.h"
#include "netlib/buffer.h"
#include "netlib/crc32.h"
#include "netlib/md5.h"
#include "netlib/util.h"
#include "platform/core/sysinfo.h"
#include "tests/no_sockets.h"
#include "zlib.h"

using namespace hqlv::netlib;

static std::vector<uint8_t> bytesOf(const std::string& s) {
    return {s.begin(), s.end()};
}
static std::string textOf(const std::vector<uint8_t>& v) {
    return {v.begin(), v.end()};
}

TEST(Buffer, CapacityGrowsInKilobyteSteps) {
    CYrnBuffer b;
    EXPECT_EQ(b.Size(), 0u);
    EXPECT_EQ(b.Capacity(), 0u);
    uint8_t one = 7;
    EXPECT_EQ(b.Append(&one, 1), 1u);
    EXPECT_EQ(b.Capacity(), 1024u);
    CYrnBuffer c;
    std::vector<uint8_t> big(1025, 3);
    c.Append(big.data(), big.size());
    EXPECT_EQ(c.Capacity(), 2048u);
    EXPECT_EQ(c.Grow(100), 0u);  // never shrinks
    EXPECT_EQ(c.Reserve(1000), 0u);
    EXPECT_EQ(c.Grow(4097), 5120u);
    EXPECT_EQ(c.Size(), 1025u);
    EXPECT_EQ(0, std::memcmp(c.Data(), big.data(), big.size()));
    c.Reset();
    EXPECT_EQ(c.Size(), 0u);
    EXPECT_EQ(c.Capacity(), 5120u);
    CYrnBuffer d;
    d.Reset();
    EXPECT_EQ(d.Capacity(), 1024u);
}

TEST(Buffer, ReadPrependRemove) {
    CYrnBuffer b;
    b.Append("cdef", 4);
    b.Prepend("ab", 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.Data()), b.Size()), "abcdef");
    char out[10] = {};
    EXPECT_EQ(b.Read(out, 2), 2u);
    EXPECT_EQ(std::string(out, 2), "ab");
    EXPECT_EQ(b.Read(out, 10), 4u);  // more than held: what is there
    EXPECT_EQ(std::string(out, 4), "cdef");
    EXPECT_EQ(b.Size(), 0u);
    b.Append("xyz", 3);
    EXPECT_EQ(b.RemoveFront(5000), 0u);  // beyond the capacity: nothing
    EXPECT_EQ(b.Size(), 3u);
    EXPECT_EQ(b.RemoveFront(1), 1u);
    EXPECT_EQ(*b.At(0), 'y');
    b.AppendI32(0x01020304);
    b.PrependI32(-2);
    const uint8_t want[] = {0xFE, 0xFF, 0xFF, 0xFF, 'y', 'z', 4, 3, 2, 1};
    ASSERT_EQ(b.Size(), sizeof want);
    EXPECT_EQ(0, std::memcmp(b.Data(), want, sizeof want));
    CYrnBuffer copy(b);
    CYrnBuffer moved(std::move(b));
    EXPECT_EQ(copy.Size(), moved.Size());
    EXPECT_EQ(b.Size(), 0u);
}

TEST(Crc32, CheckValueAndEmpty) {
    CYrnCrc32 crc;
    EXPECT_EQ(crc.Compute("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(crc.Compute(nullptr, 9), 0u);
    EXPECT_EQ(crc.Compute("x", 0), 0u);
    // No bytes at any length, as libdeflate answers it.
    EXPECT_EQ(crc.Compute(nullptr, 4096), 0u);
    EXPECT_EQ(CYrnCrc32::Update(0x1234, nullptr, 4096), 0u);
    uint32_t part = CYrnCrc32::Update(0, "1234", 4);
    EXPECT_EQ(CYrnCrc32::Update(part, "56789", 5), 0xCBF43926u);
}

// Long runs take the folding way: every length around its threshold and its 128-byte steps,
// at odd addresses, continuing a running CRC, agree with zlib's byte-wise function.
TEST(Crc32, LongRunsMatchZlib) {
    std::vector<uint8_t> bytes(9000 + 13);  // the longest run at the farthest offset
    uint32_t x = 7;
    for (auto& b : bytes) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 23);
    const size_t lengths[] = {0,   1,   15,  16,  127, 128,  255,  256,  257,  271,  383,
                              384, 385, 511, 512, 640, 1000, 4040, 4095, 4096, 8191, 8999};
    for (size_t offset : {size_t(0), size_t(1), size_t(13)})
        for (size_t n : lengths)
            for (uint32_t start : {0u, 0xCBF43926u, 0xFFFFFFFFu}) {
                const uint8_t* p = bytes.data() + offset;
                EXPECT_EQ(CYrnCrc32::Update(start, p, n),
                          uint32_t(crc32(start, p, static_cast<uInt>(n))))
                    << offset << " " << n << " " << start;
            }
}

static std::string md5Hex(const std::string& s, const uint32_t* seed = nullptr) {
    YrnMD5Context c;
    YrnMD5Init(c, seed);
    YrnMD5Update(c, nullptr, 5);  // no bytes: nothing taken
    // Feed in odd pieces so the block carry-over is exercised.
    for (size_t i = 0; i < s.size(); i += 7)
        YrnMD5Update(c, s.data() + i, std::min<size_t>(7, s.size() - i));
    YrnMD5Final(c);
    std::string hex;
    YrnBytesToHex(c.digest, 16, hex);
    return hex;
}

TEST(Md5, KnownDigests) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(
        md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
    const uint32_t standard[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    EXPECT_EQ(md5Hex("abc", standard), "900150983cd24fb0d6963f7d28e17f72");
    const uint32_t other[4] = {1, 2, 3, 4};
    EXPECT_NE(md5Hex("abc", other), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Base64, EncodesWithTheExtraEndMark) {
    CBase64Coder c;
    std::string s;
    EXPECT_EQ(c.EncodeToString(bytesOf("a"), s), 1);
    EXPECT_EQ(s, "YQ==");
    c.EncodeToString(bytesOf("ab"), s);
    EXPECT_EQ(s, "YWI=");
    c.EncodeToString(bytesOf("abc"), s);
    EXPECT_EQ(s, "YWJj=");
    c.EncodeToString({}, s);
    EXPECT_EQ(s, "=");
    std::vector<uint8_t> sixty(60, 0xA5);
    c.EncodeToString(sixty, s);
    ASSERT_EQ(s.size(), 83u);
    EXPECT_EQ(s.substr(72, 2), "\r\n");
    EXPECT_EQ(s.back(), '=');
    std::vector<uint8_t> many(150, 0x11);
    c.EncodeToString(many, s);
    EXPECT_EQ(s.find("\r\n"), 72u);
    EXPECT_EQ(s.find("\r\n", 73), std::string::npos);
    std::vector<uint8_t> b;
    c.EncodeToBytes(sixty, b);
    EXPECT_EQ(b.size(), 81u);  // no line break in the byte form
}

TEST(Base64, DecodesAndReportsTheEndMark) {
    CBase64Coder c;
    std::vector<uint8_t> out;
    EXPECT_EQ(c.DecodeString("YWJj=", out), 1);
    EXPECT_EQ(textOf(out), "abc");
    EXPECT_EQ(c.DecodeString("YWJj", out), 0);
    EXPECT_EQ(textOf(out), "abc");
    EXPECT_EQ(c.DecodeString("YQ==", out), 1);
    EXPECT_EQ(textOf(out), "a");
    EXPECT_EQ(c.DecodeString("YW I=", out), 1);
    EXPECT_EQ(textOf(out), "ab");
    EXPECT_EQ(c.DecodeString("YW\r\nJj=", out), 1);
    EXPECT_EQ(textOf(out), "abc");
    EXPECT_EQ(c.DecodeString("YW*j=", out), 0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(c.DecodeString("YWJjZ", out), 0);  // ends inside a group
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(c.DecodeString("", out), 0);
    EXPECT_TRUE(out.empty());
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[i] = uint8_t(i);
    std::string s;
    c.EncodeToString(all, s);
    EXPECT_EQ(c.DecodeString(s, out), 1);
    EXPECT_EQ(out, all);
    std::vector<uint8_t> tb(s.begin(), s.end());
    EXPECT_EQ(c.DecodeBytes(tb, out), 1);
    EXPECT_EQ(out, all);
}

TEST(Base64, AGroupCutShortIsInvalidWhereverItsEndMarkStands) {
    CBase64Coder c;
    std::vector<uint8_t> out;
    const struct {
        const char* text;
        int answer;
        const char* bytes;
    } rows[] = {
        {"YQ=", 0, ""},          // the group runs out after its "="
        {"YQ= ", 0, ""},         // a blank is no character of the group
        {"YWJjYQ=", 0, ""},      // the earlier group's bytes go too
        {"YQ==", 1, "a"},        // the whole group
        {"YWI=", 1, "ab"},       // "=" fourth
        {"YQ=A", 1, "a"},        // "=" third ends the text; the fourth is not read for bytes
        {"Y=", 0, ""},           // cut short after "=" second
        {"Y===", 1, ""},         // "=" second: no byte
        {"=", 1, ""},            // "=" first ends at once, what follows unread
        {"YWJj=Q", 1, "abc"},    // the same after a whole group
        {"YQ=*", 0, ""},         // an invalid fourth character
        {"YWJj\r\n", 0, "abc"},  // used up after a whole group: the bytes stay
    };
    for (const auto& row : rows) {
        out.assign({9, 9});
        EXPECT_EQ(c.DecodeString(row.text, out), row.answer) << row.text;
        EXPECT_EQ(textOf(out), row.bytes) << row.text;
        const std::string t(row.text);
        const std::vector<uint8_t> asBytes(t.begin(), t.end());
        EXPECT_EQ(c.DecodeBytes(asBytes, out), row.answer) << row.text;
        EXPECT_EQ(textOf(out), row.bytes) << row.text;
    }
}

TEST(Base64, StandardFormForHeaders) {
    EXPECT_EQ(YrnBase64Standard("abc", 3), "YWJj");
    EXPECT_EQ(YrnBase64Standard("ab", 2), "YWI=");
    EXPECT_EQ(YrnBase64Standard("", 0), "");
    std::string longCred(80, 'u');
    std::string enc = YrnBase64Standard(longCred.data(), longCred.size());
    EXPECT_EQ(enc.find('\r'), std::string::npos);
    EXPECT_EQ(enc.size(), 108u);
}

TEST(Util, PowersAndLogs) {
    EXPECT_EQ(YrnIntLog2(1), 0);
    EXPECT_EQ(YrnIntLog2(2), 1);
    EXPECT_EQ(YrnIntLog2(1023), 9);
    EXPECT_EQ(YrnIntLog2(-5), 0);
    EXPECT_EQ(YrnPow2(0), 1);
    EXPECT_EQ(YrnPow2(10), 1024);
    EXPECT_EQ(YrnPow2(-3), 1);
    // 32 bits by doublings: the sign bit alone at 31, nothing above.
    EXPECT_EQ(YrnPow2(30), 1 << 30);
    EXPECT_EQ(YrnPow2(31), INT32_MIN);
    EXPECT_EQ(YrnPow2(32), 0);
    EXPECT_EQ(YrnPow2(62), 0);
    EXPECT_EQ(YrnPow2(INT32_MAX), 0);
}

TEST(Util, VersionWordFromTheVersionRecord) {
    constexpr uint32_t kWs = kOsWorkstation | kOsProductType1;  // extended product type 1
    const struct {
        uint32_t platform, major, minor, product;
        bool r2;
        uint32_t word;
    } rows[] = {
        {kPlatformWin32s, 3, 10, 0, false, 0x1},
        {kPlatformWindows, 4, 0, 0, false, 0x2},   // 95
        {kPlatformWindows, 4, 10, 0, false, 0x4},  // 98
        {kPlatformWindows, 4, 90, 0, false, 0x8},  // Me
        {kPlatformWindows, 3, 10, 0, false, 0x2 | 0x4},
        {kPlatformNT, 4, 0, kWs, false, kWs | 0x10},
        {kPlatformNT, 5, 0, kWs, false, kWs | 0x20},
        {kPlatformNT, 5, 1, kWs, false, kWs | 0x40},
        {kPlatformNT, 5, 2, kOsServer, false, kOsServer | 0x400},
        {kPlatformNT, 5, 2, kOsServer, true, kOsServer | 0x800},
        {kPlatformNT, 5, 3, kWs, false, kWs},
        {kPlatformNT, 6, 0, kWs, false, kWs | 0x80},
        {kPlatformNT, 6, 1, kWs, false, kWs | 0x100},
        {kPlatformNT, 6, 2, kWs, false, kWs | 0x200},
        {kPlatformNT, 6, 3, kWs, false, kWs | 0x8000},
        {kPlatformNT, 6, 0, kOsServer, false, kOsServer | 0x1000},
        {kPlatformNT, 6, 1, kOsDomainController, false, kOsDomainController | 0x2000},
        {kPlatformNT, 6, 2, kOsServer, false, kOsServer | 0x4000},
        {kPlatformNT, 6, 3, kOsServer, false, kOsServer | 0x100000},
        {kPlatformNT, 6, 4, kWs, false, kWs},
        {kPlatformNT, 10, 0, kWs, false, kWs | 0x200000},
        {kPlatformNT, 10, 0, kOsServer, false, kOsServer | 0x400000},
        {kPlatformNT, 10, 1, kWs, false, kWs},
        {kPlatformNT, 7, 0, kWs, false, kWs},
        {kPlatformNT, 9, 9, kWs, false, kWs},
        {kPlatformNT, 11, 0, kWs, false, kWs | 0x10000000},
        {kPlatformNT, 6, 1, kOsWorkstation, false, kOsWorkstation | 0x100},  // registry "WINNT"
        {3, 10, 0, kWs, false, kWs},
    };
    for (const auto& r : rows) {
        YrnVersionRecord v;
        v.platform = r.platform;
        v.major = r.major;
        v.minor = r.minor;
        EXPECT_EQ(YrnComposeOSVersion(v, r.product, r.r2), r.word)
            << r.platform << " " << r.major << "." << r.minor;
    }
    EXPECT_EQ(YrnProductTypeWord(1), 0x30000u);
    EXPECT_EQ(YrnProductTypeWord(2), 0x80000u);
    EXPECT_EQ(YrnProductTypeWord(3), 0x40000u);
    EXPECT_EQ(YrnProductTypeWord(0), 0u);
    EXPECT_EQ(YrnProductTypeWord(4), 0u);
    EXPECT_EQ(YrnProductTypeBits("WINNT"), 0x10000u);
    EXPECT_EQ(YrnProductTypeBits("SERVERNT"), 0x40000u);
    EXPECT_EQ(YrnProductTypeBits("LANMANNT"), 0u);
    EXPECT_EQ(YrnProductTypeBits("winnt"), 0u);
}

TEST(Util, VersionOfTheRunningSystem) {
    // The kernel's release numbers on the NT line, a workstation product.
    YrnVersionRecord v;
    v.major = 77;
    ASSERT_EQ(YrnRtlGetVersion(v), 1);
    hqlv::platform::KernelRelease k;
    ASSERT_TRUE(hqlv::platform::kernelRelease(&k));
    EXPECT_EQ(v.major, k.major);
    EXPECT_EQ(v.minor, k.minor);
    EXPECT_EQ(v.build, k.build);
    EXPECT_EQ(v.platform, kPlatformNT);
    EXPECT_EQ(YrnGetProductType(), kOsWorkstation);
    uint32_t word = 0, again = 1;
    ASSERT_EQ(YrnGetOSVersion(word), 1);
    EXPECT_EQ(word, YrnComposeOSVersion(v, kOsWorkstation, false));
    EXPECT_EQ(YrnGetOSVersion(again), 1);
    EXPECT_EQ(again, word);
}

TEST(Util, SplitPathParts) {
    const struct {
        const char* path;
        int parts;
        const char* want;
    } rows[] = {
        {"C:\\a\\b.txt", kPathDrive | kPathFolder, "C:\\a\\"},
        {"C:\\a\\b.txt", kPathName | kPathExt, "b.txt"},
        {"C:b.txt", kPathName | kPathExt, "b.txt"},  // a drive without a folder
        {"~:b.txt", kPathDrive, ""},                 // a drive is a letter
        {"/x/y.z/file", kPathFolder | kPathName, "/x/y.z/file"},
        {"/x/y.z/file", kPathExt, ""},
        {"name.tar.gz", kPathName, "name.tar"},
    };
    for (const auto& r : rows) {
        std::string out = "junk";
        YrnSplitPath(r.path, r.parts, out);
        EXPECT_EQ(out, r.want) << r.path << " " << r.parts;
    }
}

TEST(Util, FilesIdsAndHex) {
    std::string folder;
    EXPECT_EQ(YrnGetModuleFolder(folder), 1);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(YrnFileExists(folder, 1), 1);
    EXPECT_EQ(YrnFileExists(folder, 0), 0);
    EXPECT_EQ(YrnFileExists("/proc/self/exe", 0), 1);
    EXPECT_EQ(YrnFileExists(folder + "no-such-file-here", 0), 0);

    std::string hex = "x";
    const uint8_t b[] = {0x00, 0xAB, 0x0F};
    YrnBytesToHex(b, 3, hex);
    EXPECT_EQ(hex, "x00ab0f");

    char id[31] = {};
    EXPECT_EQ(YrnMakeUniqueId(id), 1);
    EXPECT_EQ(std::strlen(id), 30u);
    EXPECT_EQ(std::string(id).find_first_not_of("0123456789abcdef"), std::string::npos);
    char id2[31] = {};
    YrnMakeUniqueId(id2);
    EXPECT_STRNE(id, id2);
    EXPECT_EQ(YrnMakeUniqueId(id), 0);  // already filled: left alone

    // Every byte filled, the last UUID cut: 40 zero bytes do not stay zero, in any part.
    uint8_t r[40] = {};
    EXPECT_EQ(YrnRandomBytes(r, sizeof r), 1);
    for (size_t at : {0, 16, 32}) {
        const size_t n = at == 32 ? 8 : 16;
        EXPECT_FALSE(std::all_of(r + at, r + at + n, [](uint8_t b) { return b == 0; })) << at;
    }
    uint8_t again[40] = {};
    EXPECT_EQ(YrnRandomBytes(again, sizeof again), 1);
    EXPECT_NE(std::memcmp(r, again, sizeof r), 0);
    EXPECT_EQ(YrnRandomBytes(again, 0), 1);
    char dst[8] = "zzzzzzz";
    YrnSafeCopy(dst, nullptr, -1);
    EXPECT_STREQ(dst, "zzzzzzz");
    YrnSafeCopy(dst, "ab", -1);
    EXPECT_STREQ(dst, "ab");
}

// Without random bytes from the system there are no UUIDs: no random bytes and no unique id
// (the id's buffer stays empty).
TEST(Util, NoUuidsNoRandomBytesAndNoUniqueId) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        alarm(10);
        if (!hqlv::testing::RefuseSystemCall(__NR_getrandom)) _exit(2);
        uint8_t r[20] = {};
        if (YrnRandomBytes(r, sizeof r) != 0) _exit(3);
        char id[32] = "";
        if (YrnMakeUniqueId(id) != 0) _exit(4);
        if (id[0] != 0) _exit(5);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
