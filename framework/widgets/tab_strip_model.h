#pragma once
// The strip of slanted tabs without a window: the tabs, their layout in the strip frame
// (a horizontal strip of length W and height H; a vertical strip is laid out the same way
// and turned on screen), the scroll and close buttons with their states and auto-repeat,
// hit codes, moving and copying tabs (by dragging, with the drop target and its marker)
// with the copies' numbered labels, the tooltip tools, and the records the strip sends its
// parent. The widget draws and routes the mouse to it.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace hqlv::framework {

enum TabStyle : uint32_t {
    kTabFixedWidth = 0x0001,
    kTabFourButtons = 0x0002,
    kTabAutoHide = 0x0004,
    kTabTooltips = 0x0008,
    kTabMultiHighlight = 0x0010,
    kTabEditLabels = 0x0020,
    kTabDragMove = 0x0040,
    kTabDragCopy = 0x0080,
    kTabCloseButton = 0x0100,
    kTabButtonsAfter = 0x0200,
    kTabTop = 0x0400,
    kTabVertical = 0x0800,
};

// Failure codes of the strip's operations.
enum TabError : int {
    kTabNoMemory = -1,
    kTabBadIndex = -2,
    kTabNoEditStyle = -3,
    kTabNoHighlightStyle = -4,
    kTabNotCurrent = -5,
    kTabEditorOpen = -6,
    kTabLabelTooLong = -7,
    kTabVerticalStrip = -10,
};

// Hit codes besides tab indexes.
enum TabHit : int {
    kHitFirst = -1,
    kHitPrevious = -2,
    kHitNext = -3,
    kHitLast = -4,
    kHitClose = -5,
    kHitNothing = -6,
};

// Notification codes.
enum TabNotifyCode : int {
    kTabSelChanged = 0,
    kTabHighlightChanged = 1,
    kTabMoved = 2,
    kTabCopied = 3,
    kTabLabelEdited = 4,
    kTabCopyFailed = -1,
    kTabLButtonDown = -2,
    kTabLButtonDblClk = -3,
    kTabRButtonDown = -5,
    kTabRButtonDblClk = -6,
};

struct TabRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const TabRect&) const = default;
};

struct TabPoint {
    int x = 0, y = 0;
    bool operator==(const TabPoint&) const = default;
};

struct TabItem {
    std::string label;  // UTF-8
    uint32_t data = 0;
    TabRect shape;
    TabRect text;
    uint8_t kind = 0;  // 0 hidden, 1 partial-current, 2 partial, 3 full, 4 full under the next
    bool current = false;
    bool highlighted = false;
    bool highlightChanged = false;
};

// What the strip tells its parent.
struct TabNotify {
    int code = 0;
    int item = -1;
    char label[32] = {};
    uint32_t data = 0;
    TabRect rect;
    TabPoint point;
    int current = 0;
    int highlighted = 0;
};

// Copies a UTF-8 label into `out` (n bytes with its terminator), never cutting a character.
void CopyLabelBounded(std::string_view label, char* out, size_t n);
// The label of a copy of `label`, numbered so that no label in `taken` is the same.
std::string CopiedLabel(const std::string& label, const std::vector<std::string>& taken);

class TabStripModel {
public:
    static constexpr int kMaxLabelChars = 29;
    static constexpr int kRepeatMs = 250;
    enum Button { kFirst, kPrevious, kNext, kLast, kClose };

    // Measures a label's width in the bold font.
    using Measure = std::function<int(std::string_view)>;
    explicit TabStripModel(Measure measure) : measure_(std::move(measure)) {}

    // The strip frame: length W along the tabs, height H across them.
    void SetFrame(int length, int height);
    int length() const { return w_; }
    int height() const { return h_; }
    uint32_t style() const { return style_; }
    void ModifyStyle(uint32_t remove, uint32_t add);

    int InsertItem(int index, const std::string& label, uint32_t data);
    int SelectItem(int index, bool byUser, bool ctrl);
    int SetCurSel(int index) { return SelectItem(index, false, false); }
    int HighlightItem(int index, bool byUser, bool ctrl);
    int SetItemData(int index, uint32_t data);
    int SetItemLabel(int index, const std::string& label);
    // The new index; notification 2 goes out when asked.
    int MoveItem(int from, int to, bool notify);
    // The copy's index; notification 3 (or -1) goes out when asked.
    int CopyItem(int from, int to, bool notify);
    int HitTest(int x, int y) const;

    // Layout reasons: 0 previous, 1 next, 2 show tab `index`, 3 full, 4 first, 5 last,
    // 6 label editor, 7 close.
    void RecalcLayout(int reason, int index = -1);
    // Where the label editor of tab `index` goes along the strip: {left, width}, from the
    // text rectangle's left + 2 and `width` wide (the label and one more letter). An editor
    // that would pass the strip end scrolls the strip on, a tab at a time, while the tab
    // lies behind the first shown one; then its width is cut at the strip end (at least 1).
    std::pair<int, int> PlaceLabelEditor(int index, int width);

    // The left button went down on a button (its hit code) at `nowMs`: state 3, one step
    // at once, auto-repeat from then on (not for the close button).
    void PressButton(int hit, int64_t nowMs);
    // The 100 ms repeat timer.
    void OnRepeatTimer(int64_t nowMs);
    // The button was released or the pointer left: present buttons back to normal.
    void ReleaseButtons();
    // Button states under the pointer (the mouse-move rule).
    void HoverButtons(int hit, bool leftDown);
    int buttonState(Button b) const { return buttons_[b]; }
    int pressed() const { return pressed_; }
    void SetPressed(int code) { pressed_ = code; }

    // Dragging: the pressed tab is the drag source; the drop target is the index the tab
    // would land at (count() for behind the last tab), kHitNothing while there is none.
    int dropTarget() const { return drop_; }
    void SetDropTarget(int index) { drop_ = index; }
    // A drag step with the pointer at `x` along the strip; true when the target changed.
    bool DragStep(int x);
    // The left edge of the drop marker (a downward triangle 7 pixels wide) for the target;
    // the lowest int when there is none.
    int DropMarkerLeft() const;

    // The tooltip window and its tools: tab i's tool has id i + 1, a button's tool its hit
    // code. The window exists from adding the tooltip style until removing it, and the
    // tools (their texts) with it.
    bool toolTipWindow() const { return tipWindow_; }
    // False without the window or for an id that is no tab's and no present button's.
    bool SetToolText(int id, const std::string& text);
    std::string ToolText(int id) const;
    // The tool's rectangle: a tab's text rectangle cut at the strip end (empty when it
    // starts beyond it); a button's rectangle.
    TabRect ToolRect(int id) const;
    // The id of the tool with text under a point, 0 when none.
    int ToolAt(int x, int y) const;

    int count() const { return int(items_.size()); }
    int current() const { return current_; }
    int firstShown() const { return first_; }
    const TabItem& item(int i) const { return items_[size_t(i)]; }
    std::vector<TabItem>& items() { return items_; }
    // Start of the tabs and end of the strip (the button area aside).
    int tabsStart() const { return x0_; }
    int stripEnd() const { return end_; }
    int buttonWidth() const { return h_ - 3; }
    int buttonCount() const;
    TabRect ButtonArea() const;
    TabRect ButtonRect(Button b) const;
    // The six polygon points of a tab, as the region is built.
    std::array<TabPoint, 6> RegionPoints(const TabItem& it) const;

    TabNotify MakeNotify(int code, int item, TabPoint point = {}) const;
    // Where notifications go; the answer matters only for label editing (non-zero refuses).
    std::function<int(const TabNotify&)> notify;
    int Send(int code, int item, TabPoint point = {}) const;

    // A point of a vertical strip's window (client width cw, height ch) in the strip frame.
    static TabPoint VerticalToStrip(TabPoint window, int clientHeight);
    // The other way: where a strip point lands in the window.
    static TabPoint StripToVertical(TabPoint strip, int clientHeight);

private:
    int MeasureItems();
    void PlaceItems();
    int LastRight() const;
    void Step(int hit);

    Measure measure_;
    std::vector<TabItem> items_;
    std::vector<int> widths_;
    uint32_t style_ = 0;
    int w_ = 0, h_ = 0;
    int current_ = -1;
    int first_ = 0;
    int x0_ = 0, end_ = 0;
    int pressed_ = kHitNothing;
    int drop_ = kHitNothing;
    int64_t lastStep_ = 0;
    bool tipWindow_ = false;
    std::map<int, std::string> tools_;
    std::array<int, 5> buttons_{};
};

}  // namespace hqlv::framework
