// Input: a page address up to the first '\n', then list-file bytes (64-byte records).
// Whatever the filter lets through is a script address or an http address whose host is
// a listed name or ends in "." and a listed name.
#include <QUrl>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "framework/web/host_filter.h"
#include "framework/web/link_handler.h"
#include "framework/web/safebox_model.h"
#include "fuzz/temp_logs.h"
#include "netlib/log.h"

using namespace hqlv::framework::web;

namespace {

std::string ParsedHost(std::string url) {
    std::replace(url.begin(), url.end(), '\\', '/');
    QUrl u(QString::fromUtf8(url.data(), qsizetype(url.size())));
    return u.host().toLower().toStdString();
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The network library's log goes to the process's own folder, which goes when the
    // process ends.
    static const bool logs = [] {
        hqlv::netlib::YrnLogSetFolder(hqlv::fuzz::TemporaryLogFolder("framework-web"));
        return true;
    }();
    (void)logs;
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t nl = all.find('\n');
    std::string url(all.substr(0, nl));
    std::string_view rest = nl == std::string_view::npos ? std::string_view() : all.substr(nl + 1);

    auto hosts = DecodeHostRecords(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(),
                                   HostListKey());
    // Plain names too, so that matches are reachable without forging cipher text.
    hosts.push_back("allowed.test");
    if (IsHostAllowed(url, hosts)) {
        std::string lower = url.substr(0, 11);
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        if (lower != "javascript:") {
            std::string host = ParsedHost(url);
            bool ok = false;
            for (const auto& h : hosts)
                if (!h.empty() && (host == h || EndsWith(host, "." + h))) ok = true;
            if (!ok) std::abort();
        }
    }

    LinkKind kind = ClassifyLink(url);
    std::string http = ToHttpUrl(url);
    if (http.compare(0, 4, "http") != 0) std::abort();
    if ((kind == LinkKind::kOld || kind == LinkKind::kNew) && url.size() < 7) std::abort();

    auto v = ParseLeadingInt(url, 29);
    if (v && *v != 0 && url.find_first_of("0123456789") == std::string::npos) std::abort();
    std::string code = CodePictureText(v.value_or(0));
    if (code.size() > 8) std::abort();
    for (char c : code)
        if (GlyphIndex(c) < 1 || GlyphIndex(c) > 10) std::abort();
    KeypadModel k;
    k.TypeDigits(url);
    if (k.digits().size() > KeypadModel::kMaxDigits) std::abort();
    (void)k.Response(v.value_or(0));
    auto history = ParseHistory(url);
    AddToHistory(history, v.value_or(0));
    if (history.size() > 100) std::abort();
    return 0;
}
