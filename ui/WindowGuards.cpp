// The guards of the three frame-window procedures: only the program's own
// exception codes (positive as signed numbers) are caught and reported;
// hardware faults travel on to the outer handlers.
#include "ui/WindowProcs.h"

#include "foundation/FailureReport.h"
#include "foundation/Guard.h"

namespace {

typedef LRESULT (*Handler)(HWND, UINT, WPARAM, LPARAM);

LRESULT RunHandler(Handler handler, const char* name, HWND hwnd, UINT message, WPARAM wParam,
                   LPARAM lParam)
{
    LRESULT result = 0;
    DWORD code = Guarded([&] { result = handler(hwnd, message, wParam, lParam); },
                         IsSoftwareException);
    if (code != 0) {
        ReportSoftwareFailure(code, name);
        return 0;
    }
    return result;
}

}  // namespace

LRESULT CALLBACK wndFrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunHandler(FrameWindowHandler, "wndFrameProc", hwnd, message, wParam, lParam);
}

LRESULT CALLBACK wndChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunHandler(ChildWindowHandler, "wndChildProc", hwnd, message, wParam, lParam);
}

LRESULT CALLBACK wndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunHandler(ToolWindowHandler, "wndProc", hwnd, message, wParam, lParam);
}
