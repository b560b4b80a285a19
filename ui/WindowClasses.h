// The toolkit's own window classes (the vuzaz classes), registered once at
// start-up, and the checker brush of the drag outline and the dock pane.
#pragma once

#include <windows.h>

// Registers every class whose procedure exists, in table order. 0 when all
// succeed; on the first failure the classes registered before are
// unregistered again and the failing row's number (1-based) is returned.
int RegisterWindowClasses(HINSTANCE instance);
void UnregisterWindowClasses(HINSTANCE instance);

// A pattern brush of a width x height bitmap whose square cells of `cell`
// pixels alternate: colourA where the row and column block parities are
// equal, colourB elsewhere.
HBRUSH CreateCheckerBrush(COLORREF colourA, COLORREF colourB, int width, int height, int cell);

// The colour of the checker pixel (x, y).
COLORREF CheckerColour(COLORREF colourA, COLORREF colourB, int x, int y, int cell);

// The brushes of the dock pane, made with its class.
extern HBRUSH checkerBrush;
extern HBRUSH lightBrush;

LRESULT CALLBACK DragWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Icon resources of the classes.
enum { ICON_MAIN = 100, ICON_CHILD = 104, ICON_TOOL = 105, MENU_MAIN = 100 };
