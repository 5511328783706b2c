#include "framework/web/tool_view.h"

#include <QFontDatabase>
#include <QPainter>
#include <QResizeEvent>

#include "framework/app/shared_utils.h"
#include "framework/widgets/owner_draw_menu.h"
#include "framework/widgets/skin_button.h"

namespace hqlv::framework::web {

QImage ToolButtonImage(int id) {
    const bool box = id == 165;
    QImage img(box ? 55 : 71, box ? 16 : 15, QImage::Format_ARGB32);
    img.fill(box ? QColor(214, 160, 40) : QColor(70, 140, 200));
    QPainter p(&img);
    p.setPen(Qt::white);
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPixelSize(12);
    p.setFont(f);
    p.drawText(img.rect(), Qt::AlignCenter, QString::fromUtf8(box ? "保险箱" : "划银数额"));
    return img;
}

CGameToolView::CGameToolView(SafeBoxOps& ops, QWidget* parent)
    : CGameFormView("tool", parent), ops_(ops) {}

CGameToolView::~CGameToolView() = default;

void CGameToolView::OnInitialUpdate() {
    if (open_) return;
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    open_ = new CSkinButton(this);
    fix_ = new CSkinButton(this);
    for (auto [b, id] : {std::pair{open_, 165}, std::pair{fix_, 166}}) {
        b->SetImages(ProgramPicture(id, [id = id] { return ToolButtonImage(id); }), std::nullopt);
        b->SetFlat(true);
        b->setFont(font);
        b->DrawTransparent(false);
    }
    connect(open_, &QAbstractButton::clicked, this, [this] { OnOpenSafeBox(); });
    connect(fix_, &QAbstractButton::clicked, this, [this] { OnFixMenu(); });
    QResizeEvent e(size(), size());
    resizeEvent(&e);
}

void CGameToolView::showEvent(QShowEvent* e) {
    OnInitialUpdate();
    CGameFormView::showEvent(e);
}

void CGameToolView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xF0, 0xFF, 0xFF));  // COLORREF 0xFFFFF0
}

void CGameToolView::resizeEvent(QResizeEvent* e) {
    CGameFormView::resizeEvent(e);
    update();
    const int cx = e->size().width(), cy = e->size().height();
    if (cx == 0 || !open_ || !fix_) return;
    int y = (cy - 16) / 2;
    open_->setGeometry(8, y, 55, 16);
    fix_->setGeometry(88, y + 1, 71, 15);
    open_->show();
    fix_->show();
}

void CGameToolView::LoadFixAmounts() {
    amounts_ = web::LoadFixAmounts(ops_, ops_.UserFile());
}

FixOutcome CGameToolView::ApplyFixAmount(int32_t target) {
    return web::ApplyFixAmount(ops_, target);
}

void CGameToolView::OnOpenSafeBox() {
    OpenSafeBox(ops_);
}

std::unique_ptr<COwnerDrawMenu> CGameToolView::BuildFixMenu() {
    LoadFixAmounts();
    auto menu = std::make_unique<COwnerDrawMenu>(this);
    if (!menu->LoadMenuId(129)) return nullptr;
    COwnerDrawMenu* sub = menu->GetSubMenu(0);
    if (!sub) return nullptr;
    for (int i = 0; i < 6; ++i)
        sub->SetItemText(222 + i, Format("%d 两", amounts_[size_t(i)]), kMfByCommand);
    return menu;
}

void CGameToolView::OnFixMenu() {
    auto menu = BuildFixMenu();
    if (!menu || !fix_) return;
    COwnerDrawMenu* sub = menu->GetSubMenu(0);
    int cmd = sub->TrackPopupReturnCmd(fix_->mapToGlobal(QPoint(0, fix_->height())));
    if (cmd) OnFixCommand(cmd);
}

void CGameToolView::OnFixCommand(int id) {
    if (id >= 222 && id <= 227) {
        ApplyFixAmount(amounts_[size_t(id - 222)]);
    } else if (id == 228 && HasDialogTemplate(173)) {
        CFixDepositDlg dlg(ops_, this);
        dlg.SetAmounts(amounts_);
        dlg.exec();
    }
}

}  // namespace hqlv::framework::web
