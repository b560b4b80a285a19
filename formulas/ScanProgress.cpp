// The scan progress dialog and the library window as the formula loaders
// and importers see them: through the shell's services, so that the
// library never names a window class.
#include "formulas/ScanProgress.h"

#include <windows.h>

#include "formulas/FormulaNode.h"
#include "foundation/Services.h"

void ProgressName(const char* text, int line)
{
    if (Services().setScanProgressName != NULL)
        Services().setScanProgressName(text, line);
}

void ProgressMessage(const char* text, int line)
{
    if (Services().setScanProgressMessage != NULL)
        Services().setScanProgressMessage(text, line);
}

bool ProgressOpen()
{
    return Services().isScanProgressOpen == NULL || Services().isScanProgressOpen();
}

void ProgressClose()
{
    if (Services().closeScanProgress != NULL)
        Services().closeScanProgress();
}

void ShowLibraryWindow(bool visible)
{
    if (g_FormulaLibraryWindow != NULL)
        ShowWindow(g_FormulaLibraryWindow, visible ? SW_SHOW : SW_HIDE);
}
