// Posting a message to the main frame window from any thread.
#include "app/MainFramePost.h"

#include "app/Application.h"
#include "ui/FrameWindow.h"

MainFramePostHook g_MainFramePostHook = nullptr;

bool PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam)
{
    MainFramePostHook hook = g_MainFramePostHook;
    if (hook)
        return hook(message, wParam, lParam);
    if (!g_App || !g_App->mainFrame || !g_App->mainFrame->hwnd)
        return false;
    return PostMessageA(g_App->mainFrame->hwnd, message, wParam, lParam) != 0;
}
