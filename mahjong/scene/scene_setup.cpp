// Skins, pictures and the scene's set-up: the settings with the style names, the common
// and style pictures by description, the tile metrics, and the entities and controls that
// the scene makes once and reuses.
#include <cstdio>
#include <memory>

#include "engine/core/button_frame.h"
#include "engine/core/controls.h"
#include "engine/core/engine_log.h"
#include "engine/core/entity_kinds.h"
#include "engine/core/kernel.h"
#include "engine/core/resource_manager.h"
#include "engine/render/plane.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/tool_button.h"
#include "platform/core/profile.h"

namespace hqlv::mahjong {

namespace {

constexpr uint32_t kMagentaKey = 0xFF00FF;
constexpr int kTableWidth = 744;
constexpr int kTableHeight = 710;
constexpr int kLayer = 2;
// The button frames' layer (the engine's buttons and frames stand on it).
constexpr int kBarLayer = 4;

struct CommonPicture {
    const char* file;
    const char* description;
    uint32_t key;  // COLORREF
};
const CommonPicture kCommonPictures[] = {
    {"start.bmp", "开始", kMagentaKey},    {"AskKanPai.bmp", "看牌", kMagentaKey},
    {"clock_digit.bmp", "数字", 0x00FF00}, {"dnxb.png", "东南西北", kMagentaKey},
    {"buff.bmp", "BUFF", kMagentaKey},     {"arrowhead.bmp", "系统栏箭头", kMagentaKey},
    {"Autoplay.bmp", "托管", kMagentaKey}, {"hu.bmp", "胡牌", kMagentaKey},
    {"note.bmp", "说明板", kMagentaKey},   {"hand.png", "手", kMagentaKey},
    {"partical.png", "粒子", kMagentaKey},
};

}  // namespace

engine::ButtonSkin CMJGameScene2::SkinOf(const std::vector<engine::ImageInfo>& pieces) {
    engine::ButtonSkin skin;
    auto piece = [](const engine::ImageInfo& i) {
        return engine::SkinPiece{i.resourceId, i.sx, i.sy, i.width, i.height, 0};
    };
    // The lists hold left, right and middle, in this order.
    if (pieces.size() == 3) skin = {piece(pieces[0]), piece(pieces[1]), piece(pieces[2])};
    return skin;
}

void CMJGameScene2::RefillFrames() {
    const engine::ButtonSkin operation = SkinOf(m_operationPieces), system = SkinOf(m_systemPieces);
    for (auto [frame, skin] :
         {std::pair{m_made.operationBar, &operation}, std::pair{m_made.systemBar, &system}}) {
        if (!frame) continue;
        frame->SetSlotCount(-1, skin, 0);
        frame->Show();
    }
}

uint32_t CMJGameScene2::Picture(const std::string& description) const {
    for (const auto& [name, id] : m_pictures)
        if (name == description) return id;
    return 0;
}

void CMJGameScene2::LoadStylePicture(const char* file, const char* description) {
    const uint32_t id = LoadImageResource(file, true, description, kMagentaKey, 1);
    for (auto& entry : m_pictures)
        if (entry.first == description) {
            entry.second = id;
            return;
        }
    m_pictures.push_back({description, id});
}

void CMJGameScene2::SetSkinFolder(const std::string& name) {
    const std::string folder =
        (m_pHost ? m_pHost->GetProgramFolder() : engine::GetModuleFolder()) + "skins/" + name + "/";
    engine::GetResourceManager().SetRootDir(folder);
}

void CMJGameScene2::SetSoundFolder(const std::string& name) {
    const std::string folder =
        (m_pHost ? m_pHost->GetProgramFolder() : engine::GetModuleFolder()) + "sound/" + name + "/";
    if (engine::GameKernel* k = Kernel()) k->GetSoundPlayer().SetSoundDir(folder);
}

void CMJGameScene2::LoadSkinPictures(const std::string& name) {
    m_currentStyle = name;
    SetSoundFolder(name);
    SetSkinFolder(name);
    const bool small = m_pHost && m_pHost->IsSmallScreen();
    LoadStylePicture("TableCloth0.bmp", "桌面");
    LoadStylePicture("mj_smallback0.bmp", "牌墙背面0");
    LoadStylePicture("mj_smallback1.bmp", "牌墙背面1");
    LoadStylePicture("mj_small0.bmp", "牌墙正面0");
    LoadStylePicture("mj_small1.bmp", "牌墙正面1");
    LoadStylePicture("mj_back0.bmp", "背面0");
    LoadStylePicture("mj_back1.bmp", "背面1");
    LoadStylePicture(small ? "mj_large800.bmp" : "mj_large1024.bmp", "正面大图");
    LoadStylePicture("mj_middle0.bmp", "正面中图0");
    LoadStylePicture("mj_middle1.bmp", "正面中图1");
    LoadStylePicture("mj_middle2.bmp", "正面中图2");
    LoadStylePicture("mj_middle3.bmp", "正面中图3");
    LoadStylePicture("mj_side0.bmp", "侧面0");
    LoadStylePicture("mj_side1.bmp", "侧面1");
    LoadStylePicture("mj_side2.bmp", "侧面2");
    LoadStylePicture("clock.bmp", "计时钟");
    LoadStylePicture("clock_hand.bmp", "钟指针");
    LoadStylePicture("mj_joker.bmp", "财神");
    LoadStylePicture("PGCHG.png", "碰杠吃胡过");
    LoadStylePicture("frame0_left.bmp", "操作栏左");
    LoadStylePicture("frame0_main.bmp", "操作栏中");
    LoadStylePicture("frame0_right.bmp", "操作栏右");
    LoadStylePicture("frame1_left.bmp", "系统栏左");
    LoadStylePicture("frame1_main.bmp", "系统栏中");
    LoadStylePicture("frame1_right.bmp", "系统栏右");
    SetTileMetrics();
    m_operationPieces = {GetImageInfo(Picture("操作栏左"), 0), GetImageInfo(Picture("操作栏右"), 0),
                         GetImageInfo(Picture("操作栏中"), 0)};
    m_systemPieces = {GetImageInfo(Picture("系统栏左"), 0), GetImageInfo(Picture("系统栏右"), 0),
                      GetImageInfo(Picture("系统栏中"), 0)};
}

void CMJGameScene2::ReleaseSkinPictures() {
    static const char* const kStyle[] = {
        "桌面",     "牌墙背面0", "牌墙背面1", "牌墙正面0", "牌墙正面1",  "背面0",    "背面1",
        "正面大图", "正面中图0", "正面中图1", "正面中图2", "正面中图3",  "侧面0",    "侧面1",
        "侧面2",    "计时钟",    "钟指针",    "财神",      "碰杠吃胡过", "操作栏左", "操作栏中",
        "操作栏右", "系统栏左",  "系统栏中",  "系统栏右"};
    for (const char* name : kStyle)
        for (auto& entry : m_pictures)
            if (entry.first == name && entry.second) {
                engine::GetResourceManager().ReleaseResource(entry.second);
                entry.second = 0;
            }
}

void CMJGameScene2::SetTileMetrics() {
    m_metrics = MJTileMetrics{};
    if (m_pHost && m_pHost->IsSmallScreen()) {
        m_metrics.largeWidth = 42;
        m_metrics.largeHeight = 60;
    }
}

void CMJGameScene2::LoadGameSettings() {
    SetSkinFolder("Common");
    m_pictures.clear();
    for (int n = 1; n <= 12; ++n) {
        const std::string file = "dice" + std::to_string(n) + ".bmp";
        const std::string description = "骰子" + std::to_string(n);
        m_pictures.push_back(
            {description, LoadImageResource(file, true, description, 0xFF0000, 1)});
    }
    for (const auto& p : kCommonPictures)
        m_pictures.push_back(
            {p.description, LoadImageResource(p.file, true, p.description, p.key, 1)});
    m_operationPieces.clear();
    m_systemPieces.clear();
    const std::string ini = m_pHost ? m_pHost->GetGameIniPath() : std::string();
    for (int i = 0; i < 3; ++i) {
        const std::string key = "Style" + std::to_string(i);
        std::string name = platform::profileString("SKIN", key, "Classic", ini).substr(0, 255);
        // A key written without a value names no folder: the style is the default one.
        if (name.empty()) {
            engine::WriteLog("皮肤设置%s为空,使用Classic", key.c_str());
            name = "Classic";
        }
        m_styleNames[size_t(i)] = name;
    }
    m_nStyle = platform::getProfileInt("SKIN", "Default", 0, ini);
    // Only 0, 1 and 2 name a style; any other index takes the first.
    if (m_nStyle < 0 || m_nStyle > 2) m_nStyle = 0;
    LoadSkinPictures(m_styleNames[size_t(m_nStyle)]);
    m_bMusic = platform::getProfileInt("GAMESET", "Music", 0, ini);
    m_nAutoPlayInterval = 2;
    SetTableBackground();
}

void CMJGameScene2::SetTableBackground() {
    if (engine::Canvas* canvas = GetCanvas())
        canvas->SetBackgroundImage(Picture("桌面"), 0, 0, kTableWidth, kTableHeight, 1);
}

void CMJGameScene2::SaveGameSettings() {
    if (!m_pHost) return;
    const std::string ini = m_pHost->GetGameIniPath();
    if (!platform::writeProfileString("SKIN", "Default", std::to_string(m_nStyle).c_str(), ini) ||
        !platform::writeProfileString("GAMESET", "Music", std::to_string(m_bMusic).c_str(), ini))
        engine::WriteLog("游戏设置保存失败:%s", ini.c_str());
}

uint32_t CMJGameScene2::CreateImageButton(int x, int y, const engine::ImageInfo& info,
                                          uint32_t event, uint32_t key) {
    engine::GameKernel* k = Kernel();
    // Image buttons stand on layer 4, above the tiles.
    engine::ImageEntity* e =
        CreateImageEntity(4, x, y, info.resourceId, info.sx, info.sy, info.width, info.height, key);
    if (!k || !e) return 0;
    e->SetAlpha(0.8);
    e->ApplyTransform();
    engine::ControlData* c = k->CreateControl();
    if (!c) return 0;
    c->Enable(true);
    c->SetEvent(2, 210036, 0, c->id);
    for (uint32_t slot : {3u, 4u, 5u, 8u}) c->SetEventEx(slot, 35, 0, 0);
    c->SetEvent(25, event, 0, 0);
    k->BindControl(c, e, 0);
    return c->id;
}

uint32_t CMJGameScene2::CreateTextButton(int x, int y, const engine::ImageInfo& info,
                                         uint32_t event, const std::string& text,
                                         uint32_t textColour) {
    CMJToolButton* b = MakeToolButton(event, x, y, info.width, info.height);
    if (!b) return 0;
    b->SetCaptionColor(textColour, false);
    // The badge picture is the button's face; the text is the value the button keeps, its
    // tip, never drawn over the badge.
    b->SetTipText(text);
    b->SetStateImages({info.resourceId, info.sx, info.sy, info.width, info.height, 0}, 0.0, 1.0,
                      true);
    return b->ControlId();
}

CMJToolButton* CMJGameScene2::MakeToolButton(uint32_t event, int x, int y, int width, int height) {
    // A button that stays: the engine's own advanced button is the message box's, which
    // goes away after its click.
    auto* b = static_cast<CMJToolButton*>(AddObject(std::make_unique<CMJToolButton>()));
    if (!b) return nullptr;
    b->CreateEx(0, event, 0, x, y, width, height, false);
    return b;
}

void CMJGameScene2::CreateToolbarButtons() {
    const engine::ImageInfo cut = [&] {
        engine::ImageInfo i = GetImageInfo(Picture("开始"), 0);
        i.width = 80, i.height = 30;
        return i;
    }();
    m_made.start = CreateImageButton(-100, -100, cut, 210023, kMagentaKey);
    engine::ImageInfo ask = GetImageInfo(Picture("看牌"), 0);
    ask.width = 80, ask.height = 30;
    m_made.ask = CreateImageButton(-100, -100, ask, 210024, kMagentaKey);
    auto claim = [&](uint32_t code) {
        MJRect r;
        GetButtonPicture(r, code);
        engine::ImageInfo i = GetImageInfo(Picture("碰杠吃胡过"), 0);
        i.sx = r.left, i.sy = r.top, i.width = r.right - r.left, i.height = r.bottom - r.top;
        return CreateImageButton(-100, -100, i, code, kMagentaKey);
    };
    m_made.peng = claim(210026);
    m_made.gang = claim(210027);
    m_made.chi = claim(210025);
    m_made.hu = claim(210028);
    m_made.pass = claim(210029);
    const engine::ButtonSkin operation = SkinOf(m_operationPieces);
    m_made.operationBar = CreateButtonFrame(5, &operation);
    const uint32_t order[] = {m_made.pass, m_made.hu, m_made.gang, m_made.peng, m_made.chi};
    for (uint32_t i = 0; i < 5; ++i)
        if (m_made.operationBar) m_made.operationBar->OnButton(i, order[i]);
    const engine::ButtonSkin system = SkinOf(m_systemPieces);
    m_made.systemBar = CreateButtonFrame(6, &system);
    // The toolbar's faces are cells of the badge picture (its cell is the (30, 30) pair).
    struct Tool {
        const char* text;
        uint32_t code;
    };
    const Tool tools[] = {{"音乐", 210030}, {"换肤", 210031}, {"排序", 210032}, {"托管", 210033}};
    for (int i = 0; i < 4; ++i) {
        MJRect r;
        GetButtonPicture(r, tools[i].code);
        engine::ImageInfo info = GetImageInfo(Picture("BUFF"), 0);
        info.sx = r.left, info.sy = r.top, info.width = r.right - r.left,
        info.height = r.bottom - r.top;
        m_made.toolButtons[i] = CreateTextButton(-100, -100, info, tools[i].code, tools[i].text, 0);
    }
    constexpr int kShotBox = 30, kShotCaptionTop = 8;
    if (CMJToolButton* shot = MakeToolButton(210037, -100, -100, kShotBox, kShotBox)) {
        shot->SetBaseColor(0x37450E, false);
        shot->SetBorderColor(0x936DF3, false);
        shot->SetCaptionColor(0, false);
        // The caption keeps the plane's own style (characters half the box high) and stands
        // at the box's left edge, 8 down from its top: one line of two characters that spans
        // the box, its middle on the box's middle.
        shot->SetText(0, kShotCaptionTop, "截屏", true);
        shot->SetTipText("截屏");
        m_made.toolButtons[4] = shot->ControlId();
    }
    engine::GameKernel* k = Kernel();
    for (uint32_t i = 0; i < 5; ++i) {
        if (m_made.systemBar) m_made.systemBar->OnButton(i, m_made.toolButtons[i]);
        engine::ControlData* c = k ? k->FindControl(m_made.toolButtons[i]) : nullptr;
        if (!c) continue;
        // The hover hold and its end come back to the button itself, which posts its tip.
        c->SetEvent(12, 12, c->id, c->entityId);
        c->SetEvent(13, 13, c->id, c->entityId);
    }
    const engine::ImageInfo arrow = GetImageInfo(Picture("系统栏箭头"), 0);
    // The grip and the tip stand with the bar on its layer, above the table's tiles.
    if (engine::ImageEntity* e =
            CreateImageEntity(kBarLayer, -100, -100, arrow.resourceId, arrow.sx, arrow.sy,
                              arrow.width, arrow.height, kMagentaKey)) {
        engine::Entity* bar = m_made.systemBar ? m_made.systemBar->FrameEntity() : nullptr;
        e->SetZ((bar ? bar->GetZ() : 0) + 100);
        e->ApplyTransform();
        m_made.arrow = e->GetId();
    }
}

void CMJGameScene2::CreateTileEntities() {
    m_bindings.fill(MJBinding{});
    const uint32_t large = Picture("正面大图");
    const int w = m_metrics.largeWidth, h = m_metrics.largeHeight;
    auto make = [&]() -> uint32_t {
        engine::ImageEntity* e = CreateImageEntity(
            kLayer, -100, -100, large, w * GetFaceIndex(kHiddenTile), 0, w, h, kMagentaKey);
        return e ? e->GetId() : 0;
    };
    for (int i = 0; i <= kBindingCount; ++i) {
        m_bindings[size_t(i)].entityId = make();
        m_bindings[size_t(i)].code = -1;  // word 7: no tile shown yet
    }
    m_made.dragTile = make();
    m_made.dragEvent = NewEventId();
}

void CMJGameScene2::CreateTileControls() {
    engine::GameKernel* k = Kernel();
    for (int i = 1; i <= kTileControlCount; ++i) {
        engine::ControlData* c = k ? k->CreateControl() : nullptr;
        m_tileControls[size_t(i)] = MJTileControl{c ? c->id : 0, 0, nullptr};
    }
}

void CMJGameScene2::CreateClockEntities() {
    engine::GameKernel* k = Kernel();
    const uint32_t face = Picture("计时钟"), hand = Picture("钟指针"), digits = Picture("数字");
    engine::ImageEntity* f = CreateImageEntity(kLayer, -500, -500, face, 0, 0, 65, 65, kMagentaKey);
    engine::ImageEntity* h = CreateImageEntity(kLayer, -500, -500, hand, 0, 0, 56, 56, kMagentaKey);
    engine::ImageEntity* d0 =
        CreateImageEntity(kLayer, -504, -500, digits, 0, 0, 8, 17, kMagentaKey);
    engine::ImageEntity* d1 =
        CreateImageEntity(kLayer, -496, -500, digits, 0, 0, 8, 17, kMagentaKey);
    if (!k || !f || !h || !d0 || !d1) return;
    f->SetZ(5000);
    h->SetZ(5001);
    d0->SetZ(5002);
    d1->SetZ(5002);
    for (engine::Entity* child : {static_cast<engine::Entity*>(h), static_cast<engine::Entity*>(d0),
                                  static_cast<engine::Entity*>(d1)})
        k->LinkChildEntity(f, child, 0x1C06F);
    m_made.clockFace = f->GetId();
    m_made.clockHand = h->GetId();
    m_made.digits[0] = d0->GetId();
    m_made.digits[1] = d1->GetId();
    m_made.clockEvent = NewEventId();
}

void CMJGameScene2::CreateStakePlane() {
    MJRect r;
    GetStakeTextRect(r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (engine::PlaneEntity* p =
            CreatePlaneEntity(kLayer, r.left + w / 2, r.top + h / 2, w, h, kMagentaKey)) {
        p->SetZ(100);
        m_made.stake = p->GetId();
    }
}

void CMJGameScene2::CreateSeatMarks() {
    m_seatMarks.fill(SeatMark{});
    m_seatMarks[1] = {1, "庄家", "BUFF", 30, 30};
    const uint32_t winds = Picture("东南西北");
    for (int i = 0; i < 4; ++i)
        if (engine::ImageEntity* e =
                CreateImageEntity(kLayer, -100, -100, winds, 59 * i, 0, 59, 61, kMagentaKey)) {
            e->SetZ(30);
            e->SetAlpha(0.7);
            m_made.windMarks[i] = e->GetId();
        }
}

void CMJGameScene2::CreateSeatPanels() {
    engine::GameKernel* k = Kernel();
    const uint32_t buff = Picture("BUFF");
    static const double kTurn[4] = {270.0, 0.0, 90.0, 0.0};
    for (int v = 0; v < 4; ++v) {
        engine::PlaneEntity* panel = CreatePlaneEntity(kLayer, -100, -100, 200, 50, kMagentaKey);
        if (!panel || !k) continue;
        panel->SetZ(2000);
        panel->SetRotation(kTurn[v]);
        m_made.panels[v] = panel->GetId();
        for (int i = 0; i < 10; ++i)
            if (engine::ImageEntity* icon =
                    CreateImageEntity(kLayer, -100, -100, buff, 0, 0, 30, 30, kMagentaKey)) {
                icon->SetZ(2001);
                k->LinkChildEntity(panel, icon, 0x1C06F);
                m_made.icons[v][i] = icon->GetId();
            }
    }
}

void CMJGameScene2::CreateDiceEntities() {
    // One rolling sequence for each of the twelve dice pictures: the roll sets a die to the
    // one of its value.
    for (int n = 0; n < 12; ++n) {
        auto& face = m_diceFaces[size_t(n)];
        face = std::make_unique<engine::FrameSequence>();
        face->Build(9, Picture("骰子" + std::to_string(n + 1)), 106, 99, 60);
    }
    for (int i = 0; i < 4; ++i) {
        auto sequence = std::make_unique<engine::FrameSequence>();
        // Each die shows one of the twelve pictures when rolled; the first is the start.
        sequence->Build(9, Picture("骰子" + std::to_string(i < 2 ? 1 : 7)), 106, 99, 60);
        if (engine::FrameEntity* e = CreateFrameEntity(kLayer, -100, -100, std::move(sequence))) {
            e->SetZ(5000);
            m_made.dice[i] = e->GetId();
        }
    }
    m_made.diceEvents[0] = NewEventId();
    m_made.diceEvents[1] = NewEventId();
}

void CMJGameScene2::SetMouseBehaviour() {
    SetMouseEvent(3, 210054, 0);
    SetHoverDelay(500);
}

void CMJGameScene2::CreateAutoPlayEntities() {
    MJRect centre;
    GetCentreRect(centre);
    const engine::ImageInfo a = GetImageInfo(Picture("托管"), 0);
    if (engine::PlaneEntity* p =
            CreatePlaneEntity(kLayer, (centre.left + centre.right) / 2,
                              (centre.top + centre.bottom) / 2, a.width, a.height, kMagentaKey)) {
        p->PasteImage(0, 0, a.resourceId, 0, 0, a.width, a.height, 0, 0, 0.0, 1.0, kMagentaKey);
        p->SetZ(5010);
        m_made.autoPlay = p->GetId();
        // It blinks from now on (hidden until automatic play comes on); the end of automatic
        // play cancels the blink for good.
        StartAutoPlayBlink();
    }
    const engine::ImageInfo n = GetImageInfo(Picture("说明板"), 0);
    if (engine::PlaneEntity* p =
            CreatePlaneEntity(kBarLayer, -100, -100, n.width, n.height, kMagentaKey)) {
        engine::Entity* bar = m_made.systemBar ? m_made.systemBar->FrameEntity() : nullptr;
        p->SetZ((bar ? bar->GetZ() : 0) + 50);
        m_made.note = p->GetId();
    }
    const engine::ImageInfo h = GetImageInfo(Picture("手"), 0);
    engine::ImageEntity* hand =
        CreateImageEntity(kLayer, -100, -100, h.resourceId, 0, 0, h.width, h.height, kMagentaKey);
    if (!hand) return;
    hand->SetZ(3000);
    m_made.hand = hand->GetId();
    m_made.handEvent = NewEventId();
    engine::GameKernel* k = Kernel();
    const uint32_t sparks = Picture("粒子");
    // The sparks take the pair that reads the emission record: they start anywhere over one
    // large tile around the sweep, rise and fade out within 30 steps.
    for (int i = 0; i < 5; ++i)
        if (engine::ParticleEntity* p =
                CreateParticleEntity(kLayer, -100, -100, sparks, 80, 0, 20, 20,
                                     &engine::ParticleEntity::DefaultNewParticle,
                                     &engine::ParticleEntity::DefaultStepParticle)) {
            p->SetZ(2990);
            p->Show();
            // Nothing to emit yet; the sort sweep sets the count and runs it.
            p->SetEmission(0, 0,
                           std::make_unique<engine::ParticleParams>(engine::ParticleParams{
                               m_metrics.largeWidth, m_metrics.largeHeight, 30, 4, 0}));
            if (k) k->LinkChildEntity(hand, p, 0x1C06F);
            m_made.particles[i] = p->GetId();
        }
}

void CMJGameScene2::InitGameData() {
    if (engine::Canvas* canvas = GetCanvas()) canvas->SetFullScreenInvalidate(false);
    engine::WriteLogText("游戏数据初始化开始");
    SetTableBackground();
    CreateToolbarButtons();
    CreateTileEntities();
    CreateTileControls();
    CreateClockEntities();
    CreateStakePlane();
    CreateSeatMarks();
    CreateSeatPanels();
    CreateDiceEntities();
    SetMouseBehaviour();
    CreateAutoPlayEntities();
    LoadAutoPlayWeights();
    SetFont(16, 400, "宋体");
    SetGameRunning(0);
    ResetTable();
    LayoutToolbar();
    if (engine::GameKernel* k = Kernel()) k->GetSoundPlayer().EnableBass();
    engine::WriteLogText("游戏数据初始化完毕");
}

}  // namespace hqlv::mahjong
