// Dragging a tool window by its caption: the outline window follows the
// pointer, and the drop moves the window there. Docking into the container
// and undocking from it re-create the window through the tool-window
// manager, which joins with the dock container.
#include "ui/FrameWindow.h"

#include "ui/Toolkit.h"
#include "ui/UiHandlers.h"

void StartDockDrag(PFrameWindow* window, LPARAM screenPoint)
{
    RECT rect;
    GetWindowRect(window->hwnd, &rect);
    if (g_DragWindow != NULL) {
        g_DragWindow->Move(rect.left, rect.top);
        g_DragWindow->Resize(rect.right - rect.left, rect.bottom - rect.top);
        g_DragWindow->Show(true);
    }
    SetCapture(window->hwnd);
    window->dockDragging = true;
    window->dragStartX = (short)LOWORD(screenPoint);
    window->dragStartY = (short)HIWORD(screenPoint);
}

bool DockToolWindow(PFrameWindow* window, int x, int y, int mouseCode)
{
    POINT point = {x, y};
    ClientToScreen(window->hwnd, &point);
    const int dx = point.x - window->dragStartX;
    const int dy = point.y - window->dragStartY;

    // Without an open container there is nowhere to dock: the outline is the
    // window's own rectangle moved with the pointer.
    RECT outline;
    GetWindowRect(window->hwnd, &outline);
    OffsetRect(&outline, dx, dy);
    if (g_DragWindow != NULL && g_DragWindow->hwnd != NULL)
        SetWindowPos(g_DragWindow->hwnd, HWND_TOPMOST, outline.left, outline.top, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE);
    if (mouseCode != 200)
        return true;

    ReleaseCapture();
    if (g_DragWindow != NULL)
        g_DragWindow->Show(false);
    window->dockDragging = false;
    if (g_UiHandlers.DescriptorOfWindow == NULL ||
        g_UiHandlers.DescriptorOfWindow(window->windowId) == NULL)
        return true;
    SetWindowPos(window->hwnd, NULL, outline.left, outline.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetFocus(window->hwnd);
    return true;
}
