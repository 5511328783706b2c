#pragma once
// This game's small dialogs: the settings (CGameSetDlg), the request to leave a running
// game (CExitRequestDlg) and the player information window (CPlayerInfoDlg), with the
// texts they compute kept apart so that they can be checked on their own.
#include <QDialog>
#include <QImage>
#include <QPoint>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "framework/app/program_bitmaps.h"

class QCheckBox;
class QRadioButton;
class QLineEdit;
class QPushButton;
class QLabel;

namespace hqlv::framework {
class CHyperLinkStatic;
}

namespace hqlv::mahjong {

class CGameAppEx;
struct GameSetValues;

inline constexpr int kClickSound = 29010;
inline constexpr size_t kExitReasonLimit = 60;  // GBK bytes: 30 Chinese characters
inline constexpr uint32_t kMsgHallPlayerInfo = 0x9108;
inline constexpr int kPlayerInfoIcon = framework::kIconPlayer;

// ---- settings
class CGameSetDlg : public QDialog {
public:
    explicit CGameSetDlg(const GameSetValues& values, QWidget* parent = nullptr);
    // The values as the dialog holds them: after OK, those chosen.
    GameSetValues values() const;
    void OnOK();

    QCheckBox* quickCatch() const { return quick_; }
    QCheckBox* rejectAsk() const { return reject_; }
    QCheckBox* silence() const { return silence_; }
    QRadioButton* voiceButton(int i) const { return voice_[size_t(i)]; }

private:
    int silence_v_ = 0, reject_v_ = 0, quick_v_ = 0, voice_v_ = 0;
    QCheckBox *quick_, *reject_, *silence_;
    std::array<QRadioButton*, 3> voice_{};
};

// ---- exit request
// The caption of the request button for n requests already made.
std::string ExitRequestCaption(int requestsMade);
// A typed reason as the request carries it: GBK, at most 60 bytes, cut on a character.
std::string ExitReasonBytes(const std::string& utf8);

class CExitRequestDlg : public QDialog {
public:
    // requestCount: the own chair's count (raised on a sent request); forcedForbidden: the
    // deal forbids leaving by force; send: sends the request with the GBK reason.
    CExitRequestDlg(int* requestCount, bool forcedForbidden,
                    std::function<void(const std::string& reasonGbk)> send,
                    std::function<void()> afterSend, QWidget* parent = nullptr);
    // The dialog of the application: the own chair's count (the four chairs of the table
    // keep one; any other chair reads 0 and raises nothing), the deal's word 22 forbidding a
    // forced exit, the request sent through the application's connection, and the chat line
    // " <c=%d>%s请求退出 \r\n" with the own name.
    explicit CExitRequestDlg(CGameAppEx& app, QWidget* parent = nullptr);
    void OnSendRequest();
    // "强行退出": ends with OK only when leaving by force is allowed.
    void OnOK();

    QLineEdit* reason() const { return reason_; }
    QPushButton* requestButton() const { return request_; }
    QPushButton* forceButton() const { return force_; }
    QPushButton* continueButton() const { return continue_; }

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    int* count_;
    bool forbidden_;
    std::function<void(const std::string&)> send_;
    std::function<void()> afterSend_;
    QLineEdit* reason_;
    QPushButton *request_, *force_, *continue_;
};

// ---- player information
// The sixteen texts of the window from a 320-byte player record (every text read inside
// the record), in the order of the window's edits 1040, 1042, 1043, 1044, 1047, 1049,
// 1045, 1048, 1046, 1050, 1051, 1052, 1053, 1054, 1055, 1056.
std::array<std::string, 16> PlayerInfoTexts(std::span<const uint8_t> record);

// The portrait with the pixels of the mask colour 0x808000 made transparent.
inline constexpr uint32_t kPortraitMask = 0x808000;
QImage MaskPortrait(const QImage& picture);
// Lets go of the mouse, as a link that holds it while hovered is clicked.
void ReleaseCapture();

// Where the information window stands (its top-left corner on the screen): left of the
// player list with 5 pixels between, level with the table pane's top.
QPoint PlayerInfoPlace(const QWidget* playerList, const QWidget* tablePane, int dialogWidth);

class CPlayerInfoDlg : public QDialog {
public:
    explicit CPlayerInfoDlg(QWidget* parent = nullptr);
    void SetPlayer(std::span<const uint8_t> record);
    void OnRefresh();
    void OnClose();

    QLineEdit* field(int i) const { return fields_[size_t(i)]; }
    // 0: refresh (1035), 1: close (1034).
    framework::CHyperLinkStatic* link(int i) const { return links_[size_t(i & 1)]; }
    const QImage& face() const { return face_; }
    int userId() const { return userId_; }
    // Where the refresh request goes (the hall); the application's hall unless set.
    std::function<void(uint32_t msg, uintptr_t w, intptr_t l)> postToHall;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::array<QLineEdit*, 16> fields_{};
    std::array<framework::CHyperLinkStatic*, 2> links_{};
    QImage face_;
    int userId_ = 0;
};

}  // namespace hqlv::mahjong
