#include "mahjong/game/game_app_ex.h"

#include "framework/app/shared_utils.h"
#include "framework/app/ui_trace.h"
#include "framework/panes/table_view.h"
#include "mahjong/game/game_frame_ex.h"
#include "mahjong/game/small_dialogs.h"
#include "netlib/log.h"
#include "platform/core/profile.h"

namespace hqlv::mahjong {

namespace {
constexpr const char* kSection = "GAMESET";
}

CGameAppEx::CGameAppEx() : CMJGameApp("HqLv", 21303, 2, 1) {
    conn_ = std::make_unique<CGameConnectEx>(connHost_.get(), &ClientHost());
    notify_ = std::make_unique<CGameNotifyEx>(*notifyHost_, RouterHost());
    info_.SetHost(&SceneHost());
    draw_.SetHost(&SceneHost());
    scene_.SetSceneHost(&SceneHost());
}

CGameAppEx::~CGameAppEx() {
    if (playerInfo_ && !playerInfo_->parent()) delete playerInfo_.data();
}

CPlayerInfoDlg* CGameAppEx::playerInfoDialog() const {
    return playerInfo_.data();
}

void CGameAppEx::LoadGameSet() {
    const std::string ini = SettingsPath();
    settings_.quickCatch = platform::getProfileInt(kSection, "QuickCatch", 1, ini);
    settings_.silence = platform::getProfileInt(kSection, "Silence", 0, ini);
    settings_.rejectKanPaiAsk = platform::getProfileInt(kSection, "RejectKanPaiAsk", 0, ini);
    settings_.voice = platform::getProfileInt(kSection, "Voice", 0, ini);
}

void CGameAppEx::SaveGameSet() {
    const std::string ini = SettingsPath();
    const std::pair<const char*, int> keys[] = {{"QuickCatch", settings_.quickCatch},
                                                {"Silence", settings_.silence},
                                                {"RejectKanPaiAsk", settings_.rejectKanPaiAsk},
                                                {"Voice", settings_.voice}};
    for (const auto& [key, value] : keys) {
        if (!platform::writeProfileString(kSection, key, std::to_string(value).c_str(),
                                          ini.c_str()))
            netlib::YrnLogWrite("settings: %s not written to %s", key, ini.c_str());
    }
}

bool CGameAppEx::InitInstance(const std::string& commandLine) {
    LoadGameSet();
    SetPlayerCount(4);
    return CMJGameApp::InitInstance(commandLine);
}

int CGameAppEx::ExitInstance() {
    SaveGameSet();
    return CMJGameApp::ExitInstance();
}

framework::CGameFrameWnd* CGameAppEx::CreateMainFrame() {
    return new CGameFrameEx(*this);
}

bool CGameAppEx::DoGameSetDialog() {
    GameSetValues values = settings_;
    if (!ExecGameSetDialog(values)) return false;
    settings_ = values;
    draw_.PickRandomSound();
    return true;
}

bool CGameAppEx::ExecGameSetDialog(GameSetValues& values) {
    CGameSetDlg dlg(values, GetMainFrame());
    if (dlg.exec() != QDialog::Accepted) return false;
    values = dlg.values();
    return true;
}

void CGameAppEx::ShowPlayerInfoDialog(const framework::PlayerRecord& record) {
    // Made once, then only refilled, shown and hidden.
    if (!playerInfo_) playerInfo_ = new CPlayerInfoDlg(GetMainFrame());
    playerInfo_->SetPlayer(record.raw);
    // Placed beside the player list, as it is: its size stays.
    CMJGameFrameWnd* frame = GetMJFrame();
    if (frame && frame->GetPlayerPane() && frame->GetTablePane())
        playerInfo_->move(PlayerInfoPlace(frame->GetPlayerPane(), frame->GetTablePane(),
                                          playerInfo_->frameGeometry().width()));
    playerInfo_->show();
    playerInfo_->raise();
    framework::UiTrace("info", framework::Format("user %d at %d,%d", record.userId(),
                                                 playerInfo_->x(), playerInfo_->y()));
}

}  // namespace hqlv::mahjong
