// What the window toolkit shares with the application object: the main
// frame, the fonts, the application-wide small objects, pens, bitmaps and
// screen measures. The application fills it at start-up; the toolkit reads
// it (the toolkit stands below the application and cannot reach it itself).
#pragma once

#include <windows.h>

class PFrameWindow;
class PFont;
class PMenuBar;
class PTimerTable;
class PKeyboard;
class LogFile;

// The three mouse-button flags and the last pointer position over a fractal
// window, written by the window procedures on every mouse message.
struct PMouse {
    bool left = false;
    bool middle = false;
    bool right = false;
    int x = 0;
    int y = 0;
};

// Font numbers of ToolkitState::fonts.
enum { FONT_SMALL = 0, FONT_GUI = 1, FONT_SANS9 = 2, FONT_BOLD_GUI = 3 };

struct ToolkitState {
    HINSTANCE instance = NULL;
    LogFile* log = NULL;                  // the debug log, null when none
    PFrameWindow* mainFrame = NULL;       // null before it exists
    PFont* fonts[4] = {};                 // small, GUI, "MS Sans Serif" 9 pt, bold GUI
    PMenuBar* menuBar = NULL;
    PTimerTable* timerTable = NULL;
    PKeyboard* keyboard = NULL;
    PMouse mouse;
    int iCaptionHeight = 0;               // SM_CYSMCAPTION + 4
    HPEN greyPen = NULL;                  // solid 1 pixel RGB(128, 128, 128)
    HPEN lightGreyPen = NULL;             // solid 1 pixel RGB(192, 192, 192)
    HBITMAP logoBitmap = NULL;            // 154 x 48, resource 28082
    HBITMAP linkBitmap = NULL;            // 85 x 26, resource 28083
    HPALETTE displayPalette = NULL;
    HMENU contextMenu = NULL;             // menu resource 29500, or null
    int virtualScreenWidth = 0;           // measured once at start-up
    int virtualScreenHeight = 0;
};

extern ToolkitState g_Toolkit;

// The one tooltip window shared by all controls; made at start-up.
extern HWND g_ToolTipWindow;

// 8 on a display of at most 8 bits per pixel, else 24.
extern int DisplayMode;

// The GUI font (null before the fonts exist).
inline PFont* GuiFont() { return g_Toolkit.fonts[FONT_GUI]; }

// Measures the screen, the caption height and the display mode, and makes
// the pens and the shared tooltip window: the toolkit's part of start-up.
void InitToolkit(HINSTANCE instance);

// Writes a line to the debug log when there is one.
void ToolkitLog(const char* text);
