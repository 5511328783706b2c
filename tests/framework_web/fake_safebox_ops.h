#pragma once
// A scripted application side for the safe-box flows: it records every request, wait
// text and box, and answers as the test sets it up.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/web/safebox_flow.h"

namespace hqlv::framework::web::testing {

struct FakeSafeBoxOps : SafeBoxOps {
    int32_t silver = 3000;
    int32_t box = 50000;
    int queryOk = 1, queryCode = 10;
    int32_t challenge = 12345678;
    bool answerChallenge = true;
    int32_t challengeResponse = 999;
    int takeOk = 1, saveOk = 1, saveCode = 10, rewriteTo = 0;
    std::vector<std::string> log;  // requests and boxes in order
    std::vector<std::string> boxes;
    std::map<std::string, std::string> settings;

    int UserId() override { return 4321; }
    int32_t SeatSilver() override { return silver; }
    std::string TitleText() override { return "T"; }
    int OpenSafeBox(std::string&, uint8_t out[32]) override {
        std::memset(out, 0, 32);
        std::memcpy(out + 4, &box, 4);
        log.push_back("open");
        return 1;
    }
    int QueryProtection(std::string& text, uint8_t out[24], int* code) override {
        int32_t uid;
        std::memcpy(&uid, out, 4);
        log.push_back("query " + std::to_string(uid));
        *code = queryCode;
        if (!queryOk) {
            text = "query failed";
            return 0;
        }
        std::memcpy(out + 4, &challenge, 4);
        return 1;
    }
    int TakeSilver(std::string& text, int amount, int response) override {
        log.push_back("take " + std::to_string(amount) + " " + std::to_string(response));
        if (!takeOk) text = "take failed";
        return takeOk;
    }
    int SaveSilver(std::string& text, int& amount, int* code) override {
        log.push_back("save " + std::to_string(amount));
        *code = saveCode;
        if (rewriteTo) amount = rewriteTo;
        if (!saveOk) text = "save failed";
        return saveOk;
    }
    void ShowWait(const std::string&, bool) override {}
    void Pause(int) override {}
    bool Box(const std::string& text, const std::string&, bool question) override {
        boxes.push_back(text);
        return !question || confirm;
    }
    bool confirm = true;
    bool AskChallenge(int32_t c, int32_t& response) override {
        log.push_back("challenge " + std::to_string(c));
        response = challengeResponse;
        return answerChallenge;
    }
    void OpenSecurityPage() override { log.push_back("security page"); }
    std::string ReadSetting(const std::string&, const std::string& section,
                            const std::string& key) override {
        auto it = settings.find(section + "/" + key);
        return it == settings.end() ? "" : it->second;
    }
    void WriteSetting(const std::string&, const std::string& section, const std::string& key,
                      const std::string& value) override {
        settings[section + "/" + key] = value;
    }
};

}  // namespace hqlv::framework::web::testing
