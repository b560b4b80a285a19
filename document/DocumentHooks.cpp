// Storage of the document model's window hooks.
#include "document/DocumentHooks.h"

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
