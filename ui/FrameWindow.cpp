#include "ui/FrameWindow.h"

PFrameWindow::PFrameWindow()
    : typeId(CT_FRAMEWINDOW), hwnd(NULL), hScrollPos(0), vScrollPos(0)
{
}

PFrameWindow::~PFrameWindow()
{
}
