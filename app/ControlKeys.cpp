// Keys of fractal windows and the Shift+Enter of other windows. The
// toolkit calls HandleControlKey for every key a window does not use
// itself; a key used here is not passed on.
#include "app/ControlKeys.h"

#include <windows.h>

#include "app/FractalMouse.h"
#include "app/Mnemonics.h"
#include "calc/FractalTask.h"
#include "calc/task/TaskLifecycle.h"
#include "document/DocumentSettings.h"
#include "document/Fractal.h"
#include "document/FractalFolder.h"
#include "document/ParameterTables.h"
#include "document/Selection.h"
#include "files/settings/Settings.h"
#include "ui/FrameWindow.h"
#include "ui/Keyboard.h"
#include "ui/UiHandlers.h"

namespace {

// FractalWindowKey's answer for a key that goes on to the mnemonic search.
const int KEY_TO_MNEMONICS = -1;

bool HasFlag(const Fractal* f, int column)
{
    const int type = f->header->Type;
    return type >= 0 && type < TYPE_FLAG_CODES && TypeFlag(column, type) != 0;
}

// 1 used, 0 not used, KEY_TO_MNEMONICS while the 3D view or a parameter
// pick leaves the keys to the mnemonic search.
int FractalWindowKey(PFrameWindow* window, int key)
{
    Fractal* current = CurrentFolder != nullptr ? CurrentFolder->currentFractal : nullptr;
    Fractal* f = FindFractalByWindow(window);
    if (current == nullptr || f == nullptr || f->task == nullptr)
        return false;
    FractalTask* t = f->task;
    if (key == VK_ESCAPE) {
        t->mouseMode = BOX_NONE;
        t->selectionBoxShown = 0;
        f->SetSelectionBox(NOT_SET, 0, 0, 0);
        return true;
    }
    if (f->header->Dims || ParameterPickActive)
        return KEY_TO_MNEMONICS;
    const bool shift = PKeyboard::IsShiftDown();
    const bool hasBox = t->mouseMode != BOX_NONE && t->selectionBox[0] != NOT_SET;
    if (key == VK_RETURN || key == VK_SPACE) {
        if (hasBox) {
            UI_CALL(HandleMenuCommand, shift ? CMD_BOXZOOM_OUT : CMD_BOXZOOM_IN);
        } else if (HasFlag(f, TF_ZOOM_BOX)) {
            f->Zoom(f->header->Width / 2, f->header->Height / 2, 5,
                    shift ? 1.0 / ZoomFactor1 : (double)ZoomFactor1);
        }
        return true;
    }
    int dx, dy;
    if (!ArrowKeyMove(key, shift, &dx, &dy))
        return false;
    if (hasBox && HasFlag(f, TF_ZOOM_BOX)) {
        int* b = t->selectionBox;   // x1, x2, y1, y2
        f->SetSelectionBox(b[0] - dx, b[2] - dy, b[1] - dx, b[3] - dy);
    } else if (!hasBox && HasFlag(f, TF_MOVE)) {
        f->Move(dx, dy, 1);
    }
    return true;
}

}  // namespace

bool ArrowKeyMove(int key, bool shift, int* dx, int* dy)
{
    *dx = *dy = 0;
    switch (key) {
    case VK_LEFT: *dx = 1; break;
    case VK_UP: *dy = 1; break;
    case VK_RIGHT: *dx = -1; break;
    case VK_DOWN: *dy = -1; break;
    default: return false;
    }
    if (shift) {
        *dx *= 10;
        *dy *= 10;
    }
    return true;
}

bool HandleControlKey(PFrameWindow* window, int key)
{
    if (window == nullptr)
        return false;
    if (window->windowId == WID_FRACTAL) {
        const int used = FractalWindowKey(window, key);
        if (used != KEY_TO_MNEMONICS)
            return used != 0;
    } else if (key == VK_RETURN && PKeyboard::IsShiftDown()) {
        Fractal* current = CurrentFolder != nullptr ? CurrentFolder->currentFractal : nullptr;
        if (current != nullptr)
            PictureToTask(current, 0, 1, 1, 0, 1, 1);
        return true;
    }
    char patterns[2][3];
    const int count = MnemonicPatterns(MapVirtualKeyA((UINT)key, 2) & 0x7FFFFFFF, PKeyboard::IsShiftDown(),
                                       PKeyboard::IsControlDown(), PKeyboard::IsAltDown(), patterns);
    for (int i = 0; i < count; i++)
        if (FindMnemonicInWindow(window, patterns[i]))
            return true;
    return false;
}
