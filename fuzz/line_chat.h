#pragma once
// The chat pane's hooks as the chat pane answers them, without its window: every hook builds
// its line with the chat-line builders from the application's data, and the line is parsed
// as the chat display parses what it appends. The notification harnesses give this pane to
// the real handlers, so that what the server sends reaches the lines as it does in the
// program.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "framework/app/app_data.h"
#include "framework/panes/pane_hooks.h"
#include "framework/widgets/chat_lines.h"
#include "framework/widgets/chat_markup.h"

namespace hqlv::fuzz {

class LineChat : public framework::CChatViewHooks {
public:
    explicit LineChat(framework::CGameAppData& app) : app_(app) {}

    // The context the chat pane builds from the application (its window texts aside).
    framework::ChatLineContext Context() const {
        framework::ChatLineContext c;
        c.player = [this](int userId) { return app_.GetPlayerRecord(userId); };
        c.ownUserId = app_.GetUserID();
        c.ownTable = app_.GetTableNo();
        c.gameId = app_.GetGameID();
        c.randomSeating = app_.TestCmdField13Bit8() && app_.GetCmdField8() == 0;
        c.title = "t";
        c.welcomeName = "w";
        c.location = "l";
        return c;
    }
    // The lines that read only the application's data (the welcome line on entry).
    void ShowStandingLines() {
        Add(framework::WelcomeLine(Context()));
        Add(framework::TableChangedLine(Context()));
        Add(framework::RandomTableLine(Context()));
    }
    size_t lines() const { return lines_; }

    void ShowSystemLine(framework::Body b) override { Add(framework::SystemLine(b)); }
    void ShowCall(framework::Body b) override { Add(framework::CallLine(Context(), b)); }
    void ShowPlayerChat(framework::Body b) override {
        Add(framework::PlayerChatLine(Context(), b));
    }
    void ShowTableLeave(const framework::PlayerRecord& r) override {
        Add(framework::TableLeaveLine(Context(), r));
    }
    void ShowTableEnter(const framework::PlayerRecord& r) override {
        Add(framework::TableEnterLine(Context(), r));
    }
    void ShowLookerOnLeave(const framework::PlayerRecord& r) override {
        Add(framework::LookerOnLeaveLine(Context(), r));
    }
    void ShowRandomTable(framework::Body) override { Add(framework::RandomTableLine(Context())); }
    void ShowMessageLine(framework::Body b) override {
        Add(framework::ChatRecordLine(Context(), b));
    }
    void ShowSilverNotice(framework::Body b) override {
        for (const std::string& line : framework::SilverNoticeLines(Context(), b)) Add(line);
    }
    void ShowNewClothes(framework::Body b) override {
        Add(framework::NewClothesLine(Context(), b));
    }
    void ShowMembership(framework::Body b) override {
        Add(framework::MembershipLine(Context(), b));
    }
    void ShowTableChanged(framework::Body) override { Add(framework::TableChangedLine(Context())); }
    void ShowAmuletNotice(framework::Body b) override {
        for (const std::string& line : framework::AmuletLines(Context(), b)) Add(line);
    }
    void ShowLotteryInfo(framework::Body b) override {
        Add(framework::LotteryInfoLine(Context(), b));
    }
    void ShowLotteryInfo2(framework::Body b) override {
        Add(framework::LotteryInfoExLine(Context(), b));
    }
    void ShowLotteryResult(framework::Body b) override {
        Add(framework::LotteryResultLine(Context(), b));
    }
    void ShowBroadcast(framework::Body b) override { Add(framework::BroadcastLine(b)); }
    void ShowPrizeNotice(framework::Body b) override {
        Add(framework::PrizeNoticeLine(Context(), b));
    }
    void ShowGameResult(framework::Body b) override {
        Add(framework::GameResultLine(Context(), b));
    }
    void OnPlayerJoined(const framework::PlayerRecord& r) override {
        Add(framework::LookerOnEnterLine(Context(), r));
    }

private:
    void Add(const std::string& line) {
        if (line.empty()) return;
        // What the display does with an appended line: split it into formatted pieces.
        for (const framework::ChatPiece& p : framework::SplitChatMarkup(line, 3000, true))
            if (p.format.height > 3000) std::abort();
        ++lines_;
    }

    framework::CGameAppData& app_;
    size_t lines_ = 0;
};

}  // namespace hqlv::fuzz
