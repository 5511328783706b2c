#pragma once
// CExitAnswerDlg: the slide-up popup that tells of another player's request to leave the
// running game, with the reason, and lets the player agree or refuse. The answer goes to
// the owner (the player list pane) as message 0x8D20.
#include <QImage>

#include <string>

#include "framework/widgets/slide_popup.h"

class QLabel;
class QLineEdit;

namespace hqlv::framework {
class CHyperLinkStatic;
}

namespace hqlv::mahjong {

inline constexpr uint32_t kExitAnswerBack = 0x808000;
inline constexpr int kDefaultFaceBitmap = 162;

class CExitAnswerDlg : public framework::CPopupNotifyDlg {
public:
    // owner: where the answer is posted; reason: UTF-8, already read within its 64 bytes.
    CExitAnswerDlg(platform::Handle owner, int requesterUserId, std::string reason,
                   QWidget* parent = nullptr);

    void OnAgree();
    void OnRefuse();
    // The face of the requester, or the default face.
    static QImage LoadFace(int faceNumber);

    QLineEdit* reasonEdit() const { return reasonEdit_; }
    framework::CHyperLinkStatic* nameLink() const { return name_; }
    const QImage& face() const { return face_; }

protected:
    void OnInitDialog() override;

private:
    void Answer(int agree);

    platform::Handle owner_;
    int requester_;
    std::string reason_;
    QImage face_;
    QLabel* faceLabel_ = nullptr;
    QLineEdit* reasonEdit_ = nullptr;
    framework::CHyperLinkStatic* name_ = nullptr;
    framework::CHyperLinkStatic* refuse_ = nullptr;
    framework::CHyperLinkStatic* agree_ = nullptr;
};

}  // namespace hqlv::mahjong
