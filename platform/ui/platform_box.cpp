#include "platform/ui/platform_box.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "platform/core/diag.h"

namespace hqlv::platform::ui {

bool IsHeadless() {
    QString name = QGuiApplication::platformName();
    return name == "offscreen" || name == "minimal";
}

int PlatformMessageBox(const std::string& text, const std::string& title,
                       PlatformBoxButtons buttons, PlatformBoxIcon icon) {
    return PlatformMessageBox(nullptr, text, title, buttons, icon);
}

int PlatformMessageBox(QWidget* owner, const std::string& text, const std::string& title,
                       PlatformBoxButtons buttons, PlatformBoxIcon icon) {
    if (owner)
        diagf("message box over %s: %s", owner->objectName().toStdString().c_str(), text.c_str());
    else
        diagf("message box: %s", text.c_str());
    if (!QGuiApplication::instance() || IsHeadless())
        return buttons == kBoxYesNo ? kAnswerNo : kAnswerOk;
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    box.setIcon(icon == PlatformBoxIcon::kStop       ? QMessageBox::Critical
                : icon == PlatformBoxIcon::kQuestion ? QMessageBox::Question
                                                     : QMessageBox::Information);
    if (buttons == kBoxYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return kAnswerOk;
}

}  // namespace hqlv::platform::ui
