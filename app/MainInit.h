// The main initialisation that runs between PApplication::Init and the
// message loop: it marks the run in the registry, builds the process-wide
// tables, registers the file types, sets the defaults before the settings
// file overrides them, loads the data behind the splash dialog, reopens
// the last run's tool windows, shows the main frame and opens "Startup".
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <stddef.h>

// The 44 logged steps. 0 on success; 1 ends the program (too few colours,
// or no window layouts).
int InitializeProgram();

// Creates the per-version data folder and its standard sub-folders
// (Fractals, Palettes, Formulas\Compiler, Presets, Anims, Pictures,
// Textures), so that the log, the settings and the fractals have a place
// on a fresh machine.
void CreateDataFolders(const char* dataFolder);

// Copies the files the program ships beside its executable into the data
// folder where they are missing: the compiler's formula files of
// programFolder\Formulas (.sfm, .scl, .str, .lib: the formulas new fractals
// use) into dataFolder\Formulas\Compiler, the first folder of the compiler
// search path, the other files (IFS, L-systems) into dataFolder\Formulas, and
// programFolder\Fractals\* into dataFolder\Fractals (the "Startup"
// fractal of Spiralix.par). Files already there are the user's and stay.
// The number of files copied.
int InstallShippedFiles(const char* programFolder, const char* dataFolder);

// "Properties"/"RunState" as the last run left it (up to 100 bytes), then
// "Running" in its place. Returns true when the last run had not ended
// cleanly (the value read was exactly "Running").
bool MarkRunStarted(char* previous);

// The gradient-noise tables every compiled formula receives, built from the
// runtime library's rand() seeded with 18237 and so equal in every run.
enum { NOISE_TABLE_SIZE = 512, NOISE_TABLE_SIZE_PADDED = 514 };
extern int NoiseHash[NOISE_TABLE_SIZE];
extern float NoiseGradient1[NOISE_TABLE_SIZE];
extern int NoisePermutation[NOISE_TABLE_SIZE_PADDED];
extern float NoiseGradient3[NOISE_TABLE_SIZE_PADDED][4];
// Builds the tables (and leaves the generator seeded with 18237's stream;
// the caller re-seeds it).
void InitNoiseTables();

// Registers extension under HKEY_CLASSES_ROOT as progId with the program's
// icon "<module path>,<iconIndex>", unless the extension already belongs
// to another program. Returns the registry result of the first step.
LONG RegisterFileType(const char* extension, const char* progId, const char* description,
                      const char* iconIndex);
// The seven file types of the program, in their order.
void RegisterFileTypes();

// 1-3 for the Windows 95 family, 4 (NT 4 or older), 5 (2000), 6 (later),
// 0 when unknown.
int GetWindowsVersion();
extern int WindowsVersion;

// The command that opens ".htm" files ("" when none was found).
extern char HtmlBrowserCommand[1000];
void FindHtmlBrowser();

// Settings of the formula editors (registry "Properties").
extern int FoldingStyle;      // "FoldingStyle", 1 when missing
extern int ShowLineNumbers;   // "showLineNumbers", off when missing
extern int CompilerFontZoom;  // "CompilerFontZoom", 0

// The nine panel states of the quaternion parameter window
// ("Windows\Quaternion\Panels"), 1 unless the registry says otherwise.
enum { QUATERNION_PANEL_COUNT = 9 };
extern const char* const kQuaternionPanelNames[QUATERNION_PANEL_COUNT];
extern DWORD QuaternionPanelStates[QUATERNION_PANEL_COUNT];

// The help file: "<start folder>\Spiralix.chm".
extern char HelpFilePath[MAX_PATH + 20];

// The 16 x 16 icons of the tree views (resources 28206-28236).
extern HIMAGELIST TreeImageList;

// The tooltip window's relay of mouse messages (WH_GETMESSAGE hook).
void CreateTooltipWindow();

// The text of the conversion question for fc FractInt and uf UltraFractal
// formula files found in the compiler search path (out: 2000 bytes).
void FormatConversionQuestion(int fractint, int ultraFractal, char* out, size_t size);
