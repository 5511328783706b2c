#include "framework/widgets/chat_view.h"

#include <QLineEdit>
#include <QPainter>
#include <QResizeEvent>

#include <fstream>

#include "framework/app/comm_thread.h"
#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/program_bitmaps.h"
#include "framework/app/shared_utils.h"
#include "framework/app/text_edge.h"
#include "framework/app/ui_trace.h"
#include "framework/panes/game_frame.h"
#include "framework/widgets/chat_rich_edit.h"
#include "framework/widgets/face_picker.h"
#include "framework/widgets/skin_button.h"
#include "platform/core/clock.h"
#include "platform/ui/cursor.h"

namespace hqlv::framework {
namespace {

// The face button's picture until the game names its own, and while the game's picture is
// missing: the button is the one way to the face picker, and an empty square would not say
// what it opens.
QImage DefaultFaceImage() {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 210, 0));
    p.setPen(QColor(150, 100, 0));
    p.drawEllipse(1, 1, 13, 13);
    p.setBrush(QColor(60, 40, 0));
    p.drawEllipse(5, 5, 2, 2);
    p.drawEllipse(9, 5, 2, 2);
    p.setBrush(Qt::NoBrush);
    p.drawArc(4, 6, 8, 6, 200 * 16, 140 * 16);
    return img;
}

std::string TakeText(const platform::Message& msg) {
    if (!msg.w) return {};
    std::string text = *reinterpret_cast<std::string*>(msg.w);
    DisposeTextMessage(msg);
    return text;
}

}  // namespace

CGameChatView::CGameChatView(QWidget* parent) : CGameFormView("chat", parent) {
    display_ = new CChatRichEdit(this);
    display_->SetSizeCap(kChatSizeCap);
    display_->SetDefaultFont();
    display_->SetLinkEnabled(false);
    display_->onLinkClicked = [this](const std::string& text) {
        platform::Message m = MakeTextMessage(kMsgChatLink, text, 0);
        if (!platform::post(hwnd(), m)) DisposeTextMessage(m);
    };
    input_ = new QComboBox(this);
    input_->setEditable(true);
    input_->setInsertPolicy(QComboBox::NoInsert);
    input_->setMaxVisibleItems(10);
    input_->hide();  // until the game is entered
    connect(input_->lineEdit(), &QLineEdit::returnPressed, this, [this] { SendChat(); });
    faceButton_ = new CSkinButton(this);
    faceButton_->SetImages(DefaultFaceImage(), std::nullopt);
    connect(faceButton_, &QAbstractButton::clicked, this, [this] { OnFaceButton(); });
    std::string root = GetInstallRoot();
    if (!root.empty()) SetFaceFolder(root + "Share/Image/face/");
}

CGameChatView::~CGameChatView() {
    delete picker_;
}

ChatLineContext CGameChatView::LineContext() const {
    ChatLineContext c;
    CGameApp* app = GetTheApp();
    if (!app) return c;
    c.player = [app](int userId) { return app->GetPlayerRecord(userId); };
    c.ownUserId = app->GetUserID();
    c.ownTable = app->GetTableNo();
    c.gameId = app->GetGameID();
    c.randomSeating = app->TestCmdField13Bit8() && app->GetCmdField8() == 0;
    c.title = app->GetTitleText();
    c.welcomeName = app->GetWelcomeName();
    c.location = app->GetLocationText();
    return c;
}

void CGameChatView::AppendMarkup(const std::string& utf8Markup) {
    if (utf8Markup.empty()) return;
    display_->AppendTaggedText(utf8Markup);
    if (UiTraceEnabled()) {
        std::string plain;
        for (const ChatPiece& p : SplitChatMarkup(utf8Markup, kChatNoticeSizeCap, false))
            plain += p.text;
        UiTrace("chat", plain);
    }
}

void CGameChatView::SendThroughApp(const std::string& line) {
    if (line.empty()) return;
    CGameApp* app = GetTheApp();
    if (!app || !app->SendChatViewMessage(line)) AppendMarkup(line);
}

bool CGameChatView::MaySend() {
    uint32_t now = platform::tickMs();
    if (sentOnce_ && platform::tickElapsed(lastSend_, now) < kChatFloodMs) return false;
    return true;
}

void CGameChatView::SendChat() {
    const std::string text = ChatInputText(input_->currentText().toStdString());
    if (text.empty() || !MaySend()) return;
    CGameApp* app = GetTheApp();
    CGameConnection* conn = app ? app->GetConnection() : nullptr;
    if (!conn || !conn->SendChatMessage2(text)) return;
    input_->addItem(QString::fromStdString(text));
    input_->setCurrentIndex(-1);
    input_->setEditText(QString());
    sentOnce_ = true;
    lastSend_ = platform::tickMs();
}

void CGameChatView::ShowOwnChat() {
    const std::string text = ChatInputText(input_->currentText().toStdString());
    if (text.empty() || !MaySend()) return;
    CGameApp* app = GetTheApp();
    CGameConnection* conn = app ? app->GetConnection() : nullptr;
    if (!conn || !conn->SendChatMessage(text)) return;
    AppendMarkup(OwnChatLine(text));
    input_->addItem(QString::fromStdString(text));
    input_->setCurrentIndex(-1);
    input_->setEditText(QString());
    sentOnce_ = true;
    lastSend_ = platform::tickMs();
}

void CGameChatView::ShowOwnFace(int face) {
    if (!MaySend()) return;
    CGameApp* app = GetTheApp();
    CGameConnection* conn = app ? app->GetConnection() : nullptr;
    if (!conn || !conn->SendChatMessage(OwnFaceText(face))) return;
    AppendMarkup(OwnFaceLine(face));
    sentOnce_ = true;
    lastSend_ = platform::tickMs();
}

void CGameChatView::ShowText(const std::string& utf8Markup) {
    display_->SetSizeCap(kChatNoticeSizeCap);
    SetLinkMode(true);
    AppendMarkup(utf8Markup);
    SetLinkMode(false);
    display_->SetSizeCap(kChatSizeCap);
}

void CGameChatView::OnLinkClicked(const std::string& shownText) {
    int pass = 0;
    std::string target = display_->FindLink(shownText, &pass);
    if (target.empty()) target = shownText;
    TrimBlanks(target);
    CGameApp* app = GetTheApp();
    if (!app || target.empty()) return;
    platform::ui::WaitCursor wait;
    app->OpenWebPage(target, pass);
}

void CGameChatView::ShowLookerOnEnter(const PlayerRecord& r) {
    AppendMarkup(LookerOnEnterLine(LineContext(), r));
}
void CGameChatView::ShowSystemLine(Body b) {
    SendThroughApp(SystemLine(b));
}
void CGameChatView::ShowCall(Body b) {
    AppendMarkup(CallLine(LineContext(), b));
}
void CGameChatView::ShowPlayerChat(Body b) {
    AppendMarkup(PlayerChatLine(LineContext(), b));
}
void CGameChatView::ShowTableLeave(const PlayerRecord& r) {
    AppendMarkup(TableLeaveLine(LineContext(), r));
}
void CGameChatView::ShowTableEnter(const PlayerRecord& r) {
    AppendMarkup(TableEnterLine(LineContext(), r));
}
void CGameChatView::ShowLookerOnLeave(const PlayerRecord& r) {
    AppendMarkup(LookerOnLeaveLine(LineContext(), r));
}
void CGameChatView::ShowRandomTable(Body) {
    AppendMarkup(RandomTableLine(LineContext()));
}
void CGameChatView::ShowMessageLine(Body b) {
    AppendMarkup(ChatRecordLine(LineContext(), b));
}
void CGameChatView::ShowSilverNotice(Body b) {
    for (const std::string& line : SilverNoticeLines(LineContext(), b)) AppendMarkup(line);
}
void CGameChatView::ShowNewClothes(Body b) {
    AppendMarkup(NewClothesLine(LineContext(), b));
}
void CGameChatView::ShowMembership(Body b) {
    AppendMarkup(MembershipLine(LineContext(), b));
}
void CGameChatView::ShowTableChanged(Body) {
    AppendMarkup(TableChangedLine(LineContext()));
}
void CGameChatView::ShowAmuletNotice(Body b) {
    for (const std::string& line : AmuletLines(LineContext(), b)) AppendMarkup(line);
}
void CGameChatView::ShowLotteryInfo(Body b) {
    SendThroughApp(LotteryInfoLine(LineContext(), b));
}
void CGameChatView::ShowLotteryInfo2(Body b) {
    SendThroughApp(LotteryInfoExLine(LineContext(), b));
}
void CGameChatView::ShowLotteryResult(Body b) {
    SendThroughApp(LotteryResultLine(LineContext(), b));
}
void CGameChatView::ShowBroadcast(Body b) {
    SendThroughApp(BroadcastLine(b));
}
void CGameChatView::ShowPrizeNotice(Body b) {
    AppendMarkup(PrizeNoticeLine(LineContext(), b));
}
void CGameChatView::ShowGameResult(Body b) {
    AppendMarkup(GameResultLine(LineContext(), b));
}

void CGameChatView::SetTextSizeCap(int cap) {
    display_->SetSizeCap(cap);
}

void CGameChatView::SetFaceButtonImage(const QImage& image) {
    faceButton_->SetImages(image, std::nullopt);
}

bool CGameChatView::SetFaceButtonIcon(int id) {
    std::optional<QImage> icon = LoadProgramBitmap(id);
    if (!icon) return false;
    SetFaceButtonImage(*icon);
    return true;
}

void CGameChatView::SetFaceFolder(const std::string& folder) {
    faceFolder_ = folder;
    display_->SetFaceFolder(folder);
    if (picker_) picker_->SetFaceFolder(folder);
}

void CGameChatView::AddInputHistory(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 1024) line.resize(1024);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '\t'))
            line.pop_back();
        input_->addItem(QString::fromStdString(GbkToUtf8(line)));
    }
}

void CGameChatView::SetLinkMode(bool on) {
    display_->SetLinkEnabled(on);
    display_->SetAutoUrlDetect(on);
}

void CGameChatView::ShowFaceButton(bool on) {
    faceButtonShown_ = on;
    LayOut();
}

void CGameChatView::OnFaceButton() {
    if (!picker_) {
        platform::ui::WaitCursor wait;
        picker_ = new CFacePickerWnd();
        picker_->SetOwner(hwnd());
        picker_->SetFaceFolder(faceFolder_);
    }
    picker_->ShowAt(faceButton_->mapToGlobal(QPoint(faceButton_->width(), 0)));
}

void CGameChatView::SetInputText(const std::string& utf8) {
    input_->setEditText(QString::fromStdString(utf8));
}

intptr_t CGameChatView::handleMessage(const platform::Message& msg) {
    switch (msg.id) {
        case kMsgChatClear:
            display_->ClearText();
            return 0;
        case kMsgChatAppend:
            AppendMarkup(TakeText(msg));
            return 0;
        case kMsgChatInputText:
            SetInputText(TakeText(msg));
            return 0;
        case kMsgOwnFace:
            ShowOwnFace(static_cast<int>(msg.w));
            return 0;
        case kMsgChatLink:
            OnLinkClicked(TakeText(msg));
            return 0;
        case kMsgCommand:
            if (msg.w == 1) SendChat();
            if (msg.w == 2) OnFaceButton();
            return 0;
        default:
            return CGameFormView::handleMessage(msg);
    }
}

void CGameChatView::OnGameEntered() {
    CGameFormView::OnGameEntered();
    input_->show();
    input_->setFocus();
    LayOut();
    AppendMarkup(WelcomeLine(LineContext()));
    CGameApp* app = GetTheApp();
    if (CGameFrameWnd* frame = app ? app->GetMainFrame() : nullptr) frame->StartNoticeDownload();
}

void CGameChatView::resizeEvent(QResizeEvent* e) {
    CGameFormView::resizeEvent(e);
    LayOut();
}

void CGameChatView::LayOut() {
    int w = width(), h = height();
    if (w == 0 || h == 0) return;
    int b = input_->height() > 0 ? input_->sizeHint().height() : 20;
    if (b <= 0) b = 20;
    display_->setGeometry(0, 0, w, h - b);
    if (faceButtonShown_) {
        input_->setGeometry(0, h - b, w - b, b);
        faceButton_->setGeometry(w - b, h - b, b, b);
        faceButton_->show();
    } else {
        input_->setGeometry(0, h - b, w, b);
        faceButton_->setGeometry(w, h - b, 0, 0);
        faceButton_->hide();
    }
}

void CGameChatView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), platform::ui::ToQColor(0xFFFFF0));
}

}  // namespace hqlv::framework
