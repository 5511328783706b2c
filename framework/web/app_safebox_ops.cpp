// The safe-box flows' view of the running application.
#include <QMessageBox>
#include <QThread>
#include <QWidget>

#include "framework/app/game_app.h"
#include "framework/app/paths.h"
#include "framework/app/shared_utils.h"
#include "framework/web/safebox_dialogs.h"
#include "netlib/log.h"
#include "platform/core/files.h"
#include "platform/core/profile.h"
#include "platform/ui/cursor.h"

namespace hqlv::framework::web {
namespace {

class AppOps : public SafeBoxOps {
public:
    static CGameApp* App() { return CGameApp::Current(); }
    int UserId() override { return App() ? App()->GetUserID() : 0; }
    int32_t SeatSilver() override {
        return App() ? App()->seat(App()->GetChairNo()).word(PlayerRecord::kSilver) : 0;
    }
    std::string TitleText() override { return App() ? App()->GetTitleText() : std::string(); }
    CGameConnection* Conn() { return App() ? App()->GetConnection() : nullptr; }
    int OpenSafeBox(std::string& text, uint8_t out[32]) override {
        return Conn() ? Conn()->OpenSafeBox(text, out) : 0;
    }
    int QueryProtection(std::string& text, uint8_t out[24], int* code) override {
        return Conn() ? Conn()->QueryProtection(text, out, code) : 0;
    }
    int TakeSilver(std::string& text, int amount, int response) override {
        return Conn() ? Conn()->TakeSilver(text, amount, response) : 0;
    }
    int SaveSilver(std::string& text, int& amount, int* code) override {
        return Conn() ? Conn()->SaveSilver(text, amount, code) : 0;
    }
    void ShowWait(const std::string& text, bool show) override {
        if (App()) App()->ShowCommWait(text, show);
    }
    void Pause(int ms) override {
        if (App())
            App()->PumpFor(ms);
        else
            QThread::msleep(ulong(ms));
    }
    bool Box(const std::string& text, const std::string& caption, bool question) override {
        QMessageBox box(question ? QMessageBox::Question : QMessageBox::Information,
                        QString::fromStdString(caption), QString::fromStdString(text),
                        question ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok;
    }
    bool AskChallenge(int32_t challenge, int32_t& response) override {
        if (HasDialogTemplate(175)) {
            CSoftKeypadDlg dlg;
            dlg.SetChallenge(challenge);
            if (dlg.exec() != QDialog::Accepted) return false;
            response = dlg.GetResponse();
            return true;
        }
        if (!HasDialogTemplate(174)) return false;
        CVerifyCodeDlg dlg(*this);
        dlg.SetChallenge(challenge);
        if (dlg.exec() != QDialog::Accepted) return false;
        response = dlg.GetResponse();
        return true;
    }
    std::string ReadSetting(const std::string& file, const std::string& section,
                            const std::string& key) override {
        return platform::profileString(section, key, "", file);
    }
    void WriteSetting(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) override {
        // The user's data file sits in a folder of its own ("users/") that nobody else
        // makes: without it the amounts typed would be lost without a word.
        const size_t slash = file.rfind('/');
        if (slash != std::string::npos) platform::makeFolders(file.substr(0, slash + 1));
        if (!platform::writeProfileString(section.c_str(), key.c_str(), value.c_str(), file))
            netlib::YrnLogWrite("cannot write %s/%s to %s", section.c_str(), key.c_str(),
                                file.c_str());
    }
    std::string GameIniFile() override { return App() ? App()->GetGameIniPath() : std::string(); }
    std::string UserFile() override { return GetUserDataFile(UserId()); }
    std::string CofferUrl() override { return App() ? App()->GetCofferUrl() : std::string(); }
    std::string HostListFile() override { return GetAdvertDomainFile(); }
    void OpenSecurityPage() override {
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
        PlayShareSound("common", "hit.wav", 17);
        platform::ui::WaitCursor wait;
        if (App()) App()->SendTextToHall(kSecurityPageUrl, 1);
    }
};

}  // namespace

SafeBoxOps& AppSafeBoxOps() {
    static AppOps ops;
    return ops;
}

}  // namespace hqlv::framework::web
