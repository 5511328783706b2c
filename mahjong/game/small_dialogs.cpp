#include "mahjong/game/small_dialogs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstring>

#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/shared_utils.h"
#include "framework/app/skin_library.h"
#include "framework/app/text_edge.h"
#include "framework/app/ui_trace.h"
#include "framework/panes/game_frame.h"
#include "framework/panes/player_records.h"
#include "framework/widgets/hyperlink_static.h"
#include "mahjong/game/dialog_fit.h"
#include "mahjong/game/dialog_units.h"
#include "mahjong/game/game_app_ex.h"
#include "platform/core/hall.h"
#include "platform/ui/draw_context.h"

namespace hqlv::mahjong {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

int32_t RecordWord(std::span<const uint8_t> r, size_t i) {
    return framework::LoadWordLE(r.data(), r.size(), i);
}

// A zero-terminated GBK text of its field at byte off, never past the field or the
// record's end.
std::string RecordText(std::span<const uint8_t> r, size_t off, size_t len) {
    if (off >= r.size()) return {};
    const char* p = reinterpret_cast<const char*>(r.data() + off);
    return framework::GbkToUtf8(std::string_view(p, strnlen(p, std::min(len, r.size() - off))));
}

std::optional<QImage> PortraitOf(int face) {
    return platform::ui::LoadBitmapFile(
        framework::Format("%s%d_0.bmp", framework::GetPortraitFolder().c_str(), face));
}

}  // namespace

// ---- settings

CGameSetDlg::CGameSetDlg(const GameSetValues& v, QWidget* parent)
    : QDialog(parent),
      silence_v_(v.silence),
      reject_v_(v.rejectKanPaiAsk),
      quick_v_(v.quickCatch),
      voice_v_(v.voice) {
    setWindowTitle("设置");
    setFixedSize(DluX(225), DluY(115));
    auto* group = new QGroupBox("打牌设置", this);
    group->setGeometry(DluRect(7, 7, 211, 80));
    quick_ = new QCheckBox("快速抓牌（可能会泄漏牌张信息，高手之间打牌慎用）", group);
    quick_->setGeometry(DluRect(7, 10, 200, 10));
    reject_ = new QCheckBox("不接受看牌请求", group);
    reject_->setGeometry(DluRect(7, 22, 100, 10));
    silence_ = new QCheckBox("打牌时保持安静", group);
    silence_->setGeometry(DluRect(7, 34, 100, 10));
    auto* voices = new QGroupBox("语音", group);
    voices->setGeometry(DluRect(7, 47, 196, 27));
    const char* labels[] = {"方言", "普通话", "随机"};
    for (int i = 0; i < 3; ++i) {
        voice_[size_t(i)] = new QRadioButton(labels[i], voices);
        voice_[size_t(i)]->setGeometry(DluRect(10 + 60 * i, 11, 50, 10));
    }
    auto* ok = new QPushButton("确定", this);
    ok->setGeometry(DluRect(110, 94, 50, 14));
    auto* cancel = new QPushButton("取消", this);
    cancel->setGeometry(DluRect(168, 94, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CGameSetDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // Start-up: the boxes from the values; any voice but 0 and 1 checks "随机".
    quick_->setChecked(quick_v_ != 0);
    silence_->setChecked(silence_v_ != 0);
    reject_->setChecked(reject_v_ != 0);
    voice_[size_t(voice_v_ == 0 ? 0 : voice_v_ == 1 ? 1 : 2)]->setChecked(true);
    FitDialogTexts(this);
}

void CGameSetDlg::OnOK() {
    quick_v_ = quick_->isChecked() ? 1 : 0;
    silence_v_ = silence_->isChecked() ? 1 : 0;
    reject_v_ = reject_->isChecked() ? 1 : 0;
    voice_v_ = voice_[0]->isChecked() ? 0 : voice_[1]->isChecked() ? 1 : 2;
    accept();
}

GameSetValues CGameSetDlg::values() const {
    GameSetValues v;
    v.silence = silence_v_;
    v.rejectKanPaiAsk = reject_v_;
    v.quickCatch = quick_v_;
    v.voice = voice_v_;
    return v;
}

// ---- exit request

std::string ExitRequestCaption(int requestsMade) {
    return framework::Format("请求退出(%d)", requestsMade >= 2 ? 0 : 2 - requestsMade);
}

std::string ExitReasonBytes(const std::string& utf8) {
    return framework::Utf8ToGbkCut(utf8, kExitReasonLimit);
}

CExitRequestDlg::CExitRequestDlg(int* requestCount, bool forcedForbidden,
                                 std::function<void(const std::string&)> send,
                                 std::function<void()> afterSend, QWidget* parent)
    : QDialog(parent),
      count_(requestCount),
      forbidden_(forcedForbidden),
      send_(std::move(send)),
      afterSend_(std::move(afterSend)) {
    setWindowTitle("请求退出");
    setFixedSize(DluX(183), DluY(88));
    auto* text = new QLabel(
        "游戏还没结束，强退操作将扣除大量积分。输入\n理由请求其他玩家同意。（最多30个汉字，最多请求"
        "2次）",
        this);
    text->setGeometry(DluRect(13, 7, 165, 30));
    reason_ = new QLineEdit(this);
    reason_->setGeometry(DluRect(13, 41, 161, 23));
    // The limit is the request's bytes, not characters: a typed text that would not fit is
    // cut back on a character boundary.
    connect(reason_, &QLineEdit::textEdited, this, [this](const QString& t) {
        const std::string utf8 = t.toStdString();
        const std::string fit = framework::GbkToUtf8(ExitReasonBytes(utf8));
        if (fit != utf8) reason_->setText(Q(fit));
    });
    request_ = new QPushButton(this);
    force_ = new QPushButton("强行退出", this);
    continue_ = new QPushButton("继续游戏", this);
    for (QPushButton* b : {request_, force_, continue_}) b->setAutoDefault(false);
    const int n = count_ ? *count_ : 0;
    request_->setText(Q(ExitRequestCaption(n)));
    request_->setEnabled(n < 2);
    if (forbidden_) {
        force_->hide();
        request_->setGeometry(62, 115, 82, 25);
        continue_->setGeometry(187, 115, 80, 25);
    } else {
        request_->setGeometry(22, 115, 82, 25);
        force_->setGeometry(127, 115, 80, 25);
        continue_->setGeometry(227, 115, 80, 25);
    }
    FitDialogTexts(this);
    connect(request_, &QPushButton::clicked, this, &CExitRequestDlg::OnSendRequest);
    connect(force_, &QPushButton::clicked, this, &CExitRequestDlg::OnOK);
    connect(continue_, &QPushButton::clicked, this, &QDialog::reject);
}

namespace {

int* OwnExitCount(CGameAppEx& app) {
    const int chair = app.GetChairNo();
    return chair >= 0 && chair < 4 ? &app.ExitRequestCount(chair) : nullptr;
}

}  // namespace

CExitRequestDlg::CExitRequestDlg(CGameAppEx& app, QWidget* parent)
    : CExitRequestDlg(
          OwnExitCount(app), app.gameInfo().RoundWord(22) != 0,
          [&app](const std::string& reasonGbk) {
              if (CGameConnectEx* conn = app.GetConnectEx()) conn->SendExitRequest(reasonGbk);
          },
          [&app] {
              const std::string own = app.GetPlayerNameById(app.GetUserID());
              app.SendChatViewMessage(
                  framework::Format(" <c=%d>%s请求退出 \r\n", kExitChatColour, own.c_str()));
          },
          parent) {}

void CExitRequestDlg::OnSendRequest() {
    if (send_) send_(ExitReasonBytes(reason_->text().toStdString()));
    if (count_) ++*count_;
    if (afterSend_) afterSend_();
    reject();
}

void CExitRequestDlg::OnOK() {
    if (!forbidden_) accept();
}

void CExitRequestDlg::keyPressEvent(QKeyEvent* e) {
    // Enter never presses a button of this dialog.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(e);
}

// ---- player information

std::array<std::string, 16> PlayerInfoTexts(std::span<const uint8_t> r) {
    auto num = [&](size_t w) { return framework::Format("%d", RecordWord(r, w)); };
    const int64_t wins = RecordWord(r, 30), losses = RecordWord(r, 31), draws = RecordWord(r, 32);
    const int64_t games = wins + losses + draws;
    auto rate = [games](int64_t part, const char* none) {
        return games <= 0 ? std::string(none)
                          : framework::Format("%.2f%%", double(part) / double(games) * 100.0);
    };
    return {RecordText(r, 20, 32),
            RecordText(r, 52, 16),
            framework::GetWealthTitle(RecordWord(r, 20)),
            framework::Format("%d两", RecordWord(r, 20)),
            RecordText(r, 88, 16),
            num(26),
            num(27),
            rate(RecordWord(r, 28), "0.00%"),
            num(29),
            num(30),
            num(31),
            num(32),
            rate(wins, "100%"),
            RecordWord(r, 40) != 0 ? "是" : "",
            RecordWord(r, 41) != 0 ? "是" : "",
            RecordText(r, 192, 128)};
}

CPlayerInfoDlg::CPlayerInfoDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("详细信息");
    setFixedSize(DluX(105), DluY(227));
    const char* labels[16] = {"",     "昵称",     "财富等级", "银子",    "级别", "积分",
                              "经验", "断线率",   "网速",     "赢",      "输",   "和",
                              "胜率", "我的好友", "不受欢迎", "正在旁观"};
    for (int i = 0; i < 16; ++i) {
        const int y = i == 0 ? 8 : 24 + 12 * (i - 1);
        if (i > 0) {
            auto* label = new QLabel(labels[i], this);
            label->setGeometry(DluRect(5, y, 36, 10));
        }
        fields_[size_t(i)] = new QLineEdit(this);
        fields_[size_t(i)]->setReadOnly(true);
        fields_[size_t(i)]->setGeometry(i == 0 ? DluRect(32, y, 68, 10) : DluRect(42, y, 58, 10));
    }
    // Refresh (1035) and close (1034) are links.
    auto* refresh = new framework::CHyperLinkStatic(this);
    refresh->setText("刷新");
    refresh->setGeometry(DluRect(20, 210, 30, 12));
    auto* close = new framework::CHyperLinkStatic(this);
    close->setText("关闭");
    close->setGeometry(DluRect(58, 210, 30, 12));
    refresh->onClick = [this] { OnRefresh(); };
    close->onClick = [this] { OnClose(); };
    links_ = {refresh, close};
    FitDialogTexts(this);
    // The dialog's start: the skin is told to paint its background.
    framework::CSkinLibrary::instance().SetDialogEraseBkgnd(this, 1);
}

QPoint PlayerInfoPlace(const QWidget* playerList, const QWidget* tablePane, int dialogWidth) {
    const QPoint list = playerList->mapToGlobal(QPoint(0, 0));
    const QPoint table = tablePane->mapToGlobal(QPoint(0, 0));
    return {list.x() - dialogWidth - 5, table.y()};
}

QImage MaskPortrait(const QImage& picture) {
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key =
        qRgb(kPortraitMask & 0xFF, (kPortraitMask >> 8) & 0xFF, (kPortraitMask >> 16) & 0xFF);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF)) line[x] = 0;
    }
    return out;
}

void CPlayerInfoDlg::SetPlayer(std::span<const uint8_t> record) {
    userId_ = RecordWord(record, 0);
    if (auto face = PortraitOf(RecordWord(record, 18))) {
        face_ = MaskPortrait(*face);
    } else if (auto icon = framework::LoadProgramBitmap(kPlayerInfoIcon)) {
        face_ = *icon;
    } else {
        face_ = QImage();
    }
    const auto texts = PlayerInfoTexts(record);
    for (size_t i = 0; i < texts.size(); ++i) fields_[i]->setText(Q(texts[i]));
    FitDialogTexts(this);
    update();
    if (framework::UiTraceEnabled())
        framework::UiTrace("info", "details: " + texts[0] + " 银子=" + texts[3] +
                                       " 级别=" + texts[4] + " 积分=" + texts[5] +
                                       " 赢=" + texts[9] + " 输=" + texts[10] + " 和=" + texts[11] +
                                       " 胜率=" + texts[12]);
}

void CPlayerInfoDlg::OnRefresh() {
    ReleaseCapture();
    framework::PlayResourceSound(kClickSound);
    framework::CGameApp* app = framework::CGameApp::Current();
    // The hall answers the window it is given: the main window as the hall knows it.
    const uintptr_t main = app && app->GetMainFrame() ? app->GetMainFrame()->hallHandle() : 0;
    if (postToHall)
        postToHall(kMsgHallPlayerInfo, main, userId_);
    else if (app)
        platform::hallChannel().post(app->HallWindow(), kMsgHallPlayerInfo, main, userId_);
}

void CPlayerInfoDlg::OnClose() {
    ReleaseCapture();
    framework::PlayResourceSound(kClickSound);
    hide();
}

void ReleaseCapture() {
    if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

void CPlayerInfoDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    platform::ui::DrawContext dc(p);
    dc.FillSolidRect(rect(), 0xFFFFFF);
    if (!face_.isNull()) dc.BitBlt(10, 4, 32, 32, face_, 0, 0);
}

}  // namespace hqlv::mahjong
