// Keys as Windows key messages carry them: codes by key, the key-data flags by the X key
// code (the whole message through the host view is in the view's tests).
#include "mahjong/panes/windows_keys.h"

#include <gtest/gtest.h>

#include <utility>

namespace hqlv::mahjong {
namespace {

TEST(WindowsKeys, CodesOfLettersDigitsNamedKeysKeypadAndPunctuation) {
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        uint32_t code;
    } cases[] = {
        {Qt::Key_A, Qt::NoModifier, 0x41},
        {Qt::Key_Z, Qt::ShiftModifier, 0x5A},
        {Qt::Key_0, Qt::NoModifier, 0x30},
        {Qt::Key_9, Qt::NoModifier, 0x39},
        {Qt::Key_Return, Qt::NoModifier, 0x0D},
        {Qt::Key_Enter, Qt::KeypadModifier, 0x0D},
        {Qt::Key_Escape, Qt::NoModifier, 0x1B},
        {Qt::Key_Backtab, Qt::ShiftModifier, 0x09},
        {Qt::Key_Left, Qt::NoModifier, 0x25},
        {Qt::Key_F1, Qt::NoModifier, 0x70},
        {Qt::Key_F24, Qt::NoModifier, 0x87},
        // The keypad's digits and operators have codes of their own; with the number lock
        // off its keys are the main block's.
        {Qt::Key_0, Qt::KeypadModifier, 0x60},
        {Qt::Key_9, Qt::KeypadModifier, 0x69},
        {Qt::Key_Asterisk, Qt::KeypadModifier, 0x6A},
        {Qt::Key_Plus, Qt::KeypadModifier, 0x6B},
        {Qt::Key_Minus, Qt::KeypadModifier, 0x6D},
        {Qt::Key_Period, Qt::KeypadModifier, 0x6E},
        {Qt::Key_Comma, Qt::KeypadModifier, 0x6E},
        {Qt::Key_Slash, Qt::KeypadModifier, 0x6F},
        {Qt::Key_Home, Qt::KeypadModifier, 0x24},
        // The same characters off the keypad are punctuation keys; a shifted digit is its
        // digit's key.
        {Qt::Key_Asterisk, Qt::ShiftModifier, '8'},
        {Qt::Key_Slash, Qt::NoModifier, 0xBF},
        {Qt::Key_Exclam, Qt::ShiftModifier, '1'},
        {Qt::Key_QuoteDbl, Qt::ShiftModifier, 0xDE},
        // No code: not a key Windows names.
        {Qt::Key_unknown, Qt::NoModifier, 0},
        {Qt::Key_Adiaeresis, Qt::NoModifier, 0},
        {Qt::Key_F25, Qt::NoModifier, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowsKeyCode(c.key, c.mods), c.code) << std::hex << c.key;
}

TEST(WindowsKeys, FlagsCarryTheScanCodeTheExtendedBitAndTheKeysState) {
    // The X key code is the evdev code + 8: A is evdev 30, scan 0x1E.
    EXPECT_EQ(WindowsKeyFlags(30 + 8, false, false), 0x1Eu);
    EXPECT_EQ(WindowsKeyFlags(30 + 8, true, false), 0x401Eu);
    EXPECT_EQ(WindowsKeyFlags(30 + 8, true, true), 0xC01Eu);
    // The ends of the plain range: Escape (1) and F12 (88).
    EXPECT_EQ(WindowsKeyFlags(1 + 8, false, false), 0x01u);
    EXPECT_EQ(WindowsKeyFlags(88 + 8, false, false), 0x58u);
    // Every key sent with the E0 prefix is extended (the keypad's Enter and slash, the right
    // control and Alt keys, print screen, the block of six, the arrows, the Windows and menu
    // keys); number lock is 0x45 and extended, Pause 0x45 and not.
    const std::pair<uint32_t, uint32_t> special[] = {
        {96, 0x11C},  {97, 0x11D},  {98, 0x135},  {99, 0x137},  {100, 0x138},
        {102, 0x147}, {103, 0x148}, {104, 0x149}, {105, 0x14B}, {106, 0x14D},
        {107, 0x14F}, {108, 0x150}, {109, 0x151}, {110, 0x152}, {111, 0x153},
        {125, 0x15B}, {126, 0x15C}, {127, 0x15D}, {69, 0x145},  {119, 0x45}};
    for (auto [evdev, flags] : special)
        EXPECT_EQ(WindowsKeyFlags(evdev + 8, false, false), flags) << evdev;
    // No key code from the platform, or one below the evdev range, or one with no PC
    // scan code: only the state bits.
    EXPECT_EQ(WindowsKeyFlags(0, true, true), 0xC000u);
    EXPECT_EQ(WindowsKeyFlags(8, false, false), 0u);
    EXPECT_EQ(WindowsKeyFlags(89 + 8, false, false), 0u);
    EXPECT_EQ(WindowsKeyFlags(200 + 8, true, false), 0x4000u);
}

}  // namespace
}  // namespace hqlv::mahjong
