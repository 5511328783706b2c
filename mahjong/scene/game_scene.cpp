#include "mahjong/scene/game_scene.h"

#include "rules/table_ex.h"

namespace hqlv::mahjong {

void CMJGameScene::SetSceneHost(CMJSceneHost* host) {
    m_pHost = host;
    m_geometry.SetHost(host);
}

CMJGameScene2::CMJGameScene2() {
    m_nSceneMode = 2;
    // This game's table rules are built once with this game's values and let go at once:
    // what stays is that their six tile callbacks are in force for every tile test, claim
    // check and gang search the scene makes. Nothing else of the rule table runs here.
    rules::CMJTableEx{};
}

}  // namespace hqlv::mahjong
