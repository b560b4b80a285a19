// Binds the window toolkit's handler table (ui/UiHandlers.h) to the
// application: window closing, the registry, fractal lookups, the tool windows
// and the fractal windows. RunApplication calls it before the first window is made.
#include "app/HandlerBindings.h"

#include "app/Application.h"
#include "app/FractalWindows.h"
#include "app/Shutdown.h"
#include "document/DocumentSettings.h"
#include "document/FractalFolder.h"
#include "document/Selection.h"
#include "toolwindows/ToolWindows.h"
#include "ui/FrameWindow.h"
#include "ui/UiHandlers.h"

void BindApplicationHandlers()
{
    g_UiHandlers.ConfirmWindowClose = &ConfirmWindowClose;
    // Tool windows lay their controls out for the new size; fractal windows
    // draw their image at any size.
    g_UiHandlers.ResizeWindowContents = [](PFrameWindow* window, int width, int height) {
        if (window->windowType != WT_MDICHILD)
            LayoutToolWindow(window, width, height);
    };
    g_UiHandlers.GetRegistryDword = [](const char* subKey, const char* name, DWORD* value) {
        return g_App->GetRegistryDword(subKey, name, value);
    };
    g_UiHandlers.SetRegistryDword = [](const char* subKey, const char* name, DWORD value) {
        return g_App->SetRegistryDword(subKey, name, value);
    };
    g_UiHandlers.FindFractalByWindow = [](PFrameWindow* window) { return FindFractalByWindow(window); };
    g_UiHandlers.CurrentFractal = []() -> Fractal* {
        return CurrentFolder != NULL ? CurrentFolder->currentFractal : NULL;
    };
    BindToolWindowHandlers();
    BindFractalWindows();
}
