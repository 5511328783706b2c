#pragma once
// Menus whose items are all drawn by the program: each item carries a record with its
// text (UTF-16), flags, command and optional icon. Items are measured and painted in a
// classic three-dimensional look or a flat look with an icon strip, chosen from the
// palette (button colour against window colour). A label with a tab shows the part after
// the tab right-aligned as an accelerator column. The menus the program shows (129 tool
// amounts, 130 player list, 131 skins) are tables in code.
#include <QMenu>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/widgets/command_message.h"
#include "platform/core/message.h"

namespace hqlv::framework {

// Menu flags as the menu tables and callers give them.
enum MenuFlag : uint32_t {
    kMfByCommand = 0x0000,
    kMfGrayed = 0x0001,
    kMfDisabled = 0x0002,
    kMfChecked = 0x0008,
    kMfPopup = 0x0010,
    kMfEnd = 0x0080,
    kMfOwnerDraw = 0x0100,
    kMfByPosition = 0x0400,
    kMfSeparator = 0x0800,
};

struct MenuTemplateItem {
    uint32_t flags = 0;                      // kMfPopup, kMfEnd, kMfSeparator, kMfGrayed ...
    int id = 0;                              // 0 with kMfSeparator
    std::string text;                        // UTF-8
    std::vector<MenuTemplateItem> children;  // a pop-up's items
};
using MenuTemplate = std::vector<MenuTemplateItem>;

// The program's menus by id (129, 130, 131); null for any other id.
const MenuTemplate* FindMenuTemplate(int id);
// A menu resource by name: "#" and a decimal number names the menu of that id; any other
// name one registered under it (letter case aside). Nothing when there is none.
std::optional<MenuTemplate> FindMenuTemplate(const std::string& name);
// Registers (or, with an empty menu, removes) a menu resource under a name. The program
// names none of its own; whoever has named menus (a game, a test) registers them.
void RegisterMenuResource(const std::string& name, MenuTemplate menu);

// A toolbar resource: its picture holds the button images side by side (each
// buttonWidth x buttonHeight, light grey 0xC0C0C0 their background) and `commands` names
// each button's command, 0 for a separator, which has no image. The program carries none;
// whoever has toolbars (a game, a test) registers them by id.
struct ToolBarResource {
    QImage picture;
    int buttonWidth = 16, buttonHeight = 15;
    std::vector<int> commands;
};
// Registers (or, with a null picture, removes) a toolbar resource.
void RegisterToolBarResource(int id, ToolBarResource toolbar);
// The image number of a command's button on the toolbar with that id; -1 when there is no
// such toolbar or the command has no button on it.
int GetToolBarImage(int toolbarId, int command);
// The image of that button with its background made transparent; null when none.
QImage ToolBarButtonImage(int toolbarId, int command);

struct COwnerDrawMenuItem {
    COwnerDrawMenuItem();
    ~COwnerDrawMenuItem();
    COwnerDrawMenuItem(const COwnerDrawMenuItem&) = delete;
    COwnerDrawMenuItem& operator=(const COwnerDrawMenuItem&) = delete;

    std::u16string text;
    int iconOffset = -1;  // 0 with an icon
    int iconIndex = -1;
    uint32_t flags = 0;
    int commandId = 0;
    QImage icon;  // the item's one-image list
    int stripMargin = 4;
    int stripGap = 4;

    // Records alive in the process (every record is freed with its menu).
    static int LiveCount();
};

enum class MenuLook { kClassic, kFlat };

class COwnerDrawMenu : public QMenu {
    Q_OBJECT
public:
    explicit COwnerDrawMenu(QWidget* parent = nullptr);
    ~COwnerDrawMenu() override;

    bool LoadMenuId(int id);
    // By resource name (FindMenuTemplate); false when there is no such menu.
    bool LoadMenu(const std::string& name);
    bool LoadMenuTemplate(const MenuTemplate& items);

    // A command of 0 makes a separator; a pop-up gives its submenu (owned from now on).
    // An icon index of 0 or more names the toolbar resource whose button for the command
    // becomes the item's icon.
    void AppendItem(const std::string& text, uint32_t flags, int id, int iconIndex = -1,
                    std::unique_ptr<COwnerDrawMenu> submenu = nullptr);
    // By position (kMfByPosition) or before the item of a command, also in submenus.
    bool InsertItem(int idOrPos, uint32_t flags, int id, const std::string& text,
                    int iconIndex = -1);
    // Every item of the command (here and in submenus) gets the text and the image (a
    // null image drops the icon); false, and nothing changed, when no item has it.
    bool ModifyItem(const std::string& text, int id, const QImage* image);
    bool SetItemText(int idOrPos, const std::string& text, uint32_t flags);
    bool RemoveItem(int idOrPos, uint32_t flags);
    bool EnableItem(int id, bool enabled);
    COwnerDrawMenu* GetSubMenu(int position) const;
    void SetDefaultItem(int id);
    // Pictures drawn instead of the tick for a checked item without an icon: the image at
    // `checked` while the item is not selected, at `selectedChecked` while it is; an index
    // outside the list keeps the tick. The list may be shared by several menus.
    void SetCheckMarkImages(std::shared_ptr<const std::vector<QImage>> images, int checked,
                            int selectedChecked);
    // The check-mark picture for a checked item, null when the tick is drawn.
    const QImage* CheckMarkImage(bool selected) const;
    int defaultItem() const { return default_; }
    // The menu (this or a submenu, depth first, in position order) holding the command
    // and its position; {nullptr, -1} when none.
    std::pair<COwnerDrawMenu*, int> FindItem(int id);
    // The same, skipping the (menu, position) places already found: the next place that
    // holds the command; {nullptr, -1} when there is no other.
    using Place = std::pair<COwnerDrawMenu*, int>;
    Place FindNextItem(int id, const std::vector<Place>& found);
    void DestroyMenu();
    // Pads each label part before a tab with blanks until all are as wide as the widest.
    void AlignAccelerators();

    int itemCount() const { return int(records_.size()); }
    const COwnerDrawMenuItem* record(int position) const;
    QAction* actionAt(int position) const;
    QAction* actionOf(int id);

    // Non-blocking: the chosen command is posted to the owner as kMsgCommand.
    void TrackPopup(const QPoint& global, platform::Handle owner);
    // Blocking: the chosen command, 0 when none.
    int TrackPopupReturnCmd(const QPoint& global);

    // The height of a menu bar in the menu's font; separators take half of it.
    int MenuBarHeight() const;
    // The measured size of an item as the menu lays it out.
    QSize MeasureItem(const COwnerDrawMenuItem& item) const;
    MenuLook Look() const;

    // Every submenu made by any owner-drawn menu and still alive.
    static int LiveSubmenus();

private:
    void syncAction(QAction* a, const COwnerDrawMenuItem& r) const;
    QAction* makeAction(COwnerDrawMenuItem& r, COwnerDrawMenu* sub);
    int positionOfCommand(int id) const;

    std::vector<std::unique_ptr<COwnerDrawMenuItem>> records_;
    std::vector<std::unique_ptr<COwnerDrawMenu>> submenus_;
    int default_ = 0;
    platform::Handle owner_ = 0;
    std::shared_ptr<const std::vector<QImage>> checkMarks_;
    int checkIndex_ = -1, selectedCheckIndex_ = -1;
};

// Lightens each channel toward white by f (0..1); other factors leave the colour.
uint32_t LightenColor(uint32_t colour, double f);

// The operating-system class of the menus' drawing: on the consumer line 1 from major
// version 4 on, else 0; on the NT line 3 from major version 4 on, else 2 (2 also when the
// version query fails). Class 0 has no wide-text measuring.
int OsClassOf(bool consumerLine, bool versionKnown, uint32_t major);
// The class of the running system, found once (the NT line: the kernel's release).
int GetOsClass();
// Classes 1 and 3: the menus take the 3-D face colour and frame checked icons.
bool IsNewShell();
// Colour A of the menus: the 3-D face colour on a new shell, else the menu colour.
QColor MenuColourA(const QPalette& palette);

}  // namespace hqlv::framework
