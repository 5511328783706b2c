#include "framework/panes/msgbox_dlg.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "framework/app/shared_utils.h"
#include "platform/core/clock.h"

namespace hqlv::framework {
namespace {

// Dialog units of the box's layout to pixels (the 9-point dialog font's base units).
int dx(int v) {
    return v * 3 / 2;
}
int dy(int v) {
    return v * 13 / 8;
}

// The chime every box sounds when it comes up.
constexpr int kMsgBoxSoundId = 29014;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

}  // namespace

CGameMsgBoxDlg::CGameMsgBoxDlg(QWidget* parent, bool modeless)
    : QDialog(parent), modeless_(modeless) {
    clock_ = [] { return platform::tickMs(); };
}

CGameMsgBoxDlg::~CGameMsgBoxDlg() = default;

void CGameMsgBoxDlg::SetButtonTexts(const std::string& ok, const std::string& cancel) {
    okText_ = ok;
    cancelText_ = cancel;
}
void CGameMsgBoxDlg::SetText(const std::string& text) {
    text_s_ = text;
}
void CGameMsgBoxDlg::SetTitle(const std::string& title) {
    title_ = title;
}

int CGameMsgBoxDlg::GetSeconds() const {
    return countdownModel_ ? countdownModel_->seconds() : seconds_;
}

void CGameMsgBoxDlg::InitDialog() {
    if (ok_) return;
    setWindowTitle(q(title_.empty() ? std::string("游戏") : title_));
    setFixedSize(dx(179), dy(71));
    icon_ = new QLabel(this);
    icon_->setGeometry(dx(7), dy(8), dx(20), dy(20));
    text_ = new QLabel(this);
    text_->setGeometry(dx(39), dy(11), dx(130), dy(31));
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    countdown_ = new QLabel("10", this);
    countdown_->setGeometry(dx(150), dy(50), dx(17), dy(8));
    ok_ = new QPushButton(q("确定"), this);
    ok_->setGeometry(dx(39), dy(46), dx(50), dy(18));
    cancel_ = new QPushButton(q("取消"), this);
    cancel_->setGeometry(dx(95), dy(46), dx(50), dy(18));
    connect(ok_, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
    // Enter and Space mean OK whichever item has the focus: they are taken before the
    // focused button sees them (which would press itself, Cancel included).
    for (QWidget* w :
         {static_cast<QWidget*>(ok_), static_cast<QWidget*>(cancel_), static_cast<QWidget*>(text_),
          static_cast<QWidget*>(countdown_), static_cast<QWidget*>(icon_)})
        w->installEventFilter(this);

    MsgBoxStyle st = StyleOf(style_);
    QStyle::StandardPixmap pix = QStyle::SP_MessageBoxInformation;
    if (st.icon == MsgBoxIcon::kStop) pix = QStyle::SP_MessageBoxCritical;
    if (st.icon == MsgBoxIcon::kExclamation) pix = QStyle::SP_MessageBoxWarning;
    if (st.icon == MsgBoxIcon::kQuestion) pix = QStyle::SP_MessageBoxQuestion;
    if (st.icon != MsgBoxIcon::kNone)
        icon_->setPixmap(style()->standardIcon(pix).pixmap(icon_->size()));
    if (!st.cancelEnabled) DisableCancel();

    QString shown = q(text_s_);
    shown.replace("\r\n", "\n");
    text_->setText(shown);
    QPalette pal = text_->palette();
    pal.setColor(QPalette::WindowText,
                 QColor(textColor_ & 0xFF, (textColor_ >> 8) & 0xFF, (textColor_ >> 16) & 0xFF));
    text_->setPalette(pal);
    if (!okText_.empty()) ok_->setText(q(okText_));
    if (!cancelText_.empty()) cancel_->setText(q(cancelText_));

    countdownModel_ = std::make_unique<MsgBoxCountdown>(seconds_, style_, modeless_, clock_);
    countdown_->setText(QString::number(countdownModel_->seconds()));
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { OnCountdownTick(); });
    if (countdownModel_->running()) timer_->start(1000);

    FitToText();
    ApplyExtraHeight();
    ApplyExtraWidth();
    ApplySingleButton();
    if (focusOk_) ok_->setFocus();
    PlayResourceSound(kMsgBoxSoundId);
}

void CGameMsgBoxDlg::OnCountdownTick() {
    if (!countdownModel_) return;
    MsgBoxResult r = countdownModel_->tick();
    if (r == kMsgBoxNone) {
        countdown_->setText(QString::number(countdownModel_->seconds()));
        return;
    }
    timer_->stop();
    if (r == kMsgBoxCancel)
        OnCancel();
    else
        OnOk();
}

void CGameMsgBoxDlg::DisableCancel() {
    cancel_->setEnabled(false);
    // The title bar's Close is Cancel too: greyed with it.
    setWindowFlag(Qt::WindowCloseButtonHint, false);
}

void CGameMsgBoxDlg::reject() {
    // Esc and the window's close (Alt+F4) end the box with Cancel only while Cancel can
    // be pressed.
    if (cancel_ && !cancel_->isEnabled()) return;
    OnCancel();
}

void CGameMsgBoxDlg::FitToText() {
    QFontMetrics fm(text_->font());
    QRect measured =
        fm.boundingRect(QRect(0, 0, text_->width(), 1 << 20), Qt::TextWordWrap, text_->text());
    extraHeight_ = FitExtraHeight(measured.height(), text_->height(), extraHeight_, extraWidth_);
}

void CGameMsgBoxDlg::ApplyExtraHeight() {
    if (extraHeight_ == 0) return;
    appliedExtraHeight_ = extraHeight_;
    setFixedSize(width(), height() + extraHeight_);
    for (QWidget* w : {static_cast<QWidget*>(ok_), static_cast<QWidget*>(cancel_),
                       static_cast<QWidget*>(countdown_)})
        w->move(w->x(), w->y() + extraHeight_);
    text_->resize(text_->width(), text_->height() + extraHeight_);
}

void CGameMsgBoxDlg::ApplyExtraWidth() {
    if (extraWidth_ == 0) return;
    setFixedSize(width() + extraWidth_, height());
    text_->resize(text_->width() + extraWidth_, text_->height());
    for (QWidget* w : {static_cast<QWidget*>(ok_), static_cast<QWidget*>(cancel_),
                       static_cast<QWidget*>(countdown_)})
        w->move(w->x() + extraWidth_, w->y());
}

void CGameMsgBoxDlg::ApplySingleButton() {
    if (!singleButton_) return;
    cancel_->hide();
    ok_->move((width() - ok_->width()) / 2, ok_->y());
}

void CGameMsgBoxDlg::OnOk() {
    if (timer_) timer_->stop();
    done(kMsgBoxOk);
}

void CGameMsgBoxDlg::OnCancel() {
    if (timer_) timer_->stop();
    done(kMsgBoxCancel);
}

namespace {
bool IsOkKey(const QKeyEvent* e) {
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space;
}
}  // namespace

void CGameMsgBoxDlg::keyPressEvent(QKeyEvent* e) {
    if (IsOkKey(e)) {
        OnOk();
        return;
    }
    QDialog::keyPressEvent(e);
}

bool CGameMsgBoxDlg::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && IsOkKey(static_cast<QKeyEvent*>(e))) {
        OnOk();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

int CGameMsgBoxDlg::DoModal() {
    return exec();
}

void CGameMsgBoxDlg::setVisible(bool visible) {
    // Every way of showing a dialog (exec, open, show) comes through here while the window
    // is still hidden: the box is set up before its first frame, without a call its maker
    // could forget.
    if (visible) InitDialog();
    QDialog::setVisible(visible);
}

CGameMsgBoxModelessDlg::CGameMsgBoxModelessDlg(QWidget* parent, Action closeMainWindow,
                                               LinkOpener openLink)
    : CGameMsgBoxDlg(parent, true),
      closeMainWindow_(std::move(closeMainWindow)),
      openLink_(std::move(openLink)) {}

CGameMsgBoxModelessDlg::~CGameMsgBoxModelessDlg() {
    // The box is gone: the program's main window goes with it.
    if (closeMainWindow_) closeMainWindow_();
}

void CGameMsgBoxModelessDlg::Show() {
    setModal(false);
    show();
    raise();
}

void CGameMsgBoxModelessDlg::finish() {
    if (finished_) return;
    finished_ = true;
    if (timer_) timer_->stop();
    hide();
    deleteLater();  // the destructor closes the main window
}

void CGameMsgBoxModelessDlg::OnOk() {
    if (!link_.empty() && openLink_) openLink_(link_, linkParam_);
    finish();
}

void CGameMsgBoxModelessDlg::OnCancel() {
    finish();
}

}  // namespace hqlv::framework
