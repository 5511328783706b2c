// The scene's fixed pools: 336 entity bindings that show tile records and 31 tile
// controls that make own tiles clickable, with their checks.
#include <cstdio>

#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "mahjong/scene/game_scene.h"

namespace hqlv::mahjong {

engine::Entity* CMJGameScene2::EntityOf(uint32_t id) const {
    engine::GameKernel* k = Kernel();
    return k && id ? k->FindEntity(id) : nullptr;
}

int CMJGameScene2::AllocEntity() {
    for (int i = 1; i <= kBindingCount; ++i)
        if (m_bindings[size_t(i)].area == 0) return i;
    engine::WriteLogText("实体请求错误，已无空闲实体!");
    return 0;
}

int CMJGameScene2::AllocControl() {
    for (int i = 1; i <= kTileControlCount; ++i)
        if (!m_tileControls[size_t(i)].inUse) return i;
    engine::WriteLogText("控件请求错误，已无空闲实体!");
    return 0;
}

uint32_t CMJGameScene2::TileClickCode() const {
    // The clock hand at the own seat (position 2 × 3) means the own turn.
    if (m_nClockPos != 2 * kOwnView) return 0;
    switch (m_nSelectMode) {
        case 3:
            return 210017;
        case 1:
            return 210015;
        case 2:
            return 210016;
        case 0:
            return m_tiles.m_hands[kOwnView][0].bPresent ? 210018 : 0;
        default:
            return 0;
    }
}

void CMJGameScene2::SetTileControl(MJBinding* binding) {
    if (!binding) {
        engine::WriteLogText("麻将牌控件设置错误，一个为空的麻将结构!");
        return;
    }
    MJTileControl* tc = TileControl(binding->control);
    engine::GameKernel* k = Kernel();
    engine::ControlData* c = tc && k ? k->FindControl(tc->controlId) : nullptr;
    if (!tc || !c) {
        engine::WriteLogText("麻将牌控件设置错误，麻将控件未绑定!");
        return;
    }
    tc->binding = binding;
    tc->inUse = 1;
    // The events go to the scene's message hook (no target); their data word names the
    // tile control, which is how the handlers find the tile.
    const uintptr_t index = uintptr_t(binding->control);
    for (uint32_t slot = 0; slot < engine::kEventSlots; ++slot) c->SetEvent(slot, 0, 0, 0);
    if (m_pHost && m_pHost->GetCmdField8()) {
        c->SetEvent(2, 210011, 0, index);
        c->SetEvent(3, 210012, 0, index);
    } else {
        c->SetEvent(2, 210013, 0, index);
        c->SetEvent(3, 210014, 0, index);
        c->SetEvent(6, 210019, 0, index);
        c->SetEvent(7, 210021, 0, index);
        c->SetEvent(11, 210020, 0, index);
        if (const uint32_t click = TileClickCode()) c->SetEvent(8, click, 0, index);
    }
    // Bound after the events are set, so the entity takes hits.
    if (engine::Entity* e = EntityOf(binding->entityId)) k->BindControl(c, e, 0);
}

void CMJGameScene2::RebindTileControls() {
    if (m_pHost && m_pHost->GetCmdField8()) return;
    for (int i = 1; i <= kTileControlCount; ++i) {
        MJTileControl& tc = m_tileControls[size_t(i)];
        if (tc.inUse && tc.binding) SetTileControl(tc.binding);
    }
}

void CMJGameScene2::ReleaseBinding(MJTileInfo* record, MJBinding* binding) {
    if (record) record->nObject = 0;
    if (!binding) return;
    binding->area = 0;
    binding->code = kHiddenTile;
    if (engine::Entity* e = EntityOf(binding->entityId)) {
        e->SetAlpha(1.0);
        if (e->GetType() == engine::ENT_IMAGE)
            static_cast<engine::ImageEntity*>(e)->SetColorWord(0xFF00FF);
        // Gone from the screen at once: a table reset leaves no tile of the last deal behind,
        // and a pooled entity that no binding takes again is not drawn (or hit) where its tile
        // was.
        e->Hide();
        e->ApplyTransform();
    }
    if (MJTileControl* tc = TileControl(binding->control)) {
        if (engine::GameKernel* k = Kernel()) k->ReleaseControl(tc->controlId);
        tc->binding = nullptr;
        tc->inUse = 0;
    }
    binding->control = 0;
}

void CMJGameScene2::ReleaseRecordBinding(MJTileInfo* record) {
    if (record && record->nObject) ReleaseBinding(record, Binding(record->nObject));
}

void CMJGameScene2::ReleaseAllBindings() {
    for (int i = 1; i <= kBindingCount; ++i) {
        MJBinding& b = m_bindings[size_t(i)];
        if (b.area) ReleaseBinding(GetTileRecord(b.area, b.view, b.index), &b);
    }
}

void CMJGameScene2::CheckBindings() {
    for (int i = 1; i <= kBindingCount; ++i) {
        MJBinding& b = m_bindings[size_t(i)];
        if (!b.area) continue;
        MJTileInfo* r = GetTileRecord(b.area, b.view, b.index);
        // A binding whose record is gone (no such record) shows nothing any more either.
        const bool stale = !r || !r->bPresent || (b.area == kAreaHand && r->nMeld) ||
                           (b.area == kAreaMeld && r->nMeld == 0 && r->bHand == 1) ||
                           (b.area == kAreaHand && r->bHand == 0) || b.face != r->nFace ||
                           b.direction != r->nDirection || b.code != r->nCode ||
                           b.locked != r->bLocked || b.view != r->nView ||
                           b.selected != r->bSelected;
        if (stale) {
            ReleaseBinding(r, &b);
        } else if (r->nObject != i) {
            char line[256];
            std::snprintf(line, sizeof line,
                          "麻将实体绑定错误，一个重复的可用绑定:mj->nObject:%d,i:%d\r\n",
                          r->nObject, i);
            engine::WriteLogText(line);
        }
    }
}

}  // namespace hqlv::mahjong
