#include "framework/widgets/owner_draw_menu.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <set>

#include "netlib/util.h"
#include "platform/core/message.h"

namespace hqlv::framework {
namespace {

constexpr int kIconW = 16, kIconH = 15;
constexpr uint32_t kDisabledText = 0x808080;  // 0x00BBGGRR
constexpr QRgb kIconBackground = 0xFFC0C0C0;  // the toolbar pictures' background

std::atomic<int> g_records{0};
std::set<const COwnerDrawMenu*>& Submenus() {
    static std::set<const COwnerDrawMenu*> s;
    return s;
}

QColor Qc(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}
uint32_t Rgb(const QColor& c) {
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

MenuTemplateItem Leaf(uint32_t flags, int id, const char* text) {
    MenuTemplateItem item;
    item.flags = flags;
    item.id = id;
    item.text = text;
    return item;
}

MenuTemplateItem Popup(const char* text, std::vector<MenuTemplateItem> children) {
    MenuTemplateItem item = Leaf(kMfPopup | kMfEnd, 0, text);
    children.back().flags |= kMfEnd;
    item.children = std::move(children);
    return item;
}

MenuTemplate MakeTables(int id) {
    const MenuTemplateItem sep = Leaf(kMfSeparator, 0, "");
    switch (id) {
        case 129:  // the tool view's fixed amounts (texts set when shown), then settings
            return {Popup("amounts", {Leaf(0, 222, "0"), Leaf(0, 223, "1"), Leaf(0, 224, "2"),
                                      Leaf(0, 225, "3"), Leaf(0, 226, "4"), Leaf(0, 227, "5"), sep,
                                      Leaf(0, 228, "设置...")})};
        case 130:  // the player list's row menu
            return {Popup("player",
                          {Leaf(0, 1900, "hello"), sep, Leaf(0, 1901, "详细信息"), sep,
                           Leaf(0, 1902, "级别"), Leaf(0, 1903, "积分"), Leaf(0, 1904, "银子"), sep,
                           Leaf(0, 1906, "允许看牌"), sep, Leaf(0, 1905, "呼叫玩家")})};
        case 131:  // the skin menu
            return {Popup("skin", {Leaf(0, 32781, "更多皮肤...")})};
        default:
            return {};
    }
}

// Paints and measures the items of owner-drawn menus; everything else as the base style.
class OwnerDrawStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric m, const QStyleOption* o, const QWidget* w) const override {
        switch (m) {
            case PM_MenuPanelWidth:
                return 1;
            case PM_MenuHMargin:
            case PM_MenuVMargin:
                return 1;
            case PM_SmallIconSize:
                return kIconW;
            default:
                return QProxyStyle::pixelMetric(m, o, w);
        }
    }

    int styleHint(StyleHint h, const QStyleOption* o, const QWidget* w,
                  QStyleHintReturn* r) const override {
        // A disabled item under the pointer becomes the menu's current item like any other:
        // the classic look draws it selected (the flat look never does), and the item the
        // pointer left loses its bar. Without the hint the menu would have no current item
        // there, and the bar would vanish from under the pointer.
        if (h == SH_Menu_AllowActiveAndDisabled) return 1;
        return QProxyStyle::styleHint(h, o, w, r);
    }

    QSize sizeFromContents(ContentsType t, const QStyleOption* o, const QSize& s,
                           const QWidget* w) const override {
        auto* menu = qobject_cast<const COwnerDrawMenu*>(w);
        auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(o);
        if (t != CT_MenuItem || !menu || !mi) return QProxyStyle::sizeFromContents(t, o, s, w);
        COwnerDrawMenuItem probe;
        probe.flags =
            mi->menuItemType == QStyleOptionMenuItem::Separator ? uint32_t(kMfSeparator) : 0u;
        probe.text = mi->text.toStdU16String();
        return menu->MeasureItem(probe);
    }

    void drawPrimitive(PrimitiveElement pe, const QStyleOption* o, QPainter* p,
                       const QWidget* w) const override {
        if (pe == PE_FrameMenu && qobject_cast<const COwnerDrawMenu*>(w)) {
            p->setPen(o->palette.color(QPalette::Dark));
            p->drawRect(o->rect.adjusted(0, 0, -1, -1));
            return;
        }
        if (pe == PE_PanelMenu && qobject_cast<const COwnerDrawMenu*>(w)) {
            p->fillRect(o->rect, o->palette.color(QPalette::Window));
            return;
        }
        QProxyStyle::drawPrimitive(pe, o, p, w);
    }

    void drawControl(ControlElement ce, const QStyleOption* o, QPainter* p,
                     const QWidget* w) const override {
        auto* menu = qobject_cast<const COwnerDrawMenu*>(w);
        auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(o);
        if (ce == CE_MenuEmptyArea && menu) {
            p->fillRect(o->rect, o->palette.color(QPalette::Window));
            return;
        }
        if (ce != CE_MenuItem || !menu || !mi) return QProxyStyle::drawControl(ce, o, p, w);
        // The item is drawn straight through the menu's painter, not into an off-screen
        // picture copied over the item afterwards: Qt paints the menu into its window's
        // backing store and shows it finished, so no half-drawn item ever flickers.
        p->save();
        if (menu->Look() == MenuLook::kFlat)
            drawFlat(*menu, *mi, p);
        else
            drawClassic(*menu, *mi, p);
        p->restore();
    }

private:
    static QFont ItemFont(const QStyleOptionMenuItem& mi) {
        QFont f = mi.font;
        if (mi.menuItemType == QStyleOptionMenuItem::DefaultItem) f.setWeight(QFont::Bold);
        return f;
    }

    static void DrawText(const QStyleOptionMenuItem& mi, QPainter* p, const QColor& colour,
                         QPoint offset = {}) {
        QRect r(mi.rect.left() + kIconW + 9, mi.rect.top() + 1, mi.rect.width() - kIconW - 9,
                mi.rect.height() - 2);
        r.translate(offset);
        p->setFont(ItemFont(mi));
        p->setPen(colour);
        const int tab = int(mi.text.indexOf(QLatin1Char('\t')));
        if (tab < 0) {
            p->drawText(r, Qt::AlignVCenter | Qt::TextSingleLine, mi.text);
            return;
        }
        r.setRight(r.right() - kIconW);
        p->drawText(r, Qt::AlignVCenter | Qt::TextSingleLine, mi.text.left(tab));
        p->drawText(r, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                    mi.text.mid(tab + 1));
    }

    static QRect IconFrame(const QStyleOptionMenuItem& mi) {
        const int dy = std::max(0, (mi.rect.height() - kIconH - 4) / 2);
        return QRect(QPoint(mi.rect.left() + 1, mi.rect.top() + dy + 1),
                     QPoint(mi.rect.left() + kIconW + 3, mi.rect.top() + dy + kIconH + 3));
    }

    // The menu's check-mark picture where it has one, else the radio dot or the tick.
    static void DrawTick(const COwnerDrawMenu& menu, const QStyleOptionMenuItem& mi, QPainter* p,
                         const QColor& colour, bool exclusive, bool selected) {
        const QRect f = IconFrame(mi);
        if (const QImage* mark = menu.CheckMarkImage(selected)) {
            p->drawImage(f.left() + 1, f.top() + 1, *mark);
            return;
        }
        p->setPen(colour);
        if (exclusive) {
            p->setBrush(colour);
            p->drawEllipse(QRect(f.left() + 5, f.top() + 4, 6, 6));
            return;
        }
        static const int rows[7] = {2, 3, 4, 3, 2, 1, 0};
        for (int i = 0; i < 7; ++i)
            p->drawLine(f.left() + 4 + i, f.top() + 4 + rows[i], f.left() + 4 + i,
                        f.top() + 4 + rows[i] + 2);
    }

    static void DrawIcon(const QStyleOptionMenuItem& mi, QPainter* p, bool enabled) {
        const QRect f = IconFrame(mi);
        // The item's picture at its own size: a 16 x 16 portrait asked for at the menu's
        // 16 x 15 would come back scaled down to 15 x 15.
        const QList<QSize> sizes = mi.icon.availableSizes();
        const QPixmap pm =
            mi.icon.pixmap(sizes.isEmpty() ? QSize(kIconW, kIconH) : sizes.first(), 1.0);
        if (!enabled) {
            // Embossed: the mask light one pixel down and right, then dark in place.
            QImage mask = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            for (auto [colour, shift] : {std::pair{mi.palette.color(QPalette::Light), 1},
                                         std::pair{mi.palette.color(QPalette::Dark), 0}}) {
                QImage m = mask;
                QPainter mp(&m);
                mp.setCompositionMode(QPainter::CompositionMode_SourceIn);
                mp.fillRect(m.rect(), colour);
                mp.end();
                p->drawImage(f.left() + 1 + shift, f.top() + 1 + shift, m);
            }
            return;
        }
        p->drawPixmap(f.left() + 1, f.top() + 1, pm);
    }

    void drawClassic(const COwnerDrawMenu& menu, const QStyleOptionMenuItem& mi,
                     QPainter* p) const {
        const QPalette& pal = mi.palette;
        const QColor background = MenuColourA(pal);
        const QRect r = mi.rect;
        if (mi.menuItemType == QStyleOptionMenuItem::Separator) {
            p->fillRect(r, background);
            const int y = r.top() + r.height() / 2;
            p->setPen(pal.color(QPalette::Dark));
            p->drawLine(r.left(), y, r.right(), y);
            p->setPen(pal.color(QPalette::Light));
            p->drawLine(r.left(), y + 1, r.right(), y + 1);
            return;
        }
        const bool enabled = mi.state & QStyle::State_Enabled;
        const bool selected = mi.state & QStyle::State_Selected;
        const bool checked = mi.checked;
        const bool hasIcon = !mi.icon.isNull();
        QColor text = pal.color(QPalette::Text);
        if (selected) {
            QRect fill = r;
            if (hasIcon || checked) fill.setLeft(r.left() + kIconW + 5);
            p->fillRect(r, background);
            // The highlight is one colour for every item: Qt hands a disabled item its
            // palette's disabled group, whose greyed highlight would set it apart.
            p->fillRect(fill, pal.color(QPalette::Active, QPalette::Highlight));
            text = pal.color(QPalette::Active, QPalette::HighlightedText);
        } else {
            p->fillRect(r, background);
        }
        const QRect f = IconFrame(mi);
        if (hasIcon) {
            if (checked && !selected) p->fillRect(f, pal.color(QPalette::Midlight));
            if ((selected && enabled) || checked) {
                const bool sunken = checked;
                p->setPen(pal.color(sunken ? QPalette::Dark : QPalette::Light));
                p->drawLine(f.topLeft(), f.topRight());
                p->drawLine(f.topLeft(), f.bottomLeft());
                p->setPen(pal.color(sunken ? QPalette::Light : QPalette::Dark));
                p->drawLine(f.bottomLeft(), f.bottomRight());
                p->drawLine(f.topRight(), f.bottomRight());
            }
            DrawIcon(mi, p, enabled);
        } else if (checked) {
            p->fillRect(f, selected ? pal.color(QPalette::Window) : pal.color(QPalette::Midlight));
            DrawTick(menu, mi, p, pal.color(QPalette::Text),
                     mi.checkType == QStyleOptionMenuItem::Exclusive, selected);
        }
        if (!enabled && !selected) {
            DrawText(mi, p, pal.color(QPalette::Light), {1, 1});
            DrawText(mi, p, Qc(kDisabledText));
        } else {
            DrawText(mi, p, text);
        }
    }

    void drawFlat(const COwnerDrawMenu& menu, const QStyleOptionMenuItem& mi, QPainter* p) const {
        const QPalette& pal = mi.palette;
        const QColor a = MenuColourA(pal), b = pal.color(QPalette::Window);
        const uint32_t hi = Rgb(pal.color(QPalette::Highlight));
        QColor background, strip, selection;
        if (a != b) {
            background = b;
            strip = a;
            selection = Qc(LightenColor(hi, 0.7));
        } else {
            background = Qt::white;
            strip = Qc(LightenColor(Rgb(a), 0.35));
            selection = Qc(LightenColor(hi, 0.85));
        }
        const QRect r = mi.rect;
        const QRect stripRect(r.left(), r.top(), kIconW + 5, r.height());
        p->fillRect(r, background);
        p->fillRect(stripRect, strip);
        if (mi.menuItemType == QStyleOptionMenuItem::Separator) {
            const int y = r.top() + r.height() / 2;
            p->setPen(pal.color(QPalette::Dark));
            p->drawLine(stripRect.right() + 1, y, r.right(), y);
            p->setPen(pal.color(QPalette::Light));
            p->drawLine(stripRect.right() + 1, y + 1, r.right(), y + 1);
            return;
        }
        const bool enabled = mi.state & QStyle::State_Enabled;
        const bool selected = enabled && (mi.state & QStyle::State_Selected);
        const bool hasIcon = !mi.icon.isNull();
        if (selected) {
            QRect fill = r;
            if (hasIcon) fill.setLeft(stripRect.right() + 1);
            p->fillRect(fill, selection);
            p->setPen(Qc(hi));
            p->setBrush(Qt::NoBrush);
            p->drawRect(fill.adjusted(0, 0, -1, -1));
        }
        if (hasIcon) {
            DrawIcon(mi, p, enabled);
        } else if (mi.checked) {
            const QRect f = IconFrame(mi);
            p->fillRect(f, Qc(LightenColor(hi, 0.85)));
            p->setPen(Qc(hi));
            p->drawRect(f.adjusted(0, 0, -1, -1));
            DrawTick(menu, mi, p, pal.color(QPalette::Text),
                     mi.checkType == QStyleOptionMenuItem::Exclusive, selected);
        }
        DrawText(mi, p,
                 enabled ? pal.color(QPalette::Text) : Qc(LightenColor(kDisabledText, 0.55)));
    }
};

OwnerDrawStyle* Style() {
    // One style for every owner-drawn menu of the process; it lives as long as it.
    static OwnerDrawStyle* style = new OwnerDrawStyle;
    return style;
}

}  // namespace

uint32_t LightenColor(uint32_t colour, double f) {
    if (!(f >= 0.0 && f <= 1.0)) return colour;
    uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const int c = int((colour >> shift) & 0xFF);
        out |= uint32_t(int(c + (255 - c) * f)) << shift;
    }
    return out;
}

namespace {
std::mutex g_toolbarsMutex;
std::map<int, ToolBarResource>& ToolBars() {
    static std::map<int, ToolBarResource> toolbars;
    return toolbars;
}
}  // namespace

void RegisterToolBarResource(int id, ToolBarResource toolbar) {
    std::lock_guard lock(g_toolbarsMutex);
    if (toolbar.picture.isNull())
        ToolBars().erase(id);
    else
        ToolBars()[id] = std::move(toolbar);
}

int GetToolBarImage(int toolbarId, int command) {
    std::lock_guard lock(g_toolbarsMutex);
    auto it = ToolBars().find(toolbarId);
    if (it == ToolBars().end() || command == 0) return -1;
    int image = 0;
    for (int c : it->second.commands) {
        if (c == 0) continue;  // a separator has no image
        if (c == command) return image;
        ++image;
    }
    return -1;
}

QImage ToolBarButtonImage(int toolbarId, int command) {
    const int n = GetToolBarImage(toolbarId, command);
    if (n < 0) return {};
    ToolBarResource tb;
    {
        std::lock_guard lock(g_toolbarsMutex);
        tb = ToolBars()[toolbarId];
    }
    const QRect cell(n * tb.buttonWidth, 0, tb.buttonWidth, tb.buttonHeight);
    if (tb.buttonWidth <= 0 || tb.buttonHeight <= 0 || !tb.picture.rect().contains(cell)) return {};
    // Into a colour-and-mask picture of the icon size: the grey background is the mask.
    QImage icon = tb.picture.copy(cell).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < icon.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(icon.scanLine(y));
        for (int x = 0; x < icon.width(); ++x)
            if ((row[x] & 0xFFFFFF) == (kIconBackground & 0xFFFFFF)) row[x] = 0;
    }
    return icon.copy(0, 0, std::min(kIconW, icon.width()), std::min(kIconH, icon.height()));
}

const MenuTemplate* FindMenuTemplate(int id) {
    static const std::map<int, MenuTemplate> tables = {
        {129, MakeTables(129)}, {130, MakeTables(130)}, {131, MakeTables(131)}};
    auto it = tables.find(id);
    return it == tables.end() ? nullptr : &it->second;
}

namespace {

std::mutex g_namedMenusMutex;
std::map<std::string, MenuTemplate>& NamedMenus() {
    static std::map<std::string, MenuTemplate> menus;
    return menus;
}

std::string ResourceNameKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return key;
}

}  // namespace

std::optional<MenuTemplate> FindMenuTemplate(const std::string& name) {
    if (name.size() > 1 && name[0] == '#' &&
        name.find_first_not_of("0123456789", 1) == std::string::npos && name.size() <= 10) {
        const MenuTemplate* t = FindMenuTemplate(std::stoi(name.substr(1)));
        if (t) return *t;
        return std::nullopt;
    }
    std::lock_guard lock(g_namedMenusMutex);
    auto it = NamedMenus().find(ResourceNameKey(name));
    if (it == NamedMenus().end()) return std::nullopt;
    return it->second;
}

void RegisterMenuResource(const std::string& name, MenuTemplate menu) {
    std::lock_guard lock(g_namedMenusMutex);
    if (menu.empty())
        NamedMenus().erase(ResourceNameKey(name));
    else
        NamedMenus()[ResourceNameKey(name)] = std::move(menu);
}

namespace {
// The item's icon from the toolbar resource named by the icon index: the image of the
// item's command there (none when the toolbar has no such button).
void SetToolBarIcon(COwnerDrawMenuItem& r, int toolbarId) {
    r.iconOffset = 0;
    r.iconIndex = GetToolBarImage(toolbarId, r.commandId);
    r.icon = ToolBarButtonImage(toolbarId, r.commandId);
}
}  // namespace

COwnerDrawMenuItem::COwnerDrawMenuItem() {
    ++g_records;
}
COwnerDrawMenuItem::~COwnerDrawMenuItem() {
    --g_records;
}
int COwnerDrawMenuItem::LiveCount() {
    return g_records.load();
}

COwnerDrawMenu::COwnerDrawMenu(QWidget* parent) : QMenu(parent) {
    setStyle(Style());
    QObject::connect(this, &QMenu::triggered, this, [this](QAction* a) {
        // Only the top menu posts: a submenu's choice reaches it too.
        if (!owner_ || !a) return;
        platform::Message m;
        m.id = kMsgCommand;
        m.w = uintptr_t(a->data().toInt());
        platform::post(owner_, m);
    });
}

COwnerDrawMenu::~COwnerDrawMenu() {
    DestroyMenu();
}

int COwnerDrawMenu::LiveSubmenus() {
    return int(Submenus().size());
}

bool COwnerDrawMenu::LoadMenuId(int id) {
    const MenuTemplate* t = FindMenuTemplate(id);
    return t && LoadMenuTemplate(*t);
}

bool COwnerDrawMenu::LoadMenu(const std::string& name) {
    const std::optional<MenuTemplate> t = FindMenuTemplate(name);
    return t && LoadMenuTemplate(*t);
}

bool COwnerDrawMenu::LoadMenuTemplate(const MenuTemplate& items) {
    for (const MenuTemplateItem& item : items) {
        const uint32_t flags = item.flags & ~uint32_t(kMfEnd);
        if (item.flags & kMfPopup) {
            auto sub = std::make_unique<COwnerDrawMenu>();
            sub->LoadMenuTemplate(item.children);
            AppendItem(item.text, flags, 0, -1, std::move(sub));
        } else {
            AppendItem(item.text, flags, (item.flags & kMfSeparator) ? 0 : item.id);
        }
    }
    AlignAccelerators();
    return true;
}

QSize COwnerDrawMenu::MeasureItem(const COwnerDrawMenuItem& item) const {
    const int bar = MenuBarHeight();
    if (item.flags & kMfSeparator) return QSize(1, bar / 2);
    QString text = QString::fromStdU16String(item.text);
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    const int width = QFontMetrics(font()).horizontalAdvance(text);
    return QSize(width + 2 * kIconW + 1, std::max(bar, kIconH + 4));
}

int COwnerDrawMenu::MenuBarHeight() const {
    return std::max(19, QFontMetrics(font()).height() + 6);
}

MenuLook COwnerDrawMenu::Look() const {
    return MenuColourA(palette()) != palette().color(QPalette::Window) ? MenuLook::kFlat
                                                                       : MenuLook::kClassic;
}

int OsClassOf(bool consumerLine, bool versionKnown, uint32_t major) {
    if (consumerLine) return major >= 4 ? 1 : 0;
    if (!versionKnown) return 2;
    return major >= 4 ? 3 : 2;
}

int GetOsClass() {
    static const int osClass = [] {
        netlib::YrnVersionRecord v;
        const bool known = netlib::YrnRtlGetVersion(v) == 1;
        return OsClassOf(v.platform == netlib::kPlatformWindows, known, v.major);
    }();
    return osClass;
}

bool IsNewShell() {
    const int c = GetOsClass();
    return c == 1 || c == 3;
}

QColor MenuColourA(const QPalette& palette) {
    return palette.color(IsNewShell() ? QPalette::Button : QPalette::Window);
}

void COwnerDrawMenu::syncAction(QAction* a, const COwnerDrawMenuItem& r) const {
    a->setText(QString::fromStdU16String(r.text));
    a->setData(r.commandId);
    a->setEnabled(!(r.flags & (kMfGrayed | kMfDisabled)));
    a->setCheckable(r.flags & kMfChecked);
    a->setChecked(r.flags & kMfChecked);
    a->setIcon(r.iconOffset == 0 && !r.icon.isNull() ? QIcon(QPixmap::fromImage(r.icon)) : QIcon());
}

QAction* COwnerDrawMenu::makeAction(COwnerDrawMenuItem& r, COwnerDrawMenu* sub) {
    QAction* a = nullptr;
    if (r.flags & kMfSeparator) {
        a = new QAction(this);
        a->setSeparator(true);
    } else if (sub) {
        a = sub->menuAction();
    } else {
        a = new QAction(this);
    }
    if (!a->isSeparator()) syncAction(a, r);
    return a;
}

void COwnerDrawMenu::AppendItem(const std::string& text, uint32_t flags, int id, int iconIndex,
                                std::unique_ptr<COwnerDrawMenu> submenu) {
    auto r = std::make_unique<COwnerDrawMenuItem>();
    if (id == 0 && !submenu)
        r->flags = (flags & kMfByPosition) | kMfSeparator | kMfOwnerDraw;
    else
        r->flags = flags | kMfOwnerDraw;
    r->commandId = id;
    r->text = QString::fromStdString(text).toStdU16String();
    if (iconIndex >= 0) SetToolBarIcon(*r, iconIndex);
    COwnerDrawMenu* sub = submenu.get();
    if (sub) {
        sub->setTitle(QString::fromStdString(text));
        Submenus().insert(sub);
        submenus_.push_back(std::move(submenu));
    }
    QAction* a = makeAction(*r, sub);
    records_.push_back(std::move(r));
    addAction(a);
}

int COwnerDrawMenu::positionOfCommand(int id) const {
    for (size_t i = 0; i < records_.size(); ++i)
        if (records_[i]->commandId == id && !(records_[i]->flags & (kMfSeparator | kMfPopup)))
            return int(i);
    return -1;
}

std::pair<COwnerDrawMenu*, int> COwnerDrawMenu::FindItem(int id) {
    for (size_t i = 0; i < records_.size(); ++i) {
        const auto& r = *records_[i];
        if (r.flags & kMfPopup) {
            if (COwnerDrawMenu* sub = GetSubMenu(int(i))) {
                auto found = sub->FindItem(id);
                if (found.first) return found;
            }
        } else if (!(r.flags & kMfSeparator) && r.commandId == id) {
            return {this, int(i)};
        }
    }
    return {nullptr, -1};
}

bool COwnerDrawMenu::InsertItem(int idOrPos, uint32_t flags, int id, const std::string& text,
                                int iconIndex) {
    if (!(flags & kMfByPosition)) {
        auto [menu, pos] = FindItem(idOrPos);
        if (!menu) return false;
        return menu->InsertItem(pos, flags | kMfByPosition, id, text, iconIndex);
    }
    if (idOrPos < 0 || size_t(idOrPos) > records_.size()) idOrPos = int(records_.size());
    auto r = std::make_unique<COwnerDrawMenuItem>();
    if (id == 0)
        r->flags = kMfSeparator | kMfOwnerDraw;
    else
        r->flags = (flags & ~uint32_t(kMfByPosition)) | kMfOwnerDraw;
    r->commandId = id;
    r->text = QString::fromStdString(text).toStdU16String();
    if (iconIndex >= 0) SetToolBarIcon(*r, iconIndex);
    QAction* a = makeAction(*r, nullptr);
    QAction* before = actionAt(idOrPos);
    records_.insert(records_.begin() + idOrPos, std::move(r));
    insertAction(before, a);
    return true;
}

COwnerDrawMenu::Place COwnerDrawMenu::FindNextItem(int id, const std::vector<Place>& found) {
    for (size_t i = 0; i < records_.size(); ++i) {
        const auto& r = *records_[i];
        if (r.flags & kMfPopup) {
            if (COwnerDrawMenu* sub = GetSubMenu(int(i))) {
                const Place next = sub->FindNextItem(id, found);
                if (next.first) return next;
            }
        } else if (!(r.flags & kMfSeparator) && r.commandId == id) {
            const Place here{this, int(i)};
            if (std::find(found.begin(), found.end(), here) == found.end()) return here;
        }
    }
    return {nullptr, -1};
}

bool COwnerDrawMenu::ModifyItem(const std::string& text, int id, const QImage* image) {
    // Every place that holds the command, each found once.
    std::vector<Place> places;
    for (Place p = FindNextItem(id, places); p.first; p = FindNextItem(id, places))
        places.push_back(p);
    // No item has the command: the menu call by command fails and changes nothing. Nor is
    // a record kept for it: a record without an item would stand where the next appended
    // item's record belongs, and every item after it would be drawn from its neighbour's.
    if (places.empty()) return false;
    for (auto [menu, pos] : places) {
        COwnerDrawMenuItem& r = *menu->records_[size_t(pos)];
        if (!text.empty()) r.text = QString::fromStdString(text).toStdU16String();
        if (image && !image->isNull()) {
            r.iconOffset = 0;
            r.iconIndex = 0;
            r.icon = image->copy();
        } else {
            r.iconOffset = -1;
            r.iconIndex = -1;
            r.icon = QImage();
        }
        r.flags = (r.flags & ~uint32_t(kMfByPosition)) | kMfOwnerDraw;
        r.commandId = id;
        menu->syncAction(menu->actionAt(pos), r);
    }
    return true;
}

bool COwnerDrawMenu::SetItemText(int idOrPos, const std::string& text, uint32_t flags) {
    if (flags & kMfByPosition) {
        if (idOrPos < 0 || size_t(idOrPos) >= records_.size()) return false;
        COwnerDrawMenuItem& r = *records_[size_t(idOrPos)];
        r.text = QString::fromStdString(text).toStdU16String();
        if (!(r.flags & kMfSeparator)) actionAt(idOrPos)->setText(QString::fromStdString(text));
        return true;
    }
    auto [menu, pos] = FindItem(idOrPos);
    return menu && menu->SetItemText(pos, text, kMfByPosition);
}

bool COwnerDrawMenu::EnableItem(int id, bool enabled) {
    auto [menu, pos] = FindItem(id);
    if (!menu) return false;
    COwnerDrawMenuItem& r = *menu->records_[size_t(pos)];
    if (enabled)
        r.flags &= ~uint32_t(kMfGrayed | kMfDisabled);
    else
        r.flags |= kMfGrayed | kMfDisabled;
    menu->syncAction(menu->actionAt(pos), r);
    return true;
}

bool COwnerDrawMenu::RemoveItem(int idOrPos, uint32_t flags) {
    if (!(flags & kMfByPosition)) {
        auto [menu, pos] = FindItem(idOrPos);
        return menu && menu->RemoveItem(pos, kMfByPosition);
    }
    if (idOrPos < 0 || size_t(idOrPos) >= records_.size()) return false;
    QAction* a = actionAt(idOrPos);
    if (records_[size_t(idOrPos)]->flags & kMfPopup) {
        COwnerDrawMenu* sub = GetSubMenu(idOrPos);
        removeAction(a);
        records_.erase(records_.begin() + idOrPos);
        auto it = std::find_if(submenus_.begin(), submenus_.end(),
                               [sub](const auto& m) { return m.get() == sub; });
        // The submenu's destructor frees everything under it, depth first.
        if (it != submenus_.end()) submenus_.erase(it);
        return true;
    }
    removeAction(a);
    delete a;
    records_.erase(records_.begin() + idOrPos);
    return true;
}

COwnerDrawMenu* COwnerDrawMenu::GetSubMenu(int position) const {
    QAction* a = actionAt(position);
    return a ? qobject_cast<COwnerDrawMenu*>(a->menu()) : nullptr;
}

QAction* COwnerDrawMenu::actionAt(int position) const {
    const QList<QAction*> list = actions();
    return position >= 0 && position < list.size() ? list[position] : nullptr;
}

QAction* COwnerDrawMenu::actionOf(int id) {
    auto [menu, pos] = FindItem(id);
    return menu ? menu->actionAt(pos) : nullptr;
}

const COwnerDrawMenuItem* COwnerDrawMenu::record(int position) const {
    return position >= 0 && size_t(position) < records_.size() ? records_[size_t(position)].get()
                                                               : nullptr;
}

void COwnerDrawMenu::SetDefaultItem(int id) {
    default_ = id;
    auto [menu, pos] = FindItem(id);
    if (menu) menu->setDefaultAction(menu->actionAt(pos));
}

void COwnerDrawMenu::SetCheckMarkImages(std::shared_ptr<const std::vector<QImage>> images,
                                        int checked, int selectedChecked) {
    checkMarks_ = std::move(images);
    checkIndex_ = checked;
    selectedCheckIndex_ = selectedChecked;
    update();
}

const QImage* COwnerDrawMenu::CheckMarkImage(bool selected) const {
    const int i = selected ? selectedCheckIndex_ : checkIndex_;
    if (!checkMarks_ || i < 0 || size_t(i) >= checkMarks_->size()) return nullptr;
    const QImage& image = (*checkMarks_)[size_t(i)];
    return image.isNull() ? nullptr : &image;
}

void COwnerDrawMenu::DestroyMenu() {
    Submenus().erase(this);
    for (QAction* a : actions()) removeAction(a);
    submenus_.clear();
    records_.clear();
}

void COwnerDrawMenu::AlignAccelerators() {
    const QFontMetrics fm(font());
    int target = 0;
    for (const auto& r : records_) {
        const QString t = QString::fromStdU16String(r->text);
        target = std::max(target, fm.horizontalAdvance(t.section(QLatin1Char('\t'), 0, 0) + ' '));
    }
    for (size_t i = 0; i < records_.size(); ++i) {
        QString t = QString::fromStdU16String(records_[i]->text);
        const qsizetype tab = t.indexOf(QLatin1Char('\t'));
        if (tab < 0) continue;
        QString label = t.left(tab);
        while (fm.horizontalAdvance(label) < target) label += QLatin1Char(' ');
        records_[i]->text = (label + t.mid(tab)).toStdU16String();
        if (QAction* a = actionAt(int(i)); a && !a->isSeparator())
            a->setText(QString::fromStdU16String(records_[i]->text));
    }
}

void COwnerDrawMenu::TrackPopup(const QPoint& global, platform::Handle owner) {
    owner_ = owner;
    popup(global);
}

int COwnerDrawMenu::TrackPopupReturnCmd(const QPoint& global) {
    owner_ = 0;
    QAction* chosen = exec(global);
    return chosen ? chosen->data().toInt() : 0;
}

}  // namespace hqlv::framework
