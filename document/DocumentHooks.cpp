// Storage of the document model's window hooks.
#include "document/DocumentHooks.h"
#include <string.h>
#include "calc/task/TaskLifecycle.h"

void (*g_FractalRenamed)(Fractal* fractal) = nullptr;
bool (*g_PaletteChanged)(Fractal* fractal) = nullptr;
void (*g_CommentExpanded)(Fractal* fractal) = nullptr;
void (*g_WindowClientSize)(PFrameWindow* window, int* width, int* height) = nullptr;
void (*g_QuaternionViewReset)(Fractal* fractal) = nullptr;
PaletteDisplay g_PaletteDisplay = {nullptr, nullptr};
static DWORD SystemTickCount()
{
    return GetTickCount();
}
DWORD (*g_TickCount)() = &SystemTickCount;

// ----- Folders, selection and listings
MenuHooks g_Menu = {};
ListingHooks g_Listings = {};
int (*g_OpenTask)(Fractal*, int, int, int, int, int, int) = &PictureToTask;
int (*g_CloseTask)(Fractal*, int, int, int) = &DeleteFractalTask;
int (*g_DeleteAnimationKey)(FractalFolder*, Fractal*, bool) = nullptr;
bool (*g_AnimationPaused)() = nullptr;

static char* SystemClipboardText()
{
    if (!OpenClipboard(NULL))
        return nullptr;
    char* copy = nullptr;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* text = static_cast<const char*>(GlobalLock(data))) {
            copy = _strdup(text);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return copy;
}
char* (*g_ClipboardText)() = &SystemClipboardText;

// ----- Zoom, move and undo
ZoomDisplay g_ZoomDisplay = {};
