// Menu commands kept in step on every menu that carries them.
#include "ui/MenuBar.h"

#include <initializer_list>

#include "ui/FrameWindow.h"
#include "ui/Toolkit.h"

PMenuBar::PMenuBar() : menuBar(NULL), secondMenu(g_Toolkit.contextMenu), thirdMenu(NULL)
{
    if (g_Toolkit.mainFrame != NULL)
        menuBar = GetMenu(g_Toolkit.mainFrame->hwnd);
}

void PMenuBar::CheckItem(int id, bool checked)
{
    for (HMENU menu : {menuBar, secondMenu, thirdMenu})
        if (menu != NULL)
            CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void PMenuBar::GrayItem(int id, bool grayed)
{
    for (HMENU menu : {menuBar, secondMenu, thirdMenu})
        if (menu != NULL)
            EnableMenuItem(menu, id, grayed ? MF_GRAYED : MF_ENABLED);
}

void PMenuBar::CheckRadioItem(int id, int first, int last)
{
    for (HMENU menu : {menuBar, secondMenu, thirdMenu})
        if (menu != NULL)
            CheckMenuRadioItem(menu, first, last, id, MF_BYCOMMAND);
}

void PMenuBar::SetItemText(int id, const char* text)
{
    for (HMENU menu : {menuBar, secondMenu, thirdMenu})
        if (menu != NULL)
            ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING, id, text);
}
