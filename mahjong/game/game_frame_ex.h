#pragma once
// CGameFrameEx: this game's main frame: the mahjong frame with this game's panes.
#include "mahjong/panes/mj_frame.h"

namespace hqlv::mahjong {

class CGameAppEx;

class CGameFrameEx : public CMJGameFrameWnd {
public:
    explicit CGameFrameEx(CGameAppEx& app);

protected:
    framework::CGameFormView* CreateOperatePane() override;
    framework::CGameFormView* CreateInfoPane() override;
    framework::CGameFormView* CreatePlayerPane() override;
    // This game's layout has no tool row.
    framework::CGameFormView* CreateToolPane() override { return nullptr; }
    framework::CGameFormView* CreateChatPane() override;
    framework::CGameFormView* CreateFallbackChatPane() override;
    int DoExitRequestDialog() override;

    CGameAppEx& appEx_;
};

}  // namespace hqlv::mahjong
