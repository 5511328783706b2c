#include "mahjong/panes/mj_gdi_table_view.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/widgets/skin_button.h"
#include "mahjong/app/mj_app.h"
#include "mahjong/game/dialog_units.h"
#include "mahjong/scene/game_info.h"
#include "mahjong/scene/game_scene.h"
#include "mahjong/scene/table_draw.h"
#include "netlib/log.h"
#include "platform/core/profile.h"

namespace hqlv::mahjong {

namespace {

constexpr int kButtonIds[7] = {1800, 1801, 1810, 1811, 1812, 1813, 1814};
constexpr uint32_t kMkRight = 0x2;

struct ButtonPlace {
    const char* caption;
    int x, y, w, h;  // dialog units of the view's form
};
constexpr ButtonPlace kPlaces[7] = {{"", 115, 120, 55, 18},  {"请求看牌", 0, 140, 50, 18},
                                    {"过", 114, 82, 20, 18}, {"胡", 141, 82, 20, 18},
                                    {"豆", 168, 82, 20, 18}, {"碰", 195, 82, 20, 18},
                                    {"吃", 222, 82, 20, 18}};

uint32_t MouseFlags(const QMouseEvent* e) {
    uint32_t f = 0;
    if (e->buttons() & Qt::LeftButton) f |= 0x1;
    if (e->buttons() & Qt::RightButton) f |= kMkRight;
    return f;
}

}  // namespace

// ---- the surface ----------------------------------------------------------------------------

platform::ui::FontSpec CQImageGdiSurface::ToFontSpec(const MJGdiFont& font) {
    platform::ui::FontSpec spec;
    spec.face = font.face;
    spec.height = font.height;
    spec.weight = font.weight;
    spec.escapement = font.escapement;
    return spec;
}

int CQImageGdiSurface::Width() const {
    return window_ ? window_->width() : 0;
}

int CQImageGdiSurface::Height() const {
    return window_ ? window_->height() : 0;
}

const QImage* CQImageGdiSurface::Bitmap(const std::string& name) {
    auto it = bitmaps_.find(name);
    if (it == bitmaps_.end())
        it = bitmaps_.emplace(name, framework::CSkinLibrary::instance().GetBitmap(name)).first;
    return it->second ? &*it->second : nullptr;
}

bool CQImageGdiSurface::TransparentBlt(int x, int y, int w, int h, const std::string& bitmap,
                                       int sx, int sy, uint32_t key) {
    const QImage* src = Bitmap(bitmap);
    if (!src || !image_ || image_->isNull()) return false;
    QPainter p(image_);
    platform::ui::DrawContext dc(p);
    dc.TransparentBlt(x, y, w, h, *src, sx, sy, key);
    return true;
}

bool CQImageGdiSurface::BitmapSize(const std::string& bitmap, int& w, int& h) {
    const QImage* src = Bitmap(bitmap);
    if (!src) return false;
    w = src->width(), h = src->height();
    return true;
}

void CQImageGdiSurface::FrameRect(int left, int top, int right, int bottom, uint32_t colour) {
    if (!image_ || image_->isNull()) return;
    QPainter p(image_);
    platform::ui::DrawContext dc(p);
    dc.SelectPen(colour);
    dc.SelectNullBrush();
    dc.Rectangle(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void CQImageGdiSurface::TextOut(int x, int y, const std::string& utf8) {
    if (!image_ || image_->isNull() || utf8.empty()) return;
    QPainter p(image_);
    platform::ui::DrawContext dc(p);
    dc.SelectFont(ToFontSpec(font_));
    dc.SetBkMode(true);
    dc.SetTextColor(colour_);
    dc.TextOut(x, y, utf8);
}

void CQImageGdiSurface::GetTextExtent(const std::string& utf8, int& w, int& h) {
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter p(&scratch);
    platform::ui::DrawContext dc(p);
    dc.SelectFont(ToFontSpec(font_));
    const QSize s = dc.GetTextExtent(utf8);
    w = s.width(), h = s.height();
}

void CQImageGdiSurface::Invalidate() {
    if (window_) window_->update();
}

void CQImageGdiSurface::CaptureMouse(bool on) {
    if (!window_) return;
    if (on)
        window_->grabMouse();
    else
        window_->releaseMouse();
}

bool CQImageGdiSurface::CursorPos(int& x, int& y) {
    if (!window_) return false;
    const QPoint at = window_->mapFromGlobal(QCursor::pos());
    x = at.x(), y = at.y();
    return true;
}

// ---- the view -------------------------------------------------------------------------------

CMJGameTableView::CMJGameTableView(CMJGameApp& app, QWidget* parent)
    : framework::CGameTableView(app, parent), mjApp_(app), surface_(this) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    CreateFonts();
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const ButtonPlace& b = kPlaces[i];
        // The claim buttons are the kit's skinned buttons, which take their colours.
        QAbstractButton* button =
            kButtonIds[i] >= kPass ? static_cast<QAbstractButton*>(new framework::CSkinButton(this))
                                   : new QPushButton(this);
        button->setText(QString::fromUtf8(b.caption));
        button->setObjectName(QString("button%1").arg(kButtonIds[i]));
        button->setGeometry(DluRect(b.x, b.y, b.w, b.h));
        button->hide();
        const int id = kButtonIds[i];
        connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
        buttons_[i] = button;
    }
    surface_.SetImage(&buffer_);
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->SetGdiSurface(&surface_);
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->SetGdiSurface(&surface_);
}

CMJGameTableView::~CMJGameTableView() {
    StopClockTimer();
    // The scene and the seats live as long as the application: they must not keep this
    // view's buffer.
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->SetGdiSurface(nullptr);
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->SetGdiSurface(nullptr);
}

QAbstractButton* CMJGameTableView::button(int id) const {
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (kButtonIds[i] == id) return buttons_[i];
    return nullptr;
}

QAbstractButton* CMJGameTableView::ClaimButton(int kind) const {
    // Kinds 1-5 are peng, gang, chi, hu and pass.
    static constexpr int kIds[6] = {0, kPeng, kGang, kChi, kHu, kPass};
    return kind >= 1 && kind <= 5 ? button(kIds[kind]) : nullptr;
}

void CMJGameTableView::EnableSkinButton(QAbstractButton* button, bool enable) {
    auto* skinned = dynamic_cast<framework::CSkinButton*>(button);
    if (!skinned) return;
    if (enable) {
        for (int slot : {2, 0, 4}) skinned->SetColor(slot, kClaimButtonColour, false);
    } else {
        skinned->ResetColors(true);
    }
    skinned->setEnabled(enable);
}

void CMJGameTableView::ShowClaimButton(int kind, int on) {
    QAbstractButton* b = ClaimButton(kind);
    if (!b) return;
    EnableSkinButton(b, on != 0);
    b->setVisible(on != 0);
}

void CMJGameTableView::ShowStartButton(bool show) {
    button(kStart)->setVisible(show);
}

int CMJGameTableView::GetClaimCell(int kind) const {
    return kind == 2 || kind == 3 ? claimCells_[kind - 2] : 0;
}

void CMJGameTableView::SetClaimCell(int kind, int x) {
    if (kind != 2 && kind != 3) return;
    claimCells_[kind - 2] = x;
    ApplyCellLook();
}

void CMJGameTableView::ApplyCellLook() {
    // A click lets a button up again: the look follows the cells after every command.
    for (int kind : {2, 3})
        if (QAbstractButton* b = ClaimButton(kind))
            b->setDown(claimCells_[kind - 2] == kCancelCell);
}

void CMJGameTableView::LogButtonPlaces() {
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (!scene || !isVisible()) return;
    auto centre = [&](QPoint local) { return mapToGlobal(local); };
    std::string line = "窗口按钮 屏幕:";
    char text[64];
    const struct {
        const char* name;
        int id;
    } named[] = {{"过", kPass}, {"胡", kHu},      {"杠", kGang}, {"碰", kPeng},
                 {"吃", kChi},  {"开始", kStart}, {"看牌", kAsk}};
    for (const auto& n : named) {
        const QPoint p = centre(button(n.id)->geometry().center());
        std::snprintf(text, sizeof text, " %s=%d,%d", n.name, p.x(), p.y());
        line += text;
    }
    // The own draw slot's tile, where the drawn tile is pointed at and clicked to play it:
    // the hand's right end, 10 below its top (the table's layout, also before a deal).
    MJRect own;
    scene->GetHandRect(3, own);
    const int w = scene->Metrics().largeWidth, h = scene->Metrics().largeHeight;
    const QPoint p = centre(QPoint(own.right - w / 2, own.top + 10 + h / 2));
    std::snprintf(text, sizeof text, " 摸牌=%d,%d", p.x(), p.y());
    line += text;
    // The clock's middle, where its seconds show.
    MJRect clock;
    scene->GetClockRect(clock);
    const QPoint c = centre(QPoint((clock.left + clock.right) / 2, (clock.top + clock.bottom) / 2));
    std::snprintf(text, sizeof text, " 钟=%d,%d", c.x(), c.y());
    line += text;
    // Once per change of place.
    if (line == loggedPlaces_) return;
    loggedPlaces_ = line;
    netlib::YrnLogWrite("%s", line.c_str());
}

void CMJGameTableView::CreateFonts() {
    buttonFont_ = {};
    buttonFont_.face = "楷体_GB2312";
    buttonFont_.height = -16;
    buttonFont_.weight = 700;
    clockFont_ = buttonFont_;
    clockFont_.face = "System";
    clockFont_.height = 40;
    clockFont_.width = 24;
}

void CMJGameTableView::ApplySkin() {
    framework::CSkinLibrary& skin = framework::CSkinLibrary::instance();
    tableColor_ =
        skin.IsLoaded()
            ? uint32_t(platform::getProfileInt("CommColors", "TableColor", 0x4000, skin.path()))
            : 0x4000;
    SetBackgroundColor(tableColor_);
    SetBackgroundPicture(skin.GetBitmap("TableCloth"));
    BuildBackground();
    surface_.ForgetBitmaps();
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) {
        scene->LoadSkinBitmaps();
        scene->InitFont();
    }
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->LoadBankerBitmap();
    rebuild_ = true;
    update();
}

void CMJGameTableView::OnInitialUpdate() {
    // Each button takes the button font and then the skin's look, and stays hidden until
    // the game wants it.
    const QFont font = platform::ui::MakeFont(buttonFont_);
    for (QAbstractButton* b : buttons_) {
        b->setFont(font);
        b->update();
        framework::CSkinLibrary::instance().SkinControl(b, 0);
        b->hide();
    }
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->Tiles().Clear();
    ApplySkin();
    laidOut_ = true;
    Layout(width(), height());
    SetTimer(kRepaintTimerId, kRepaintMs);
}

void CMJGameTableView::Layout(int cx, int cy) {
    CMJGameInfo* info = mjApp_.GetGameInfo();
    const int h = info ? info->GetSizeB() : 24;
    button(kAsk)->setGeometry(0, cy - h, 70, h);
    // Centred above the own hand: the start button must stay inside the table. Placed at
    // half the text-area height less 40 it would stand partly beyond the window's left
    // edge (at -28 for the usual 24), where half of it could not be pressed.
    button(kStart)->setGeometry(cx / 2 - 40, cy - 160, 80, 30);
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->LayoutToolbar();
    LogButtonPlaces();
}

void CMJGameTableView::showEvent(QShowEvent* e) {
    framework::CGameTableView::showEvent(e);
    if (laidOut_) LogButtonPlaces();
}

void CMJGameTableView::OnGameEntered() {
    framework::CGameTableView::OnGameEntered();
    CMJTableDraw* draw = mjApp_.GetTableDraw();
    if (draw) draw->LoadSeatData();
    const bool watcher = mjApp_.GetCmdField8() != 0;
    CMJGameScene2* scene = mjApp_.GetGameScene();
    // The application's playing flag is the framework's in this mode; a looker-on who
    // enters during a deal knows it from the game data's deal record, a player coming back
    // from the table state the entry brought.
    CMJGameInfo* info = mjApp_.GetGameInfo();
    const bool rejoining = !watcher && mjApp_.IsRejoining() && scene && scene->IsDealInProgress();
    const bool running = rejoining || mjApp_.IsPlaying() || (info && info->GetDealNumber() > 0);
    if ((watcher || rejoining) && running && scene) {
        scene->RebuildTable();
        if (draw) draw->Redraw();
    }
    // A player back in a running deal has no start to press.
    if (watcher)
        button(kAsk)->show();
    else if (!rejoining)
        button(kStart)->show();
    rebuild_ = true;
    LogButtonPlaces();
    update();
}

void CMJGameTableView::ResetTable() {
    if (!mjApp_.GetMainFrame() || mjApp_.IsPlaying()) return;
    if (CMJGameInfo* info = mjApp_.GetGameInfo()) info->SetDealFlags(0);
    rebuild_ = true;
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (scene) {
        scene->ResetTable();
        scene->ShowToolbars(0);
        // The claim buttons go with the deal.
        scene->ShowAllClaimButtons(0);
    } else {
        for (int kind = 1; kind <= 5; ++kind) ShowClaimButton(kind, 0);
    }
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) {
        draw->SetAllBankers(0);
        draw->SetAllHighlights(0);
    }
    if (!mjApp_.GetCmdField8()) {
        button(kStart)->show();
        // Automatic play goes on into the next deal, as on the engine's table.
        if (scene && scene->IsAutoPlayOn()) scene->OnBtnStart();
    }
    update();
}

void CMJGameTableView::ReloadSeats() {
    CMJTableDraw* draw = mjApp_.GetTableDraw();
    if (!draw) return;
    std::vector<MJSeatEntry> players;
    for (int chair = 0; chair < framework::kSeatCount; ++chair) {
        const framework::PlayerRecord& r = mjApp_.seat(chair);
        players.push_back({r.chair(), r.userId(), framework::GbkToUtf8(r.name())});
    }
    std::vector<int32_t> words;
    for (size_t i = 0; i < 9; ++i) words.push_back(mjApp_.TableWord(i));
    draw->ReloadSeats(players, words);
}

void CMJGameTableView::OnCommand(int id) {
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (!scene) return;
    // A press of any of the table's buttons ends the count of missed turns. On the engine's
    // table the event dispatch does it before a button's handler; these buttons are windows
    // whose presses never pass that dispatch, so the view does it.
    scene->SetTimeoutCount(0);
    switch (id) {
        case kStart:
            scene->OnBtnStart();
            break;
        case kAsk:
            if (scene->GdiAskToSeeTiles()) {
                SetTimer(kAskTimerId, 15000);
                button(kAsk)->setEnabled(false);
                // The watched player by the name the table shows (with the alias).
                char line[512];
                std::snprintf(line, sizeof line, " <c=%d>请求%s给我看牌\r\n", 0x2C5858,
                              mjApp_.GetSeatDisplayName(mjApp_.GetChairNo()).c_str());
                mjApp_.SendChatViewMessage(line);
            }
            break;
        case kPass:
            scene->OnBtnPass();
            break;
        case kHu:
            scene->OnBtnHu();
            break;
        case kGang:
            scene->OnBtnGang();
            break;
        case kPeng:
            scene->OnBtnPeng();
            break;
        case kChi:
            scene->OnBtnChi();
            break;
        default:
            break;
    }
    ApplyCellLook();
    update();
}

void CMJGameTableView::StartClockTimer() {
    if (clockTimer_) KillTimer(clockTimer_);
    clockTimer_ = SetTimer(kClockTimerId, 1000) ? kClockTimerId : 0;
}

void CMJGameTableView::StopClockTimer() {
    if (!clockTimer_) return;
    KillTimer(clockTimer_);
    clockTimer_ = 0;
}

void CMJGameTableView::RestartClockTimer() {
    if (clockTimer_) StartClockTimer();
}

void CMJGameTableView::OnRoundEnded() {
    ResetTable();
}

void CMJGameTableView::OnPlayerSat(const framework::PlayerRecord& r) {
    if (CMJTableDraw* draw = mjApp_.GetTableDraw())
        draw->SetSeatName(r.chair(), framework::GbkToUtf8(r.name()));
}

void CMJGameTableView::OnLookOnEnded(const framework::PlayerRecord& r) {
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->SetSeatName(r.chair(), "");
}

void CMJGameTableView::onTimer(uint32_t id) {
    if (id == kRepaintTimerId) {
        update();
        return;
    }
    if (id == kAskTimerId) {
        KillTimer(kAskTimerId);
        button(kAsk)->setEnabled(true);
    }
    if (CMJGameScene2* scene = mjApp_.GetGameScene()) scene->OnTimer(id);
    framework::CGameTableView::onTimer(id);
    update();
}

void CMJGameTableView::PaintBuffer(const QRect& clip) {
    if (rebuild_ || buffer_.size() != size()) {
        buffer_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        BuildBackground();
        rebuild_ = false;
    }
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (scene) {
        // A paint outside a paint event covers the whole client area.
        const QRect box = clip.isNull() ? rect() : clip;
        scene->SetPaintClipBox({box.left(), box.top(), box.right() + 1, box.bottom() + 1});
    }
    {
        QPainter p(&buffer_);
        platform::ui::DrawContext dc(p);
        DrawBackground(dc, buffer_.rect());
    }
    if (CMJTableDraw* draw = mjApp_.GetTableDraw()) draw->LayoutAllSeats();
    if (scene) scene->PaintTableGdi(surface_);
}

void CMJGameTableView::paintEvent(QPaintEvent* e) {
    PaintBuffer(e->rect());
    {
        QPainter p(this);
        p.drawImage(0, 0, buffer_);
    }
    // The buffer just shown is the view's background for the skin.
    framework::CSkinLibrary::instance().SetBackgroundDC(this, buffer_);
}

void CMJGameTableView::resizeEvent(QResizeEvent* e) {
    rebuild_ = true;
    framework::CGameTableView::resizeEvent(e);
    if (laidOut_) Layout(width(), height());
}

void CMJGameTableView::mouseMoveEvent(QMouseEvent* e) {
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (!scene) return;
    const QPoint at = e->position().toPoint();
    SetCursorMode(scene->GdiMouseMove(MouseFlags(e), at.x(), at.y()));
}

void CMJGameTableView::mousePressEvent(QMouseEvent* e) {
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (!scene) return;
    const QPoint at = e->position().toPoint();
    if (e->button() == Qt::LeftButton) {
        // A click anywhere on the table ends automatic play, and only that. On the engine's
        // table the scene's mouse bindings catch that click; this table has no engine to
        // bind them, so the view catches it.
        if (!mjApp_.GetCmdField8() && scene->IsAutoPlayOn()) {
            scene->ToggleAutoPlay();
            return;
        }
        if (scene->GdiLButtonDown(MouseFlags(e), at.x(), at.y()) == 2) SetCursorMode(2);
    } else if (e->button() == Qt::RightButton) {
        scene->GdiRButtonDown(MouseFlags(e), at.x(), at.y());
    }
}

void CMJGameTableView::mouseReleaseEvent(QMouseEvent* e) {
    CMJGameScene2* scene = mjApp_.GetGameScene();
    if (!scene || e->button() != Qt::RightButton) return;
    if (mjApp_.GetCmdField8() || scene->GetSelectMode() != 0) return;
    const QPoint at = e->position().toPoint();
    scene->GdiRButtonUp(MouseFlags(e), at.x(), at.y());
}

}  // namespace hqlv::mahjong
