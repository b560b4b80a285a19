// The current fractal and what follows it: selecting a fractal (parsing an
// entry read but not yet interpreted, turning from a layered fractal to its
// current layer, menus, combo boxes, tree, tool windows, thread
// priorities), deleting a fractal with its questions, the clipboard's
// fractal type, the menu states and the coloured text of the owner-drawn lists.
#pragma once
#include <windows.h>

class Fractal;
class PFrameWindow;

// Set by the formula-slot panels while the user picks a complex value with
// the mouse in ParameterPickFractal's window: no other fractal can become
// current meanwhile.
extern int ParameterPickActive;
extern Fractal* ParameterPickFractal;

// Makes the fractal current (null: none). False only when a never-parsed
// fractal failed to parse and was deleted.
bool SelectFractal(Fractal* fractal, bool force);
// The lighter selection of the layer list: no parsing, no turn to a layer,
// no thread priorities, no refresh of the layer window.
void SetCurrentFractal(Fractal* fractal, bool force);
// Deletes the fractal after the questions (with ask). Returns the declined
// answer (IDNO, IDCANCEL), else 0.
int DeleteFractal(Fractal* fractal, bool ask, bool refresh);

// The FractalType of the parameter entry in the clipboard, or -1.
int GetClipboardFractalType();
// The same for a text: -1 unless it looks like a parameter entry; the type
// comes from the entry's type scan alone (old and Fractint types count as
// escape-time).
int EntryTextFractalType(const char* text);

Fractal* FindFractalByWindow(const PFrameWindow* window);
// Taskpriority = level (0..4); every calculation thread gets it.
void SetTaskPriority(int level);

void UpdateUndoMenu(Fractal* fractal);
void UpdateFractalWindowsMenu(Fractal* fractal);
void UpdateColourDepthMenu(Fractal* fractal);
void Update3DMenu(Fractal* fractal);

// Menu command ids the menu states set.
enum SelectionMenuCommand {
    CMD_RESET_LAYER = 29024,
    CMD_UNDO = 29026,
    CMD_REDO = 29027,
    CMD_PROPORTIONAL = 29028,
    CMD_SELECT = 29034,
    CMD_DESELECT = 29035,
    CMD_BOXZOOM_IN = 29036,
    CMD_BOXZOOM_OUT = 29037,
    CMD_AUTOSAVE = 29038,
    CMD_SELECT_ALL = 29041,
    CMD_COPY_FRACTAL = 29042,
    CMD_WIN_3D_PARAMETERS = 29048,
    CMD_WIN_COMMENTS = 29052,
    CMD_WIN_PARAMETERS = 29087,
    CMD_WIN_PALETTE_EDITOR = 29129,
    CMD_WIN_SIZE = 29141,
    CMD_PALETTE_256 = 29181,
    CMD_PALETTE_INTERPOLATED = 29182,
    CMD_3D_TRANSFORM = 29223,
    CMD_WIN_ALPHA_CHANNEL = 29243,
    CMD_WIN_LAYER_PROPERTIES = 29253,
    CMD_RESET_FRACTAL = 29296,
    CMD_COPY_LAYER = 29298,
    CMD_PASTE_FRACTAL = 29299,
    CMD_PASTE_LAYER = 29300,
};

// Draws one line in which "<COLOR=rrbbgg>" tags switch the text colour
// (the second pair is blue); a tag without ">" ends the drawing.
void DrawColouredText(HDC dc, int x, int y, const RECT* clip, const char* text);
