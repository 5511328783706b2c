#include "framework/panes/player_info_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

#include "framework/app/game_app.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/shared_utils.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/player_view.h"
#include "framework/widgets/hyperlink_static.h"
#include "netlib/log.h"
#include "platform/core/files.h"

namespace hqlv::framework {
namespace {

// The template's dialog units in pixels (the dialog font's base units, 6 x 13).
QRect Du(int x, int y, int w, int h) {
    return QRect(x * 6 / 4, y * 13 / 8, w * 6 / 4, h * 13 / 8);
}

}  // namespace

// The main window owns the popup: it goes down with the main window when that is minimised
// (the window manager keeps a window with its owner) and goes when the main window goes.
CGamePlayerInfoDlg::CGamePlayerInfoDlg(CGameApp& app, platform::Handle parent, int userId)
    : CPopupNotifyDlg(app.GetMainFrame()),
      app_(app),
      parent_(parent),
      userId_(userId),
      background_(LoadProgramBitmap(kBitmapPopupFace).value_or(QImage())) {}

CGamePlayerInfoDlg* CGamePlayerInfoDlg::Show(CGameApp& app, platform::Handle parent, int userId) {
    auto* dlg = new CGamePlayerInfoDlg(app, parent, userId);
    dlg->SetBackColor(0x808000);
    dlg->SetGradientColor(0x808000);
    dlg->SetSize(ScaleX(160), ScaleY(80));
    const QRect work = WorkArea();
    CGameFrameWnd* frame = app.GetMainFrame();
    const QRect main = frame ? frame->frameGeometry() : work;
    dlg->left_ = main.x() + main.width() - ScaleX(160) - ScaleX(10);
    dlg->RaiseBottom(ScaleY(10) + (work.y() + work.height()) - (main.y() + main.height()));
    dlg->SetStayTime(30);
    dlg->ShowPopup(kTemplate, QApplication::activeWindow());
    return dlg;
}

void CGamePlayerInfoDlg::OnInitDialog() {
    picture_ = new QLabel(this);
    picture_->setGeometry(Du(2, 2, 15, 14));
    picture_->setScaledContents(true);
    auto* ask = new QLabel(QString::fromUtf8("请求\n看牌"), this);
    ask->setGeometry(Du(4, 25, 16, 16));
    name_ = new CHyperLinkStatic(this);
    name_->setGeometry(Du(27, 8, 85, 8));
    agree_ = new CHyperLinkStatic(this);
    agree_->setText(QString::fromUtf8("同意"));
    agree_->setGeometry(Du(33, 28, 22, 8));
    refuse_ = new CHyperLinkStatic(this);
    refuse_->setText(QString::fromUtf8("拒绝"));
    refuse_->setGeometry(Du(74, 28, 22, 8));
    agree_->onClick = [this] { OnCommand(kIdAgree); };
    refuse_->onClick = [this] { OnCommand(kIdRefuse); };
    for (CHyperLinkStatic* link : {agree_, refuse_}) link->SetColors(0x000000, 0x000000, 0xFFFFFF);
    name_->SetColors(0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
    name_->SetLinkCursor(false);
    name_->setText(QString::fromStdString(app_.GetPlayerNameById(userId_)));
    name_->SetLinkText(name_->text().toStdString());

    const std::string path =
        app_.PortraitFolder() + std::to_string(app_.GetPlayerPortrait(userId_)) + "_0.bmp";
    std::string resolved;
    std::optional<QImage> portrait;
    if (platform::resolveExisting(path, &resolved))
        portrait = platform::ui::LoadBitmapFile(resolved);
    picture_->setPixmap(QPixmap::fromImage(portrait ? *portrait : background_));
}

void CGamePlayerInfoDlg::OnCommand(int id) {
    if (id != kIdAgree && id != kIdRefuse) return;
    // One answer per popup: a second click while it sinks says nothing more.
    if (answered_) return;
    answered_ = true;
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    PlayResourceSound(29010);
    StartHide();
    platform::Message m;
    m.id = kMsgPlayerInfoAnswer;
    m.w = uintptr_t(userId_);
    m.l = id == kIdAgree ? 1 : 0;
    if (!platform::post(parent_, m))
        netlib::YrnLogWrite("player popup: the list is gone; answer for %d dropped", userId_);
}

}  // namespace hqlv::framework
