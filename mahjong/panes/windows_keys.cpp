#include "mahjong/panes/windows_keys.h"

#include <QKeyEvent>

#include <algorithm>
#include <span>

namespace hqlv::mahjong {

namespace {

struct KeyRow {
    int qt;
    uint32_t vk;
};

// Keys whose code does not follow from their character.
constexpr KeyRow kNamedKeys[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},     {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},     {Qt::Key_Return, 0x0D},  {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},     {Qt::Key_Control, 0x11}, {Qt::Key_Alt, 0x12},
    {Qt::Key_AltGr, 0x12},     {Qt::Key_Pause, 0x13},   {Qt::Key_CapsLock, 0x14},
    {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},   {Qt::Key_PageUp, 0x21},
    {Qt::Key_PageDown, 0x22},  {Qt::Key_End, 0x23},     {Qt::Key_Home, 0x24},
    {Qt::Key_Left, 0x25},      {Qt::Key_Up, 0x26},      {Qt::Key_Right, 0x27},
    {Qt::Key_Down, 0x28},      {Qt::Key_Select, 0x29},  {Qt::Key_Print, 0x2C},
    {Qt::Key_SysReq, 0x2C},    {Qt::Key_Insert, 0x2D},  {Qt::Key_Delete, 0x2E},
    {Qt::Key_Help, 0x2F},      {Qt::Key_Meta, 0x5B},    {Qt::Key_Super_L, 0x5B},
    {Qt::Key_Super_R, 0x5C},   {Qt::Key_Menu, 0x5D},    {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91}};

// The punctuation keys of the US layout, shifted or not, and the shifted digits, which are
// still their digit's key.
constexpr KeyRow kLayoutKeys[] = {
    {Qt::Key_Semicolon, 0xBA},    {Qt::Key_Colon, 0xBA},      {Qt::Key_Equal, 0xBB},
    {Qt::Key_Plus, 0xBB},         {Qt::Key_Comma, 0xBC},      {Qt::Key_Less, 0xBC},
    {Qt::Key_Minus, 0xBD},        {Qt::Key_Underscore, 0xBD}, {Qt::Key_Period, 0xBE},
    {Qt::Key_Greater, 0xBE},      {Qt::Key_Slash, 0xBF},      {Qt::Key_Question, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},    {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_BraceLeft, 0xDB},    {Qt::Key_Backslash, 0xDC},  {Qt::Key_Bar, 0xDC},
    {Qt::Key_BracketRight, 0xDD}, {Qt::Key_BraceRight, 0xDD}, {Qt::Key_Apostrophe, 0xDE},
    {Qt::Key_QuoteDbl, 0xDE},     {Qt::Key_Exclam, '1'},      {Qt::Key_At, '2'},
    {Qt::Key_NumberSign, '3'},    {Qt::Key_Dollar, '4'},      {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'},   {Qt::Key_Ampersand, '7'},   {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},     {Qt::Key_ParenRight, '0'}};

// The keypad's own codes (number lock on); its other keys are those of the main block.
constexpr KeyRow kKeypadKeys[] = {{Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B},
                                  {Qt::Key_Minus, 0x6D},    {Qt::Key_Period, 0x6E},
                                  {Qt::Key_Comma, 0x6E},    {Qt::Key_Slash, 0x6F}};

// Set-1 scan codes of the evdev keys that the PC keyboard sends with the E0 prefix (an
// extended key); evdev codes 1 to 88 are their own scan code. Pause sends E1 1D 45 and
// is not extended; number lock is 0x45 and is.
struct ScanRow {
    uint32_t evdev;
    uint32_t scan;
    bool extended;
};
constexpr ScanRow kScanRows[] = {
    {69, 0x45, true},  {96, 0x1C, true},   {97, 0x1D, true},  {98, 0x35, true},  {99, 0x37, true},
    {100, 0x38, true}, {102, 0x47, true},  {103, 0x48, true}, {104, 0x49, true}, {105, 0x4B, true},
    {106, 0x4D, true}, {107, 0x4F, true},  {108, 0x50, true}, {109, 0x51, true}, {110, 0x52, true},
    {111, 0x53, true}, {119, 0x45, false}, {125, 0x5B, true}, {126, 0x5C, true}, {127, 0x5D, true}};

}  // namespace

uint32_t WindowsKeyCode(int qtKey, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::KeypadModifier) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return 0x60 + uint32_t(qtKey - Qt::Key_0);
        for (const KeyRow& r : kKeypadKeys)
            if (r.qt == qtKey) return r.vk;
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return uint32_t(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 0x70 + uint32_t(qtKey - Qt::Key_F1);
    for (const auto& table :
         {std::span<const KeyRow>(kNamedKeys), std::span<const KeyRow>(kLayoutKeys)})
        for (const KeyRow& r : table)
            if (r.qt == qtKey) return r.vk;
    return 0;
}

uint32_t WindowsKeyFlags(uint32_t nativeScanCode, bool wasDown, bool released) {
    uint32_t flags = (wasDown ? kKeyWasDown : 0) | (released ? kKeyReleased : 0);
    if (nativeScanCode <= 8) return flags;
    const uint32_t evdev = nativeScanCode - 8;
    if (evdev <= 88 && evdev != 69) return flags | evdev;
    for (const ScanRow& r : kScanRows) {
        if (r.evdev == evdev) return flags | r.scan | (r.extended ? kKeyExtended : 0);
    }
    return flags;
}

WindowsKey ToWindowsKey(const QKeyEvent& e) {
    const bool released = e.type() == QEvent::KeyRelease;
    WindowsKey k;
    k.code = WindowsKeyCode(e.key(), e.modifiers());
    k.repeat = uint32_t(std::max(1, e.count()));
    // A release always follows a key that was down; a press was down before only when it
    // repeats.
    k.flags = WindowsKeyFlags(e.nativeScanCode(), released || e.isAutoRepeat(), released);
    return k;
}

}  // namespace hqlv::mahjong
