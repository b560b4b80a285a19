// The toolkit's shared state and its part of start-up.
#include "ui/Toolkit.h"

#include <commctrl.h>

#include "foundation/LogFile.h"
#include "ui/UiHandlers.h"

ToolkitState g_Toolkit;
HWND g_ToolTipWindow = NULL;
int DisplayMode = 24;
UiHandlers g_UiHandlers = {};

void ToolkitLog(const char* text)
{
    if (g_Toolkit.log != NULL)
        g_Toolkit.log->Write(text);
}

void InitToolkit(HINSTANCE instance)
{
    g_Toolkit.instance = instance;
    g_Toolkit.virtualScreenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    g_Toolkit.virtualScreenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    g_Toolkit.iCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION) + 4;
    HDC screen = GetDC(NULL);
    DisplayMode = GetDeviceCaps(screen, BITSPIXEL) <= 8 ? 8 : 24;
    ReleaseDC(NULL, screen);
    if (g_Toolkit.greyPen == NULL)
        g_Toolkit.greyPen = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    if (g_Toolkit.lightGreyPen == NULL)
        g_Toolkit.lightGreyPen = CreatePen(PS_SOLID, 1, RGB(192, 192, 192));
    if (g_ToolTipWindow == NULL) {
        INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        g_ToolTipWindow = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, NULL,
                                          WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, NULL);
    }
}
