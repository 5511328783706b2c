#pragma once
// CTableDrawEx: this game's table-drawing object. It differs from the mahjong layer's
// only in the choice of the seats' voice folders, which follows the "Voice" setting.
#include "mahjong/scene/table_draw.h"

namespace hqlv::mahjong {

class CTableDrawEx : public CMJTableDraw {
public:
    // "Voice" 0 takes the first folder of the seat's list, 1 the second (the first when
    // the list holds one), any other value a random one. A seat of another voice kind,
    // or of a kind whose list is empty, gets the base folder alone.
    void PickRandomSound() override;
};

}  // namespace hqlv::mahjong
