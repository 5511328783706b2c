#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

void CMJGameScene::SetSceneHost(CMJSceneHost* host) {
    m_pHost = host;
    m_geometry.SetHost(host);
}

CMJGameScene2::CMJGameScene2() {
    m_nSceneMode = 2;
}

}  // namespace hqlv::mahjong
