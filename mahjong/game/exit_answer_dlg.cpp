#include "mahjong/game/exit_answer_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/shared_utils.h"
#include "framework/panes/player_records.h"
#include "framework/widgets/hyperlink_static.h"
#include "mahjong/app/mj_hooks.h"
#include "mahjong/game/dialog_units.h"
#include "mahjong/game/small_dialogs.h"
#include "platform/core/files.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {

CExitAnswerDlg::CExitAnswerDlg(platform::Handle owner, int requesterUserId, std::string reason,
                               QWidget* parent)
    : framework::CPopupNotifyDlg(parent),
      owner_(owner),
      requester_(requesterUserId),
      reason_(std::move(reason)) {}

QImage CExitAnswerDlg::LoadFace(int faceNumber) {
    if (auto face = platform::ui::LoadBitmapFile(
            framework::Format("%s%d_0.bmp", framework::GetPortraitFolder().c_str(), faceNumber)))
        return *face;
    return framework::LoadProgramBitmap(kDefaultFaceBitmap).value_or(QImage());
}

void CExitAnswerDlg::OnInitDialog() {
    framework::CGameApp* app = framework::CGameApp::Current();
    const framework::PlayerRecord* r = app ? app->GetPlayerRecord(requester_) : nullptr;
    face_ = LoadFace(r ? r->word(framework::PlayerRecord::kPortrait) : 0);
    faceLabel_ = new QLabel(this);
    faceLabel_->setGeometry(DluX(2), DluY(2), 32, 32);
    if (!face_.isNull()) faceLabel_->setPixmap(QPixmap::fromImage(face_));
    auto* note = new QLabel("请求\r\n退出", this);
    note->setGeometry(DluRect(2, 26, 20, 18));
    name_ = new framework::CHyperLinkStatic(this);
    name_->setGeometry(DluRect(24, 5, 96, 10));
    name_->setText(QString::fromStdString(app ? app->GetPlayerNameById(requester_) : ""));
    name_->SetColors(0xFFFFFF, 0xFFFFFF, 0xFFFFFF);
    name_->SetLinkCursor(false);
    reasonEdit_ = new QLineEdit(this);
    reasonEdit_->setGeometry(DluRect(24, 19, 96, 22));
    reasonEdit_->setText(QString::fromStdString(reason_));
    reasonEdit_->setEnabled(false);
    agree_ = new framework::CHyperLinkStatic(this);
    agree_->setText("同意");
    agree_->setGeometry(DluRect(60, 45, 20, 10));
    refuse_ = new framework::CHyperLinkStatic(this);
    refuse_->setText("拒绝");
    refuse_->setGeometry(DluRect(90, 45, 20, 10));
    for (framework::CHyperLinkStatic* link : {agree_, refuse_}) link->SetColors(0, 0, 0xFFFFFF);
    agree_->onClick = [this] { OnAgree(); };
    refuse_->onClick = [this] { OnRefuse(); };
}

void CExitAnswerDlg::Answer(int agree) {
    ReleaseCapture();
    framework::PlayResourceSound(kClickSound);
    StartHide();
    platform::Message m;
    m.id = kMsgExitAnswer;
    m.w = uintptr_t(uint32_t(requester_));
    m.l = agree;
    platform::post(owner_, m);
}

void CExitAnswerDlg::OnAgree() {
    Answer(1);
}
void CExitAnswerDlg::OnRefuse() {
    Answer(0);
}

}  // namespace hqlv::mahjong
