// Keeps the check marks, grey states and texts of menu commands in step
// across the main menu and the context popup menu.
#pragma once

#include <windows.h>

#include "ui/Object.h"

class PMenuBar : public PObject {
public:
    // menuBar = the main frame's menu; secondMenu = the context menu of the
    // toolkit state (null when none); thirdMenu null.
    PMenuBar();

    void CheckItem(int id, bool checked);
    void GrayItem(int id, bool grayed);
    void CheckRadioItem(int id, int first, int last);
    void SetItemText(int id, const char* text);

    HMENU menuBar;
    HMENU secondMenu;
    HMENU thirdMenu;
};
