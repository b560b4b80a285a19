// Keys of fractal windows: Escape removes the selection box, Enter and
// Space zoom (into the box when one is shown, out with Shift), the arrows
// move the box or the view by a pixel (ten with Shift). In other windows
// Shift+Enter opens the current fractal's window. With Alt or Control,
// keys no one used search the window's mnemonics (app/Mnemonics.h).
#pragma once

class PFrameWindow;

// The arrow key's move of the view: left and up +1, right and down -1,
// times 10 with Shift; false for other keys.
bool ArrowKeyMove(int key, bool shift, int* dx, int* dy);

// 1 when the key was used, 0 when it goes on to the default handling.
bool HandleControlKey(PFrameWindow* window, int key);
