// Modifier-key state of the keyboard, as the toolkit and the application ask
// for it.
#pragma once

#include <windows.h>

#include "ui/Object.h"

class PKeyboard : public PObject {
public:
    static bool IsShiftDown() { return IsDown(VK_SHIFT); }
    static bool IsAltDown() { return IsDown(VK_MENU); }
    static bool IsControlDown() { return IsDown(VK_CONTROL); }

private:
    // Any of the four high bits of the 16-bit key state.
    static bool IsDown(int key) { return (GetKeyState(key) & 0xF000) != 0; }
};
