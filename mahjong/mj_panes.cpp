#include "mahjong/mj_panes.h"

namespace hqlv::mahjong {

void CMJGameChatView::ShowRoundHistory(const std::string& line) {
    AppendMarkup(line);
}

}  // namespace hqlv::mahjong
