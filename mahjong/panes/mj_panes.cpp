#include "mahjong/panes/mj_panes.h"

#include <cstring>

#include <QPainter>

#include "framework/app/shared_utils.h"
#include "framework/panes/player_records.h"
#include "framework/widgets/chat_rich_edit.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/scene/game_info.h"
#include "platform/core/files.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {

bool PostTextCopy(platform::Handle window, uint32_t id, const std::string& text) {
    char* copy = new char[text.size() + 2]();
    std::memcpy(copy, text.data(), text.size());
    platform::Message m;
    m.id = id;
    m.w = reinterpret_cast<uintptr_t>(copy);
    m.dispose = FreePostedText;
    if (platform::post(window, m)) return true;
    delete[] copy;
    return false;
}

void FreePostedText(const platform::Message& m) {
    delete[] reinterpret_cast<char*>(m.w);
}
namespace {

int32_t WordAt(MJData record, size_t i) {
    return framework::LoadWordLE(record.data(), record.size(), i);
}

CMJGameApp* MJApp() {
    return dynamic_cast<CMJGameApp*>(framework::CGameApp::Current());
}

NameOfUser AppNames(bool display) {
    return [display](int userId) {
        CMJGameApp* app = MJApp();
        if (!app) return std::string();
        return display ? app->GetPlayerDisplayName(userId) : app->GetPlayerNameById(userId);
    };
}

}  // namespace

std::optional<std::string> GameStartedLine(MJData record, const NameOfUser& displayName) {
    if (record.size() < 4) return std::nullopt;
    return framework::Format("<c=%d> %s 已经开始\r\n", kGameStartedColour,
                             displayName(WordAt(record, 0)).c_str());
}

std::optional<std::string> KanPaiAnswerLine(MJData record, const NameOfUser& name) {
    if (record.size() < 6 * 4) return std::nullopt;
    return framework::Format(
        " <c=%d>%s%s%s看牌 \r\n", kKanPaiAnswerColour, name(WordAt(record, 0)).c_str(),
        WordAt(record, 5) != 0 ? "允许" : "禁止", name(WordAt(record, 4)).c_str());
}

CMJGameChatView::CMJGameChatView(QWidget* parent) : framework::CGameChatView(parent) {
    QPalette pal = display()->palette();
    pal.setColor(QPalette::Base, platform::ui::ToQColor(kChatListBkColour));
    display()->setPalette(pal);
    SetFaceButtonIcon(kFaceButtonIcon);
}

void CMJGameChatView::ShowRoundHistory(const std::string& line) {
    AppendMarkup(line);
}

void CMJGameChatView::OnScoresLine(MJData) {
    CMJGameApp* app = MJApp();
    if (CMJGameInfo* info = app ? app->GetGameInfo() : nullptr)
        AppendMarkup(info->FormatRoundLine());
}

void CMJGameChatView::OnGameStarted(MJData record) {
    if (auto line = GameStartedLine(record, AppNames(true))) AppendMarkup(*line);
}

void CMJGameChatView::OnKanPaiAnswer(MJData record) {
    if (auto line = KanPaiAnswerLine(record, AppNames(false))) AppendMarkup(*line);
}

void CMJGameChatView::OnGameEntered() {
    framework::CGameChatView::OnGameEntered();
    CMJGameApp* app = MJApp();
    CMJGameInfo* info = app ? app->GetGameInfo() : nullptr;
    if (!info) return;
    // The greeting is empty in this game; an empty line adds nothing to the history.
    if (std::string greeting = info->GetEmptyText(); !greeting.empty()) AppendMarkup(greeting);
    if (info->CanViewTiles()) {
        std::string history;
        info->FormatHistory(history);
        ShowRoundHistory(history);
    }
}

void CMJChatView2::paintEvent(QPaintEvent*) {
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    dc.FillSolidRect(rect(), 0xFFFFFF);
}

}  // namespace hqlv::mahjong
