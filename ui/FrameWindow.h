#pragma once
#include <windows.h>
#include "ui/Object.h"

// Type id stored in the first field of every frame window, in the place of a
// control's type id, so that code reading GWL_USERDATA can tell them apart.
enum { CT_FRAMEWINDOW = 1000 };

// The object behind a window of the program that is not a control. So far it
// carries only what the fractal windows need from it: the window handle and
// the scroll positions, which are the image coordinates shown at the
// window's origin.
class PFrameWindow : public PObject {
public:
    PFrameWindow();
    virtual ~PFrameWindow();

    int typeId;        // always CT_FRAMEWINDOW
    HWND hwnd;         // the window, null while there is none
    int hScrollPos;    // image column shown at the window's left edge
    int vScrollPos;    // image row shown at the window's top edge
};
