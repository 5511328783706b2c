#pragma once
// The chat pane: a read-only chat display above an input line with a face button at its
// right. Every chat line of the client is shown here; the pane's own operations compose
// the framework's standard lines from the server's notifications (the hooks below).
//
// Messages (texts travel as heap strings made by MakeTextMessage and are freed here):
//   0x85B1 game entered, 0x85B3 clear, 0x85B5 append markup, 0x85B6 set the input text,
//   0x85B7 own face chosen (w: face), 0x85B8 link clicked; command 1 send, 2 face button.
#include <QComboBox>

#include <cstdint>
#include <memory>
#include <string>

#include "framework/panes/form_view.h"
#include "framework/panes/pane_hooks.h"
#include "framework/widgets/chat_lines.h"

namespace hqlv::framework {

class CChatRichEdit;
class CSkinButton;
class CFacePickerWnd;

inline constexpr uint32_t kMsgChatClear = 0x85B3;
inline constexpr uint32_t kMsgChatAppend = 0x85B5;
inline constexpr uint32_t kMsgChatInputText = 0x85B6;
inline constexpr uint32_t kMsgChatLink = 0x85B8;
inline constexpr uint32_t kChatFloodMs = 2000;
inline constexpr int kChatSizeCap = 300;
inline constexpr int kChatNoticeSizeCap = 3000;

class CGameChatView : public CGameFormView, public CChatViewHooks {
public:
    explicit CGameChatView(QWidget* parent = nullptr);
    ~CGameChatView() override;

    // ---- the lines (virtual: a game's chat pane overrides what it needs)
    virtual void ShowOwnChat();
    virtual void SendChat();
    virtual void ShowOwnFace(int face);
    // A notice from the platform's web server: large text and links allowed.
    void ShowText(const std::string& utf8Markup) override;
    // The player list puts "name," here for the player to go on typing.
    void SetInputText(const std::string& utf8) override;
    virtual void ShowLookerOnEnter(const PlayerRecord& r);
    virtual void OnLinkClicked(const std::string& shownText);

    // ---- CChatViewHooks
    void ShowSystemLine(Body b) override;
    void ShowCall(Body b) override;
    void ShowPlayerChat(Body b) override;
    void ShowTableLeave(const PlayerRecord& r) override;
    void ShowTableEnter(const PlayerRecord& r) override;
    void ShowLookerOnLeave(const PlayerRecord& r) override;
    void ShowRandomTable(Body b) override;
    void ShowMessageLine(Body b) override;
    void ShowSilverNotice(Body b) override;
    void ShowNewClothes(Body b) override;
    void ShowMembership(Body b) override;
    void ShowTableChanged(Body b) override;
    void ShowAmuletNotice(Body b) override;
    void OnSeatNamesChanged() override {}
    void ShowLotteryInfo(Body b) override;
    void ShowLotteryInfo2(Body b) override;
    void ShowLotteryResult(Body b) override;
    void ShowBroadcast(Body b) override;
    void ShowPrizeNotice(Body b) override;
    void ShowGameResult(Body b) override;
    void OnPlayerJoined(const PlayerRecord& r) override { ShowLookerOnEnter(r); }
    void AppendMarkup(const std::string& utf8Markup) override;

    // ---- settings
    void SetTextSizeCap(int cap);
    void SetFaceButtonImage(const QImage& image);
    // The face button shows the program's picture `id`. A picture that is missing or cannot
    // be read (logged) leaves the button's picture as it was; answers whether it was shown.
    bool SetFaceButtonIcon(int id);
    void SetFaceFolder(const std::string& folder);
    void AddInputHistory(const std::string& path);
    void SetLinkMode(bool on);
    void ShowFaceButton(bool on);
    void OnFaceButton();

    // ---- parts (tests and derived panes)
    CChatRichEdit* display() const { return display_; }
    QComboBox* inputBox() const { return input_; }
    CSkinButton* faceButton() const { return faceButton_; }
    CFacePickerWnd* facePicker() const { return picker_; }
    ChatLineContext LineContext() const;

protected:
    intptr_t handleMessage(const platform::Message& msg) override;
    void OnGameEntered() override;
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void LayOut();
    // The flood rule: true (and the time kept) when a send may go now.
    bool MaySend();
    // Lines the application routes to whichever chat pane the frame names.
    void SendThroughApp(const std::string& line);

private:
    CChatRichEdit* display_ = nullptr;
    QComboBox* input_ = nullptr;
    CSkinButton* faceButton_ = nullptr;
    CFacePickerWnd* picker_ = nullptr;
    bool faceButtonShown_ = true;
    bool sentOnce_ = false;
    uint32_t lastSend_ = 0;
    std::string faceFolder_;
};

}  // namespace hqlv::framework
