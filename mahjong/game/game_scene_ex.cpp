#include "mahjong/game/game_scene_ex.h"

namespace hqlv::mahjong {

void CGameSceneEx::OnAttach() {
    SetFixedLogicalSize(kSceneWidth, kSceneHeight);
}

}  // namespace hqlv::mahjong
