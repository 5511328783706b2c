#include "framework/widgets/tab_strip_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace hqlv::framework {
namespace {

size_t CharCount(std::string_view s) {
    size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

bool Digit(char c, char lo) {
    return c >= lo && c <= '9';
}

// Winding number of a closed polygon around a point (the region's fill rule).
bool InPolygon(const std::array<TabPoint, 6>& p, int x, int y) {
    int winding = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const TabPoint a = p[i], b = p[(i + 1) % p.size()];
        const long long cross =
            (long long)(b.x - a.x) * (y - a.y) - (long long)(x - a.x) * (b.y - a.y);
        if (a.y <= y) {
            if (b.y > y && cross > 0) ++winding;
        } else if (b.y <= y && cross < 0) {
            --winding;
        }
    }
    return winding != 0;
}

}  // namespace

void CopyLabelBounded(std::string_view label, char* out, size_t n) {
    if (!out || n == 0) return;
    size_t len = std::min(label.size(), n - 1);
    // Back off to the start of a character.
    while (len > 0 && len < label.size() && (static_cast<unsigned char>(label[len]) & 0xC0) == 0x80)
        --len;
    std::memcpy(out, label.data(), len);
    std::memset(out + len, 0, n - len);
}

std::string CopiedLabel(const std::string& label, const std::vector<std::string>& taken) {
    std::string base = label;
    bool tight = false;
    const size_t n = label.size();
    if (n >= 4 && label[n - 1] == ')') {
        if (label[n - 3] == '(' && Digit(label[n - 2], '2')) {
            base = label.substr(0, n - 3);
            tight = true;
        } else if (label[n - 4] == '(' && Digit(label[n - 3], '1') && Digit(label[n - 2], '0')) {
            base = label.substr(0, n - 4);
            tight = true;
        }
    }
    for (int i = 2;; ++i) {
        std::string candidate = base + (tight ? "(" : " (") + std::to_string(i) + ")";
        if (std::find(taken.begin(), taken.end(), candidate) == taken.end()) return candidate;
    }
}

void TabStripModel::SetFrame(int length, int height) {
    w_ = length;
    h_ = height;
    if (w_ > 0 && h_ > 0) RecalcLayout(3);
}

void TabStripModel::ModifyStyle(uint32_t remove, uint32_t add) {
    if (remove & kTabTooltips) {
        tipWindow_ = false;
        tools_.clear();
    }
    if ((add & kTabTooltips) && !tipWindow_) tipWindow_ = true;
    if ((remove & kTabMultiHighlight) && (style_ & kTabMultiHighlight))
        for (auto& it : items_) it.highlighted = false;
    if ((add & kTabMultiHighlight) && current_ >= 0) items_[size_t(current_)].highlighted = true;
    style_ = (style_ & ~remove) | add;
    RecalcLayout(3);
}

int TabStripModel::InsertItem(int index, const std::string& label, uint32_t data) {
    if (index < 0 || index > count()) return kTabBadIndex;
    if (CharCount(label) > size_t(kMaxLabelChars)) return kTabLabelTooLong;
    TabItem it;
    it.label = label;
    it.data = data;
    items_.insert(items_.begin() + index, std::move(it));
    if (current_ >= index) ++current_;
    // The tools of the tabs behind move up one id; the new tab has none.
    std::map<int, std::string> tools;
    for (auto& [id, text] : tools_) tools[id > index ? id + 1 : id] = std::move(text);
    tools_ = std::move(tools);
    RecalcLayout(3);
    return index;
}

int TabStripModel::SelectItem(int index, bool byUser, bool ctrl) {
    if (index < 0 || index >= count()) return kTabBadIndex;
    if (current_ >= 0 && current_ < count()) items_[size_t(current_)].current = false;
    current_ = index;
    items_[size_t(index)].current = true;
    if (!byUser) first_ = index;
    RecalcLayout(byUser ? 2 : 3, index);
    HighlightItem(index, byUser, ctrl);
    return 0;
}

int TabStripModel::HighlightItem(int index, bool byUser, bool ctrl) {
    if (!(style_ & kTabMultiHighlight)) return kTabNoHighlightStyle;
    if (index < 0 || index >= count()) return kTabBadIndex;
    for (auto& it : items_) it.highlightChanged = false;
    TabItem& t = items_[size_t(index)];
    if (!ctrl) {
        if (!t.highlighted) {
            t.highlighted = true;
            t.highlightChanged = true;
            for (int i = 0; i < count(); ++i) {
                TabItem& o = items_[size_t(i)];
                if (i == index || i == current_ || !o.highlighted) continue;
                o.highlighted = false;
                o.highlightChanged = byUser;
            }
        }
    } else if (index != current_) {
        t.highlighted = !t.highlighted;
        if (!byUser) return 0;
        t.highlightChanged = true;
    }
    if (byUser) RecalcLayout(2, index);
    return 0;
}

int TabStripModel::SetItemData(int index, uint32_t data) {
    if (index < 0 || index >= count()) return kTabBadIndex;
    items_[size_t(index)].data = data;
    return 0;
}

int TabStripModel::SetItemLabel(int index, const std::string& label) {
    if (index < 0 || index >= count()) return kTabBadIndex;
    items_[size_t(index)].label = label;
    RecalcLayout(3);
    return 0;
}

int TabStripModel::MoveItem(int from, int to, bool notify_) {
    if (from < 0 || from >= count() || to < 0 || to > count()) return kTabBadIndex;
    if (to == from || to == from + 1) return from;
    TabItem it = std::move(items_[size_t(from)]);
    items_.erase(items_.begin() + from);
    const int at = to > from ? to - 1 : to;
    items_.insert(items_.begin() + at, std::move(it));
    // The tab keeps its tooltip text; the tools between the two places shift by one id.
    if (tipWindow_) {
        std::map<int, std::string> tools;
        for (auto& [id, text] : tools_) {
            int tab = id - 1;
            if (id <= 0)
                tab = -1;
            else if (tab == from)
                tab = at;
            else if (from < at && tab > from && tab <= at)
                --tab;
            else if (at < from && tab >= at && tab < from)
                ++tab;
            tools[tab >= 0 ? tab + 1 : id] = std::move(text);
        }
        tools_ = std::move(tools);
    }
    for (auto& t : items_) t.current = false;
    current_ = at;
    items_[size_t(at)].current = true;
    RecalcLayout(2, at);
    if (notify_) Send(kTabMoved, at);
    return at;
}

int TabStripModel::CopyItem(int from, int to, bool notify_) {
    if (from < 0 || from >= count() || to < 0 || to > count()) return kTabBadIndex;
    std::vector<std::string> taken;
    for (const auto& t : items_) taken.push_back(t.label);
    const std::string label = CopiedLabel(items_[size_t(from)].label, taken);
    const int at = InsertItem(to, label, items_[size_t(from)].data);
    if (at < 0) {
        if (at == kTabNoMemory && notify_) Send(kTabCopyFailed, -1);
        return at;
    }
    SetCurSel(at);
    if (notify_) Send(kTabCopied, at);
    return at;
}

int TabStripModel::buttonCount() const {
    int n = buttons_[kClose] ? 1 : 0;
    if (buttons_[kPrevious]) n += (style_ & kTabFourButtons) ? 4 : 2;
    return n;
}

TabRect TabStripModel::ButtonArea() const {
    const int n = buttonCount();
    if (n == 0) return {};
    const int width = n * buttonWidth() + 3;
    const bool top = style_ & kTabTop;
    TabRect r{0, top ? 0 : 1, width, top ? h_ - 1 : h_};
    if (style_ & kTabButtonsAfter) {
        r.left = w_ - width;
        r.right = w_;
    }
    return r;
}

namespace {
struct TabModelSpan {
    int a = 0, e = 0;
};
// A scroll button's span when the buttons stand before the tabs, from the close button's
// end.
TabModelSpan SpanBefore(int b, int bw, bool four) {
    switch (b) {
        case TabStripModel::kFirst:
            return {0, bw + 1};
        case TabStripModel::kPrevious:
            return four ? TabModelSpan{bw + 1, 2 * bw + 1} : TabModelSpan{0, bw + 1};
        case TabStripModel::kNext:
            return four ? TabModelSpan{2 * bw + 1, 3 * bw + 2} : TabModelSpan{bw + 1, 2 * bw + 3};
        case TabStripModel::kLast:
            return {3 * bw + 2, 4 * bw + 3};
        default:
            return {};
    }
}
}  // namespace

TabRect TabStripModel::ButtonRect(Button b) const {
    if (!buttons_[b]) return {};
    const int bw = buttonWidth();
    const int c = buttons_[kClose] ? bw : 0;
    const bool four = style_ & kTabFourButtons;
    if (!(style_ & kTabButtonsAfter)) {
        if (b == kClose) return {0, 0, bw + 1, h_};
        const TabModelSpan s = SpanBefore(b, bw, four);
        return {c + s.a, 0, c + s.e, h_};
    }
    if (b == kClose) return {w_ - bw - 1, 0, w_, h_};
    // Counted back from the end with the same widths, the last button nearest the close.
    const Button order4[] = {kLast, kNext, kPrevious, kFirst};
    const Button order2[] = {kNext, kPrevious};
    int right = w_ - c;
    for (Button x :
         four ? std::vector<Button>(order4, order4 + 4) : std::vector<Button>(order2, order2 + 2)) {
        const TabRect span = [&] {
            TabModelSpan s2 = SpanBefore(x, bw, four);
            return TabRect{s2.a, 0, s2.e, h_};
        }();
        const int width = span.right - span.left;
        if (x == b) return {right - width, 0, right, h_};
        right -= width;
    }
    return {};
}

std::array<TabPoint, 6> TabStripModel::RegionPoints(const TabItem& it) const {
    std::array<TabPoint, 6> p{};
    if (it.kind == 0) return p;
    const int L = it.shape.left, R = it.shape.right;
    int T = it.shape.top, B = it.shape.bottom;
    const int h = B - T, s = h / 2, q = h / 4, m = T + h / 2;
    if (style_ & kTabTop) {
        const int t = T;
        T = B + 1;
        B = t;
    }
    switch (it.kind) {
        case 1:
            p = {TabPoint{L, T}, {L, B}, {L + s, T}, {L + s, T}, {L + s, T}, {L + s, T}};
            break;
        case 2:
            p = {TabPoint{L, T}, {L + q, m}, {L, B}, {L, B}, {L, B}, {L, B}};
            break;
        case 3:
            p = {TabPoint{L, T}, {L + q, m}, {L + s, B}, {R - s, B}, {R - q, m}, {R, T}};
            break;
        default:
            p = {TabPoint{L, T}, {L + q, m}, {L + s, B}, {R - s, B}, {R - q, m}, {R - s, T}};
            break;
    }
    return p;
}

int TabStripModel::MeasureItems() {
    widths_.assign(items_.size(), 0);
    int widest = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        widths_[i] = std::max(0, measure_ ? measure_(items_[i].label) : 0);
        widest = std::max(widest, widths_[i]);
    }
    if (style_ & kTabFixedWidth) std::fill(widths_.begin(), widths_.end(), widest);
    int x = 0, right = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        const int width = h_ + widths_[i] + 4;
        right = x + width;
        x += width - h_ / 2;
    }
    return right;
}

void TabStripModel::PlaceItems() {
    const bool top = style_ & kTabTop;
    const int y0 = top ? 0 : 1, y1 = top ? h_ - 2 : h_ - 1;
    int x = x0_;
    for (int i = 0; i < count(); ++i) {
        TabItem& t = items_[size_t(i)];
        if (i < first_ - 1) {
            t.kind = 0;
            t.shape = t.text = {};
        } else if (i == first_ - 1) {
            t.kind = t.current ? 1 : 2;
            t.shape = {x0_, 1, x0_ + h_ / 2, h_ - 1};
            t.text = {};
        } else {
            const int width = h_ + widths_[size_t(i)] + 4;
            t.kind = (t.current || i == count() - 1) ? 3 : 4;
            t.shape = {x, y0, x + width, y1};
            t.text = {x + h_ / 2, y0, x + h_ / 2 + widths_[size_t(i)] + 4, y1};
            x += width - h_ / 2;
        }
    }
}

int TabStripModel::LastRight() const {
    return items_.empty() ? x0_ : items_.back().shape.right;
}

void TabStripModel::RecalcLayout(int reason, int index) {
    if (h_ <= 0) return;
    const int bw = buttonWidth();
    int closeArea = 0;
    if (style_ & kTabCloseButton) {
        if (!buttons_[kClose]) buttons_[kClose] = 1;
        closeArea = bw + 3;
    } else {
        buttons_[kClose] = 0;
    }
    const int needed = MeasureItems();
    const bool after = style_ & kTabButtonsAfter;
    if ((style_ & kTabAutoHide) && (count() < 2 || needed <= w_ - closeArea)) {
        buttons_[kFirst] = buttons_[kPrevious] = buttons_[kNext] = buttons_[kLast] = 0;
        first_ = 0;
        x0_ = after ? 0 : closeArea;
        end_ = w_ - (after ? closeArea : 0);
        PlaceItems();
        return;
    }
    for (Button b : {kPrevious, kNext})
        if (!buttons_[b]) buttons_[b] = 1;
    for (Button b : {kFirst, kLast})
        buttons_[b] = (style_ & kTabFourButtons) ? std::max(1, buttons_[b]) : 0;
    const int area = buttonCount() * bw + 3;
    x0_ = after ? 0 : area;
    end_ = w_ - (after ? area : 0);
    first_ = std::clamp(first_, 0, std::max(0, count() - 1));
    auto full = [&] {
        PlaceItems();
        if (LastRight() >= end_) return;
        for (;;) {
            --first_;
            if (first_ < 0) {
                first_ = 0;
                PlaceItems();
                return;
            }
            PlaceItems();
            if (LastRight() >= end_) {
                ++first_;
                PlaceItems();
                return;
            }
        }
    };
    switch (reason) {
        case 0:
            PlaceItems();
            if (first_ > 0) {
                --first_;
                PlaceItems();
            }
            break;
        case 1:
            PlaceItems();
            if (!(LastRight() <= end_ || first_ >= count() - 1)) {
                ++first_;
                PlaceItems();
            }
            break;
        case 2: {
            PlaceItems();
            if (index < 0 || index >= count()) break;
            const TabItem& t = items_[size_t(index)];
            if (t.kind == 1 || t.kind == 2) {
                --first_;
                PlaceItems();
                break;
            }
            while (first_ < index && items_[size_t(index)].kind == 3 &&
                   items_[size_t(index)].shape.right > end_ &&
                   items_[size_t(index)].shape.left > x0_) {
                ++first_;
                PlaceItems();
            }
            break;
        }
        case 4:
            first_ = 0;
            PlaceItems();
            break;
        case 5:
            first_ = std::max(0, count() - 1);
            full();
            break;
        case 6:
        case 7:
            PlaceItems();
            break;
        default:
            full();
            break;
    }
}

std::pair<int, int> TabStripModel::PlaceLabelEditor(int index, int width) {
    if (index < 0 || index >= count()) return {0, 0};
    auto left = [&] { return items_[size_t(index)].text.left + 2; };
    while (left() + width > end_ && first_ < index) {
        ++first_;
        PlaceItems();
    }
    if (left() + width > end_) width = std::max(1, end_ - left());
    return {left(), width};
}

int TabStripModel::HitTest(int x, int y) const {
    if (y < 0 || y >= h_) return kHitNothing;
    const std::pair<Button, int> buttons[] = {{kClose, kHitClose},
                                              {kFirst, kHitFirst},
                                              {kPrevious, kHitPrevious},
                                              {kNext, kHitNext},
                                              {kLast, kHitLast}};
    for (auto [b, hit] : buttons)
        if (buttons_[b] && ButtonRect(b).contains(x, y)) return hit;
    for (int i = 0; i < count(); ++i) {
        const TabItem& t = items_[size_t(i)];
        if (t.kind != 0 && InPolygon(RegionPoints(t), x, y)) return i;
    }
    return kHitNothing;
}

void TabStripModel::Step(int hit) {
    switch (hit) {
        case kHitPrevious:
            RecalcLayout(0);
            break;
        case kHitNext:
            RecalcLayout(1);
            break;
        case kHitFirst:
            RecalcLayout(4);
            break;
        case kHitLast:
            RecalcLayout(5);
            break;
        case kHitClose:
            RecalcLayout(7);
            break;
        default:
            break;
    }
}

void TabStripModel::PressButton(int hit, int64_t nowMs) {
    const Button b = hit == kHitClose      ? kClose
                     : hit == kHitFirst    ? kFirst
                     : hit == kHitPrevious ? kPrevious
                     : hit == kHitNext     ? kNext
                                           : kLast;
    if (hit > kHitFirst || hit < kHitClose || !buttons_[b]) return;
    pressed_ = hit;
    buttons_[b] = 3;
    Step(hit);
    lastStep_ = nowMs;
}

void TabStripModel::OnRepeatTimer(int64_t nowMs) {
    const std::pair<Button, int> order[] = {
        {kFirst, kHitFirst}, {kPrevious, kHitPrevious}, {kNext, kHitNext}, {kLast, kHitLast}};
    for (auto [b, hit] : order) {
        if (buttons_[b] != 3) continue;
        if (nowMs - lastStep_ >= kRepeatMs) {
            Step(hit);
            lastStep_ = nowMs;
        }
        return;
    }
}

void TabStripModel::ReleaseButtons() {
    for (int& state : buttons_)
        if (state) state = 1;
    if (pressed_ < 0) pressed_ = kHitNothing;
}

void TabStripModel::HoverButtons(int hit, bool leftDown) {
    const std::pair<Button, int> all[] = {{kClose, kHitClose},
                                          {kFirst, kHitFirst},
                                          {kPrevious, kHitPrevious},
                                          {kNext, kHitNext},
                                          {kLast, kHitLast}};
    for (auto [b, code] : all) {
        if (!buttons_[b]) continue;
        if (hit == code && pressed_ == code)
            buttons_[b] = 3;
        else if (hit == code && pressed_ == kHitNothing && !leftDown)
            buttons_[b] = 2;
        else
            buttons_[b] = 1;
    }
}

bool TabStripModel::DragStep(int x) {
    if (pressed_ < 0 || drop_ < 0 || items_.empty()) return false;
    const int t = std::min(drop_, count() - 1);
    const int q = h_ / 4;
    const TabItem& it = items_[size_t(t)];
    const int before = drop_;
    if (x >= end_) {
        drop_ = std::min(t + 1, count() - 1);
        RecalcLayout(1);
    } else if (x >= it.text.right + q) {
        drop_ = t + 1;
        RecalcLayout(2, drop_);
    } else if (x < it.text.left - q) {
        drop_ = std::max(0, t - 1);
        RecalcLayout(2, drop_);
    } else {
        return false;
    }
    return drop_ != before;
}

int TabStripModel::DropMarkerLeft() const {
    if (drop_ < 0 || items_.empty()) return std::numeric_limits<int>::min();
    const int x = drop_ < count() ? items_[size_t(drop_)].text.left - h_ / 4 - 3
                                  : items_.back().text.right + h_ / 4 - 3;
    return std::min(x, w_ - 7);
}

namespace {
int ButtonOfHit(int hit) {
    switch (hit) {
        case kHitFirst:
            return TabStripModel::kFirst;
        case kHitPrevious:
            return TabStripModel::kPrevious;
        case kHitNext:
            return TabStripModel::kNext;
        case kHitLast:
            return TabStripModel::kLast;
        case kHitClose:
            return TabStripModel::kClose;
        default:
            return -1;
    }
}
}  // namespace

bool TabStripModel::SetToolText(int id, const std::string& text) {
    if (!tipWindow_) return false;
    if (id > 0 ? id > count() : ButtonOfHit(id) < 0) return false;
    tools_[id] = text;
    return true;
}

std::string TabStripModel::ToolText(int id) const {
    auto it = tools_.find(id);
    return it == tools_.end() ? std::string() : it->second;
}

TabRect TabStripModel::ToolRect(int id) const {
    if (id > 0) {
        if (id > count()) return {};
        TabRect r = items_[size_t(id - 1)].text;
        if (r.left >= end_) return {};
        r.right = std::min(r.right, end_);
        return r;
    }
    const int b = ButtonOfHit(id);
    return b < 0 ? TabRect{} : ButtonRect(Button(b));
}

int TabStripModel::ToolAt(int x, int y) const {
    if (!tipWindow_) return 0;
    for (const auto& [id, text] : tools_)
        if (!text.empty() && ToolRect(id).contains(x, y)) return id;
    return 0;
}

TabNotify TabStripModel::MakeNotify(int code, int item, TabPoint point) const {
    TabNotify n;
    n.code = code;
    n.item = item;
    n.point = point;
    if (item >= 0 && item < count()) {
        const TabItem& t = items_[size_t(item)];
        CopyLabelBounded(t.label, n.label, sizeof n.label);
        n.data = t.data;
        n.rect = t.text;
        n.current = t.current;
        n.highlighted = t.highlighted;
    }
    return n;
}

int TabStripModel::Send(int code, int item, TabPoint point) const {
    return notify ? notify(MakeNotify(code, item, point)) : 0;
}

TabPoint TabStripModel::VerticalToStrip(TabPoint window, int clientHeight) {
    return {clientHeight - 1 - window.y, window.x};
}

TabPoint TabStripModel::StripToVertical(TabPoint strip, int clientHeight) {
    return {strip.y, clientHeight - 1 - strip.x};
}

}  // namespace hqlv::framework
