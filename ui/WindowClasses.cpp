// Registration of the toolkit's window classes as one table.
#include "ui/WindowClasses.h"

#include <stdlib.h>
#include <string.h>

#include "ui/Caption.h"
#include "ui/PaintedPanels.h"
#include "ui/ScrollPane.h"
#include "ui/WindowProcs.h"

HBRUSH checkerBrush = NULL;
HBRUSH lightBrush = NULL;

namespace {

enum Background { BG_NONE, BG_SYSTEM, BG_CHECKER_NEW, BG_CHECKER };

struct WindowClassRow {
    const char* name;
    UINT style;
    WNDPROC procedure;
    int extraBytes;
    int icon;
    LPCSTR cursor;
    Background background;
    int systemColour;
    int menu;
};

// The classes of the frame windows and the small windows; the widget
// classes of later Parts join this table with their procedures.
const WindowClassRow kClasses[] = {
    {"vuzaz_defwindow", CS_PARENTDC, wndFrameProc, 12, ICON_MAIN, IDC_ARROW, BG_SYSTEM, COLOR_APPWORKSPACE, MENU_MAIN},
    {"vuzaz_childwindow", CS_PARENTDC | CS_DBLCLKS, wndChildProc, 12, ICON_CHILD, IDC_ARROW, BG_NONE, 0, 0},
    {"vuzaz_window", CS_PARENTDC | CS_DBLCLKS, wndProc, DLGWINDOWEXTRA, ICON_TOOL, IDC_ARROW, BG_SYSTEM, COLOR_BTNFACE, 0},
    {"vuzaz_dragwindow", CS_DBLCLKS, DragWindowProc, DLGWINDOWEXTRA, ICON_TOOL, IDC_ARROW, BG_CHECKER_NEW, 0, 0},
    {"vuzaz_scrollpane", CS_PARENTDC | CS_DBLCLKS, ScrollPaneProc, DLGWINDOWEXTRA, ICON_TOOL, IDC_ARROW, BG_SYSTEM, COLOR_BTNFACE, 0},
    {"vuzaz_container_scrollpane", CS_PARENTDC | CS_DBLCLKS, ScrollPaneProc, DLGWINDOWEXTRA, ICON_TOOL, IDC_ARROW, BG_CHECKER, 0, 0},
    {"vuzaz_tip", CS_PARENTDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, TipProc, 12, ICON_TOOL, IDC_ARROW, BG_SYSTEM, COLOR_BTNFACE, 0},
    {"vuzaz_nop", CS_PARENTDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, NopProc, 12, ICON_TOOL, IDC_ARROW, BG_NONE, 0, 0},
    {"vuzaz_caption", CS_PARENTDC | CS_DBLCLKS, CaptionProc, 12, ICON_TOOL, IDC_ARROW, BG_NONE, 0, 0},
    {"vuzaz_3dlabel", CS_PARENTDC | CS_DBLCLKS, Label3dProc, 12, ICON_TOOL, IDC_ARROW, BG_SYSTEM, COLOR_INACTIVEBORDER, 0},
    {"vuzaz_openglpos", CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, DefDlgProcA, DLGWINDOWEXTRA, ICON_TOOL, IDC_ARROW, BG_SYSTEM, COLOR_INACTIVEBORDER, 0},
    {"vuzaz_panel", CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, PanelProc, 12, ICON_TOOL, IDC_ARROW, BG_SYSTEM, COLOR_BTNFACE, 0},
};

const int kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

HBRUSH MakeChecker()
{
    return CreateCheckerBrush(RGB(192, 192, 192), RGB(160, 160, 160), 8, 8, 4);
}

}  // namespace

COLORREF CheckerColour(COLORREF colourA, COLORREF colourB, int x, int y, int cell)
{
    return ((x / cell) % 2) == ((y / cell) % 2) ? colourA : colourB;
}

HBRUSH CreateCheckerBrush(COLORREF colourA, COLORREF colourB, int width, int height, int cell)
{
    BITMAPINFO info;
    memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    unsigned char* pixels = static_cast<unsigned char*>(calloc(stride * height, 1));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            COLORREF colour = CheckerColour(colourA, colourB, x, y, cell);
            unsigned char* p = pixels + y * stride + 3 * x;
            p[0] = GetBValue(colour);
            p[1] = GetGValue(colour);
            p[2] = GetRValue(colour);
        }
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels, &info, DIB_RGB_COLORS);
    ReleaseDC(NULL, screen);
    free(pixels);
    HBRUSH brush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    return brush;
}

int RegisterWindowClasses(HINSTANCE instance)
{
    // The formula editor's class comes from Scintilla; a missing library
    // leaves only that widget without a window.
    LoadLibraryA("SciLexer.DLL");
    for (int i = 0; i < kClassCount; ++i) {
        const WindowClassRow& row = kClasses[i];
        WNDCLASSA wc;
        memset(&wc, 0, sizeof(wc));
        wc.style = row.style;
        wc.lpfnWndProc = row.procedure;
        wc.cbWndExtra = row.extraBytes;
        wc.hInstance = instance;
        wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(row.icon));
        wc.hCursor = LoadCursorA(NULL, row.cursor);
        switch (row.background) {
        case BG_SYSTEM: wc.hbrBackground = (HBRUSH)(INT_PTR)(row.systemColour + 1); break;
        case BG_CHECKER_NEW: wc.hbrBackground = MakeChecker(); break;
        case BG_CHECKER:
            if (checkerBrush == NULL) {
                checkerBrush = MakeChecker();
                lightBrush = CreateSolidBrush(RGB(224, 224, 224));
            }
            wc.hbrBackground = checkerBrush;
            break;
        case BG_NONE: break;
        }
        wc.lpszMenuName = row.menu ? MAKEINTRESOURCEA(row.menu) : NULL;
        wc.lpszClassName = row.name;
        if (!RegisterClassA(&wc)) {
            for (int j = 0; j < i; ++j)
                UnregisterClassA(kClasses[j].name, instance);
            return i + 1;
        }
    }
    return 0;
}

void UnregisterWindowClasses(HINSTANCE instance)
{
    for (int i = 0; i < kClassCount; ++i)
        UnregisterClassA(kClasses[i].name, instance);
}

LRESULT CALLBACK DragWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
