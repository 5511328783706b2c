// The discard rows and the showcase tile of each seat.
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

void CMJGameScene2::LayoutDiscards() {}
void CMJGameScene2::SetAllDiscardsPresent(int) {}
void CMJGameScene2::AddDiscard(int, int) {}
int CMJGameScene2::LastDiscardIndex(int) const { return -1; }
void CMJGameScene2::BindDiscards(int) {}
void CMJGameScene2::GetDiscardRect(int, MJRect& out) const { out = {}; }
void CMJGameScene2::ResetShowcase() {}
void CMJGameScene2::SetAllShowcasePresent(int) {}
int CMJGameScene2::IsShowcasePresent(int) const { return 0; }
void CMJGameScene2::GetShowcaseRect(int, MJRect& out) const { out = {}; }
void CMJGameScene2::BindShowcase(int) {}
void CMJGameScene2::TakeLastDiscard() {}
void CMJGameScene2::LayDownHand(int) {}
void CMJGameScene2::AddChiMeld(int, MJData) {}
void CMJGameScene2::AddPengMeld(int, MJData) {}

}  // namespace hqlv::mahjong
