#pragma once
// The popup that names another player who asks to see this client's tiles, with his
// portrait and the answers "同意" and "拒绝". It slides up above the main window's
// bottom-right corner and tells the player list the answer by a posted message; one
// answer per popup, none when it sinks unanswered.
#include <QImage>

#include "framework/widgets/slide_popup.h"
#include "platform/core/message.h"

class QLabel;

namespace hqlv::framework {

class CGameApp;
class CHyperLinkStatic;

class CGamePlayerInfoDlg : public CPopupNotifyDlg {
public:
    static constexpr int kTemplate = 148;
    static constexpr int kIdPicture = 1016, kIdName = 1015, kIdAgree = 1017, kIdRefuse = 1018;

    CGamePlayerInfoDlg(CGameApp& app, platform::Handle parent, int userId);

    // Makes, places and shows a new popup for the user (each call one more popup).
    static CGamePlayerInfoDlg* Show(CGameApp& app, platform::Handle parent, int userId);
    // The popup's background picture (bitmap resource 162, loaded when the popup is made),
    // also shown when the player's portrait file is missing; null when the program lacks it.
    const QImage& background() const { return background_; }

    void OnCommand(int id);
    bool answered() const { return answered_; }
    CHyperLinkStatic* nameLink() const { return name_; }
    CHyperLinkStatic* agreeLink() const { return agree_; }
    CHyperLinkStatic* refuseLink() const { return refuse_; }
    QLabel* picture() const { return picture_; }

protected:
    void OnInitDialog() override;

private:
    CGameApp& app_;
    platform::Handle parent_;
    int userId_;
    bool answered_ = false;
    QImage background_;
    QLabel* picture_ = nullptr;
    CHyperLinkStatic* name_ = nullptr;
    CHyperLinkStatic* agree_ = nullptr;
    CHyperLinkStatic* refuse_ = nullptr;
};

}  // namespace hqlv::framework
