#include "framework/app/settings_files.h"

#include <openssl/evp.h>

#include "framework/app/shared_utils.h"
#include "platform/core/diag.h"

namespace hqlv::framework {

std::string MachineIdFromAdapters(const std::vector<NetAdapter>& adapters) {
    std::array<uint8_t, 128> buf{};
    size_t used = 0;
    bool any = false;
    for (const NetAdapter& a : adapters) {
        if (a.type != 6) continue;
        any = true;
        for (uint8_t b : a.address) {
            if (used >= buf.size()) break;  // bytes beyond the buffer are dropped
            buf[used++] = b;
        }
    }
    if (!any) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : buf) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return hex.substr(0, 31);
}

std::string GetMachineID(const std::vector<NetAdapter>& adapters, const MachineIdStore& store) {
    std::string id = MachineIdFromAdapters(adapters);
    if (id.empty() && store.readStored) {
        id = store.readStored();
        if (id.size() > 31) id.resize(31);
    }
    while (!id.empty() && id.back() == ' ') id.pop_back();
    if (id.empty() && store.newUuid) {
        id = store.newUuid();
        if (id.size() > 31) id.resize(31);
        // A UUID that could not be made is neither stored nor given: the next call tries
        // again.
        if (id.empty())
            platform::diag("machine id: no UUID could be made");
        else if (store.writeStored)
            store.writeStored(id);
    }
    return id;
}

std::string SignUrlParams(const std::string& text) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (EVP_Digest(text.data(), text.size(), md, &n, EVP_md5(), nullptr) != 1) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < n; ++i) {
        out += kHex[md[i] >> 4];
        out += kHex[md[i] & 15];
    }
    return out;
}

std::string RechargeSignature(const SignedLinkInput& in) {
    std::string source = Format("hall_id%dgame_id%dgame_code%suser_id%dunix_time%lld%s", in.hallId,
                                in.gameId, in.gameCode.c_str(), in.userId,
                                static_cast<long long>(in.unixTime), in.signKey.c_str());
    return "&v_sign=" + SignUrlParams(source) +
           Format("&unix_time=%lld", static_cast<long long>(in.unixTime));
}

std::string BuildSignedActivityUrl(int index, const std::string& page, const SignedLinkInput& in,
                                   const std::function<std::string(const std::string&)>& webUrl) {
    if (index < 0 || index > 6) return {};
    std::string url = page;
    if (index == 2) url += RechargeSignature(in);
    url = webUrl ? webUrl(url) : url;
    url += Format("&game_id=%d&game_code=%s&hall_id=%d", in.gameId, in.gameCode.c_str(), in.hallId);
    return url;
}

}  // namespace hqlv::framework
