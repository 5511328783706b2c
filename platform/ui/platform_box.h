#pragma once
// The platform's own message box, for the failures at start-up that come before the
// program's windows exist. Without a display (offscreen) it answers at once with the
// default button and only writes the text to the diagnostics.
#include <string>

class QWidget;

namespace hqlv::platform::ui {

enum class PlatformBoxIcon { kInformation, kStop, kQuestion };
enum PlatformBoxButtons { kBoxOk, kBoxYesNo };
enum PlatformBoxAnswer { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

// Shows a modal box and returns the answer; headless: the default (Ok, or No for a
// question) at once.
int PlatformMessageBox(const std::string& text, const std::string& title,
                       PlatformBoxButtons buttons, PlatformBoxIcon icon);
// The same box owned by a window of the program: it stays above that window and is
// centred on it; null gives the box above. The diagnostics name the owner.
int PlatformMessageBox(QWidget* owner, const std::string& text, const std::string& title,
                       PlatformBoxButtons buttons, PlatformBoxIcon icon);

// True when there is no real display (Qt's offscreen or minimal platform).
bool IsHeadless();

}  // namespace hqlv::platform::ui
