#include "mahjong/game/table_draw_ex.h"

#include <ctime>

#include "mahjong/scene/scene_host.h"

namespace hqlv::mahjong {

void CTableDrawEx::PickRandomSound() {
    if (!m_pHost) return;
    std::vector<std::string> lists[2];
    m_pHost->ScanSoundFiles(lists[0], lists[1]);
    if (lists[0].empty() && lists[1].empty()) return;
    m_random.seed(uint32_t(std::time(nullptr)));
    const std::string base = VoiceBase();
    const int voice = m_pHost->GetVoiceSetting();
    for (int chair = 0; chair < m_nPlayerCount; ++chair) {
        // A chair without a view position (the user not seated) has no record to fill.
        MJSeatRecord* s = SeatMutable(ChairToView(chair));
        if (!s) continue;
        s->voiceFolder = base;
        int k = s->voiceKind;
        if ((k == 0 || k == 1) && !lists[k].empty()) {
            const std::vector<std::string>& list = lists[k];
            size_t i = 0;
            if (voice == 1)
                i = list.size() > 1 ? 1 : 0;
            else if (voice != 0)
                i = m_random() % list.size();
            s->voiceFolder += list[i];
        }
        s->voiceFolder += "/";
    }
}

}  // namespace hqlv::mahjong
