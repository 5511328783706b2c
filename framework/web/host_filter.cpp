#include "framework/web/host_filter.h"

#include <QUrl>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "hqlv/config.h"
#include "netlib/codec.h"

namespace hqlv::framework::web {
namespace {

using namespace hqlv::netlib;

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == prefix;
}

// A blank record names no host: it must not match the empty rest of a name like "intranet.".
bool Listed(const std::vector<std::string>& hosts, std::string_view name) {
    return !name.empty() && std::find(hosts.begin(), hosts.end(), name) != hosts.end();
}

// The host a browser would connect to, or empty for anything but a plain web address.
// The text between "http://" and the first '/' is not that host: "http://evil.test?.a.test",
// "http://a.test@evil.test" or "http://javascript:x@evil.test/" would pass a check of that
// text while the browser goes to evil.test. So the check takes the host a URL parser sees.
// Browsers read '\' as '/' in web addresses, so the check does too.
std::string HttpHost(std::string_view url) {
    std::string text(url);
    std::replace(text.begin(), text.end(), '\\', '/');
    QUrl u(QString::fromUtf8(text.data(), qsizetype(text.size())));
    if (!u.isValid() || u.scheme() != QLatin1String("http")) return {};
    return u.host().toLower().toStdString();
}

}  // namespace

const uint8_t* HostListKey() {
    static const char key[] = HQLV_HOST_LIST_KEY;
    return reinterpret_cast<const uint8_t*>(key);
}

std::vector<uint8_t> EncodeHostRecord(std::string_view host, const uint8_t* key) {
    uint8_t plain[kHostRecordBytes] = {};
    std::memcpy(plain, host.data(), std::min(host.size(), kHostRecordBytes - 1));
    std::vector<uint8_t> coded(YrnAesOutputLength(kHostRecordBytes));
    size_t len = 0;
    YrnAesTransform(key, 128, plain, kHostRecordBytes, coded.data(), &len,
                    kCodecAes | kCodecEncodeBit);
    coded.resize(kHostRecordBytes);  // whole blocks: the record decodes on its own
    return coded;
}

std::vector<std::string> DecodeHostRecords(const uint8_t* data, size_t n, const uint8_t* key) {
    std::vector<std::string> names;
    uint8_t plain[kHostRecordBytes + 16];  // the cipher writes one block more
    for (size_t at = 0; data && n - at >= kHostRecordBytes; at += kHostRecordBytes) {
        size_t len = 0;
        if (!YrnAesTransform(key, 128, data + at, kHostRecordBytes, plain, &len,
                             kCodecAes | kCodecDecodeBit))
            break;
        // A record without its terminator ends with the record, not past it.
        const char* s = reinterpret_cast<const char*>(plain);
        names.push_back(Lower(std::string_view(s, strnlen(s, kHostRecordBytes))));
    }
    return names;
}

bool WriteHostListFile(const std::string& path, const std::vector<std::string>& hosts,
                       const uint8_t* key) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    for (const auto& h : hosts) {
        auto rec = EncodeHostRecord(h, key);
        f.write(reinterpret_cast<const char*>(rec.data()), std::streamsize(rec.size()));
    }
    return bool(f);
}

int LoadAllowedHosts(const std::string& path, std::vector<std::string>& hosts, const uint8_t* key) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return 0;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                               std::istreambuf_iterator<char>());
    auto names = DecodeHostRecords(bytes.data(), bytes.size(), key);
    hosts.insert(hosts.end(), names.begin(), names.end());
    return int(hosts.size());
}

bool IsScriptUrl(std::string_view url) {
    return StartsWithNoCase(url, "javascript:");
}

bool IsHostAllowed(std::string_view url, const std::vector<std::string>& hosts) {
    if (url.empty()) return false;
    if (IsScriptUrl(url)) return true;
    if (hosts.empty()) return false;
    std::string host = HttpHost(url);
    if (host.empty()) return false;
    if (Listed(hosts, host)) return true;
    size_t first = host.find('.');
    if (first == std::string::npos) return false;
    if (Listed(hosts, std::string_view(host).substr(first + 1))) return true;
    size_t last = host.rfind('.');
    size_t secondLast = last == 0 ? std::string::npos : host.rfind('.', last - 1);
    std::string_view two = secondLast == std::string::npos
                               ? std::string_view(host)
                               : std::string_view(host).substr(secondLast + 1);
    return Listed(hosts, two);
}

bool IsUrlAllowed(std::string_view url, const std::string& listFile) {
    if (IsScriptUrl(url)) return true;
    std::vector<std::string> hosts;
    if (LoadAllowedHosts(listFile, hosts, HostListKey()) == 0) return false;
    return IsHostAllowed(url, hosts);
}

}  // namespace hqlv::framework::web
