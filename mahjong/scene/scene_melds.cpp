// The tile-model updates of melds and of the hands laid down at the end of a deal.
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

void CMJGameScene2::AddExposedGangMeld(int, MJData) {}
void CMJGameScene2::AddConcealedGangMeld(int, MJData) {}
void CMJGameScene2::AddAddedGangMeld(int, MJData) {}
void CMJGameScene2::AddPengMeldView0(MJData) {}
void CMJGameScene2::AddPengMeldView1(MJData) {}
void CMJGameScene2::AddPengMeldView2(MJData) {}
void CMJGameScene2::AddPengMeldView3(MJData) {}
void CMJGameScene2::AddChiMeldView0(MJData) {}
void CMJGameScene2::AddChiMeldView1(MJData) {}
void CMJGameScene2::AddChiMeldView2(MJData) {}
void CMJGameScene2::AddChiMeldView3(MJData) {}
void CMJGameScene2::AddExposedGangMeldView0(MJData) {}
void CMJGameScene2::AddExposedGangMeldView1(MJData) {}
void CMJGameScene2::AddExposedGangMeldView2(MJData) {}
void CMJGameScene2::AddExposedGangMeldView3(MJData) {}
void CMJGameScene2::AddConcealedGangMeldView0(MJData) {}
void CMJGameScene2::AddConcealedGangMeldView1(MJData) {}
void CMJGameScene2::AddConcealedGangMeldView2(MJData) {}
void CMJGameScene2::AddConcealedGangMeldView3(MJData) {}
void CMJGameScene2::AddAddedGangMeldView0(MJData) {}
void CMJGameScene2::AddAddedGangMeldView1(MJData) {}
void CMJGameScene2::AddAddedGangMeldView2(MJData) {}
void CMJGameScene2::AddAddedGangMeldView3(MJData) {}
void CMJGameScene2::TakeMeldTilesFromHand(int, MJData) {}
void CMJGameScene2::TakeExposedGangTiles(int, MJData) {}
void CMJGameScene2::TakeConcealedGangTiles(int, MJData) {}
void CMJGameScene2::TakeAddedGangTile(int, MJData) {}
void CMJGameScene2::LayOutEndHand(int, std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandView0(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandView1(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandView2(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandView3(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandAll(int, std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandAllView0(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandAllView1(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandAllView2(std::span<const int32_t>) {}
void CMJGameScene2::LayOutEndHandAllView3(std::span<const int32_t>) {}
void CMJGameScene2::LayOutWinningHand(int, int, std::span<const int32_t>) {}
void CMJGameScene2::LayOutWinningHandView0(int, std::span<const int32_t>) {}
void CMJGameScene2::LayOutWinningHandView1(int, std::span<const int32_t>) {}
void CMJGameScene2::LayOutWinningHandView2(int, std::span<const int32_t>) {}
void CMJGameScene2::LayOutWinningHandView3(int, std::span<const int32_t>) {}
void CMJGameScene2::ShowWinEffect(int) {}

}  // namespace hqlv::mahjong
