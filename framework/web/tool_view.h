#pragma once
// The narrow tool pane: one button opens the safe box, the other drops the menu of the
// six fixed amounts; choosing one brings the silver in hand to it through the box.
#include <array>
#include <cstdint>
#include <memory>

#include "framework/panes/form_view.h"
#include "framework/web/safebox_dialogs.h"

namespace hqlv::framework {
class COwnerDrawMenu;
class CSkinButton;
}  // namespace hqlv::framework

namespace hqlv::framework::web {

class CGameToolView : public CGameFormView, public CToolViewHooks {
public:
    explicit CGameToolView(SafeBoxOps& ops = AppSafeBoxOps(), QWidget* parent = nullptr);
    ~CGameToolView() override;

    // Buttons (ids 1 and 2) with their pictures 165 and 166 and the pane's font. Done when
    // the pane first shows, whoever made it; once.
    void OnInitialUpdate();
    virtual void ApplySkin() {}
    CSkinButton* button(int id) const { return id == 1 ? open_ : id == 2 ? fix_ : nullptr; }

    void LoadFixAmounts();
    const std::array<int32_t, 6>& amounts() const { return amounts_; }
    FixOutcome ApplyFixAmount(int32_t target) override;

    void OnOpenSafeBox();
    // The menu of amounts (commands 222-227, 228 the settings), fresh from the file.
    std::unique_ptr<COwnerDrawMenu> BuildFixMenu();
    void OnFixMenu();
    void OnFixCommand(int id);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    SafeBoxOps& ops_;
    CSkinButton* open_ = nullptr;
    CSkinButton* fix_ = nullptr;
    std::array<int32_t, 6> amounts_ = kFixDefaults;
};

// Pictures 165 (safe box) and 166 (fixed amounts) as drawn at the buttons' own sizes when the
// program's own files are missing.
QImage ToolButtonImage(int id);

}  // namespace hqlv::framework::web
