#pragma once
// The program's own message boxes: an icon, a text the box fits itself to, two buttons
// with the caller's captions and a countdown in seconds that presses a button by itself.
// CGameMsgBoxDlg is modal; CGameMsgBoxModelessDlg lives on the heap, may carry a link,
// deletes itself and closes the main window when it goes.
#include <QDialog>

#include <functional>
#include <memory>
#include <string>

#include "framework/panes/msgbox_model.h"

class QLabel;
class QPushButton;
class QTimer;

namespace hqlv::framework {

class CGameMsgBoxDlg : public QDialog {
public:
    explicit CGameMsgBoxDlg(QWidget* parent = nullptr, bool modeless = false);
    ~CGameMsgBoxDlg() override;

    void SetButtonTexts(const std::string& ok, const std::string& cancel);
    void SetText(const std::string& text);
    void SetTitle(const std::string& title);
    void SetSeconds(int seconds) { seconds_ = seconds; }
    void SetStyle(int style) { style_ = style; }
    void SetExtraHeight(int h) { extraHeight_ = h; }
    void SetExtraWidth(int w) { extraWidth_ = w; }
    void SetSingleButton(bool on) { singleButton_ = on; }
    void SetFocusOk(bool on) { focusOk_ = on; }
    void SetTextColor(uint32_t color) { textColor_ = color; }
    int GetSeconds() const;
    // The clock the countdown reads (tests); the process clock by default.
    void SetClock(MsgBoxCountdown::Clock clock) { clock_ = std::move(clock); }

    // Builds the box (icon, texts, fitting, buttons, countdown), once. The box runs it
    // itself as it first comes up, however it is shown (DoModal, Show, exec, open, show):
    // the setters above are given before that. Tests may call it to inspect the layout.
    void InitDialog();
    // Runs modally: 1 OK, 2 Cancel.
    int DoModal();
    // Coming up builds the box first (see InitDialog).
    void setVisible(bool visible) override;

    // Layout for tests.
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* textItem() const { return text_; }
    QLabel* iconItem() const { return icon_; }
    QLabel* countdownItem() const { return countdown_; }
    int appliedExtraHeight() const { return appliedExtraHeight_; }
    // One timer tick of the countdown (the 1-second timer calls it).
    void OnCountdownTick();

    virtual void DisableCancel();
    virtual void FitToText();
    virtual void ApplyExtraHeight();
    virtual void ApplyExtraWidth();
    virtual void ApplySingleButton();

protected:
    virtual void OnOk();
    virtual void OnCancel();
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;

    std::string okText_ = "确定", cancelText_ = "取消", text_s_, title_;
    int seconds_ = 10;
    int style_ = 0;
    int extraHeight_ = 0, extraWidth_ = 0, appliedExtraHeight_ = 0;
    bool singleButton_ = false, focusOk_ = false, modeless_;
    uint32_t textColor_ = 0;
    MsgBoxCountdown::Clock clock_;
    std::unique_ptr<MsgBoxCountdown> countdownModel_;
    QLabel* icon_ = nullptr;
    QLabel* text_ = nullptr;
    QLabel* countdown_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QTimer* timer_ = nullptr;
};

class CGameMsgBoxModelessDlg : public CGameMsgBoxDlg {
public:
    // What happens when the box is gone: the main window is closed. The application
    // gives the way to close it, and the link opener.
    using Action = std::function<void()>;
    using LinkOpener = std::function<void(const std::string& link, int flag)>;
    CGameMsgBoxModelessDlg(QWidget* parent, Action closeMainWindow, LinkOpener openLink);
    ~CGameMsgBoxModelessDlg() override;
    void SetLink(const std::string& link, int param) {
        link_ = link;
        linkParam_ = param;
    }
    // Shows the box and returns at once.
    void Show();

protected:
    void OnOk() override;
    void OnCancel() override;

private:
    void finish();
    std::string link_;
    int linkParam_ = 0;
    Action closeMainWindow_;
    LinkOpener openLink_;
    bool finished_ = false;
};

}  // namespace hqlv::framework
