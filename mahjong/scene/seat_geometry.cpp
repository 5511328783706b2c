#include "mahjong/scene/seat_geometry.h"

#include "mahjong/scene/scene_host.h"

namespace hqlv::mahjong {

void CSeatGeometry::AdjacentViews(int view, int& a, int& b) const {
    a = b = -1;
    if (view < 0 || view > 3) return;
    if (m_nPlayerCount == 4) {
        static constexpr int kA[4] = {1, 0, 1, 0};
        static constexpr int kB[4] = {3, 2, 3, 2};
        a = kA[view];
        b = kB[view];
    } else if (m_nPlayerCount == 3) {
        static constexpr int kA[4] = {2, 0, 0, 0};
        static constexpr int kB[4] = {3, 2, 3, 2};
        a = kA[view];
        b = kB[view];
    }
}

void CSeatGeometry::OtherViews(int view, int& a, int& b) const {
    switch (view) {
        case 0:
            a = 2;
            b = 1;
            break;
        case 1:
            a = 0;
            b = 2;
            break;
        case 2:
            a = 0;
            b = 1;
            break;
        default:
            break;
    }
    if (m_nPlayerCount == 3 && a == 1) {
        a = b;
        b = 1;
    }
}

int CSeatGeometry::OwnChair() const {
    return m_pHost ? m_pHost->GetChairNo() : -1;
}

int CSeatGeometry::ViewToChair(int view) const {
    int own = OwnChair();
    switch (view) {
        case 3:
            return own;
        case 0:
            return NextChair(own);
        case 1:
            return OppositeChair(own);
        case 2:
            return PrevChair(own);
        default:
            return -1;
    }
}

int CSeatGeometry::PrevView(int view) const {
    if (m_nPlayerCount == 3 && view == 2) return 0;
    return (view + 3) % 4;
}

int CSeatGeometry::NextView(int view) const {
    if (m_nPlayerCount == 3 && view == 0) return 2;
    return (view + 1) % 4;
}

int CSeatGeometry::OppositeChair(int chair) const {
    return (chair + 2) % 4;
}

int CSeatGeometry::ChairToView(int chair) const {
    int own = OwnChair();
    // Not seated: no chair has a view position.
    if (own < 0 || chair < 0) return -1;
    if (chair == own) return 3;
    if (chair == NextChair(own)) return 0;
    if (chair == PrevChair(own)) return 2;
    if (chair == OppositeChair(own)) return 1;
    return -1;
}

int CSeatGeometry::PrevChair(int chair) const {
    if (m_nPlayerCount <= 0) return -1;
    return (chair + m_nPlayerCount - 1) % m_nPlayerCount;
}

int CSeatGeometry::NextChair(int chair) const {
    if (m_nPlayerCount <= 0) return -1;
    return (chair + 1) % m_nPlayerCount;
}

int CSeatGeometry::GetTableViewWidth() const {
    return m_pHost ? m_pHost->GetTableViewWidth() : 0;
}

int CSeatGeometry::GetTableViewHeight() const {
    return m_pHost ? m_pHost->GetTableViewHeight() : 0;
}

int CSeatGeometry::PlaySoundRes(int id, int flags) {
    return m_pHost ? m_pHost->PlaySoundId(id, flags) : 0;
}

}  // namespace hqlv::mahjong
