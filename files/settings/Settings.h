// The user settings file "Spiralix.cfg" (one "key value" line per setting,
// read without regard to case) and the three registry values that go with
// it. The settings are globals; those the document model, the calculation
// or the formula library already own are read and written where they live,
// the shell's own ones are declared here.
#pragma once

#include <windows.h>

// Registry access under the program's key, bound by the application to
// PApplication's helpers (0 done, 1 missing or failed). Each entry may be
// null: then nothing is read or written.
struct SettingsRegistry {
    int (*getDword)(const char* subKey, const char* valueName, DWORD* value);
    int (*setDword)(const char* subKey, const char* valueName, DWORD value);
};
extern SettingsRegistry g_SettingsRegistry;

// The per-version data folder the file lives in ("" = the current folder);
// the application sets it before LoadSettings.
extern char g_SettingsFolder[MAX_PATH];

// The main window's placement for the "Spiralix" line: x, y (top-left),
// outer width, outer height, show command. Defaults 0, 0, 980, 740, 3.
struct MainWindowSetting {
    int x, y, width, height, showCommand;
};
extern MainWindowSetting g_MainWindowSetting;
// Called by SaveSettings to refresh g_MainWindowSetting from the main
// frame (position, outer size, placement's show command); null keeps it.
extern void (*g_ReadMainWindowSetting)(MainWindowSetting* setting);

// A font setting: face, size in points, bold flag. Default "Tahoma" 8 0.
struct FontSetting {
    char face[200];
    int points;
    int bold;
};
extern FontSetting GUIFont;
extern FontSetting SmallFont;

// Modifier keys of the mouse actions (0 none, 1 Shift, 2 Ctrl, 4 Alt).
extern int keyboardMouseMove, keyboardMouseWheel, keyboardZoomRect, keyboardZoomIn, keyboardZoomOut,
    keyboardContext;
extern int RedrawOnResize, RedrawOnMouseWheel;  // 0/1, default 1
extern int ZoomFactor1, ZoomFactor2;            // default 2 and 4
extern int Tipnum;                              // the Tip window's tip, default 0
// The confirmation switches "CNF_..." are FractalTypeFlags[CNF_...] of the
// document model (CNF_DelFrm also g_ConfirmDeleteFormula of the formula
// library).
extern int AutoSave;                            // write the file at shutdown, default 1
extern COLORREF CustomColors[16];               // "CUSTOMCOLORS", default 0

// Folder settings: ';'-separated lists with their first folder, and single
// folders ("TexturePath" is g_TexturePath of the image reader,
// "CompilerFormulaPath" the formula library's CompilerFormulaPath).
enum { SETTINGS_PATH_SIZE = 2000 };
extern char ProjectPath[SETTINGS_PATH_SIZE], ProjectFolder[MAX_PATH];
extern char PalettePath[SETTINGS_PATH_SIZE], PaletteFolder[MAX_PATH];
extern char FormulaPath[SETTINGS_PATH_SIZE], FormulaFolder[MAX_PATH];
extern char CompilerFormulaFolder[MAX_PATH];
extern char AnimPath[MAX_PATH], PicturePath[MAX_PATH], ExportPath[MAX_PATH];

// Registry values read by LoadSettings only ("Properties").
extern int UseIconsIfThemed;   // default 1
extern int SizeApplyToAll;     // default 1

// The longest line read, and the longest DefaultComment block kept.
enum { SETTINGS_LINE_SIZE = 1990, SETTINGS_COMMENT_SIZE = 1900 };

// Reads the registry values, then "<g_SettingsFolder>\<fileName>"; a
// missing file leaves every setting as it is.
void LoadSettings(const char* fileName);
// Creates "<g_SettingsFolder>\<fileName>"; 0 (nothing written, registry
// included) when that fails. Otherwise writes the three registry values and
// the lines in their fixed order (CR LF) and answers non-zero when the file
// was closed without error.
int SaveSettings(const char* fileName);

// Puts every setting of the file back to its default (tests, start-up).
void ResetSettings();
