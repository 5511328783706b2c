#pragma once
// A key press or release as a Windows key message carries it to its window: the
// virtual-key code, the repeat count and the key-data flags (the message's high word). The
// engine's key events, the buttons' hot keys and the key state the scene reads all count
// in these codes.
#include <Qt>

#include <cstdint>

class QKeyEvent;

namespace hqlv::mahjong {

struct WindowsKey {
    uint32_t code = 0;    // virtual-key code; 0 for a key that has none
    uint32_t repeat = 1;  // repeat count
    // Bits 0-7 the scan code, 0x100 an extended key, 0x4000 the key was down before,
    // 0x8000 the key is being released.
    uint32_t flags = 0;
};

constexpr uint32_t kKeyExtended = 0x100;
constexpr uint32_t kKeyWasDown = 0x4000;
constexpr uint32_t kKeyReleased = 0x8000;

// The virtual-key code of a Qt key: letters and digits are their upper-case character,
// keypad keys the keypad codes, punctuation its US-layout key, a shifted digit's symbol its
// digit; 0 for a key Windows has no code for.
uint32_t WindowsKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);
// The key-data flags from the X key code of the event (the evdev code + 8, as the xcb and
// Wayland platforms give it; 0 when the platform gives none).
uint32_t WindowsKeyFlags(uint32_t nativeScanCode, bool wasDown, bool released);
// The whole message for a press or release.
WindowsKey ToWindowsKey(const QKeyEvent& e);

}  // namespace hqlv::mahjong
