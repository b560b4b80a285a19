// Control tables, the grids they are placed on and the builder that turns a
// table into widgets. A tool window is static data: one ControlDescriptor
// per control, each naming a cell of a GridLayout; BuildControls creates the
// widgets and stores them in the variables the rows name, LayoutControls
// places them again when the window's size changes.
#pragma once

#include <windows.h>

class PControl;
class PFrameWindow;
class WindowDescriptor;

// One column or row line: pixels + round(fontUnits x the GUI font's unit)
// + its weight's share of the room the fixed parts leave.
struct GridLineSpec {
    int pixels;
    float fontUnits;
    int weight;
};

// The most lines a grid may have in one direction.
enum { GRID_MAX_LINES = 40 };

// Positions of count lines laid out over total pixels with the given font
// unit: positions[0] = 0, positions[i + 1] = positions[i] + size of line i.
// The free room (total minus the fixed parts, never negative) is shared in
// proportion to the weights, the rounding rest going to the last weighted
// line. Returns count.
int ComputeGridLines(const GridLineSpec* const* lines, int total, float fontUnit, int* positions);

// A grid: null-terminated lists of column and row lines.
struct GridLayout {
    const GridLineSpec* const* columns;
    const GridLineSpec* const* rows;
    int columnPositions[GRID_MAX_LINES + 1];
    int rowPositions[GRID_MAX_LINES + 1];
    int columnCount, rowCount;

    // Lays the lines out for a container of width x height, with the GUI
    // font's average character width and character height as units.
    void SetSize(int width, int height);
    // The rectangle (x, y, width, height in rect's left, top, right, bottom
    // as right = x + width, bottom = y + height) of a cell word; below
    // 0x10000 the whole grid.
    void GetCellRect(unsigned cell, RECT* rect) const;
};

// Cell word of column c, row r spanning cs columns and rs rows.
constexpr unsigned GridCell(int c, int r, int cs, int rs)
{
    return 0x80000000u | ((unsigned)c << 24) | ((unsigned)r << 16) | ((unsigned)cs << 8) | (unsigned)rs;
}

// One row of a control table; a row of type 0 ends the table.
struct ControlDescriptor {
    int type;                 // ControlType; 0 ends the table
    int parameter;            // per-type word (window style bits for lists)
    int id;                   // control id
    int secondId;
    const char* caption;
    unsigned cell;            // GridCell word
    unsigned size;
    double minimum, maximum;
    PControl** variable;      // receives the control object while it exists
    // List items: a null-terminated text array; a panel (1044): its own
    // control table; a tab control (1026): a null-ended array of its pages'
    // tables.
    const void* extra;
    void* tabVariable;        // owning tab control's variable, null when none
    int pageIndex;
    const char* helpText;
    const char* mnemonic;
    GridLayout* grid;         // stored at start-up by the layout definitions
};

// One tool window's static description (it follows its control table in the
// data): the variable holding the window while it exists, the window id,
// the caption, the context-help topic and the remembered placement.
struct WindowDefinition {
    PFrameWindow** slot;
    int windowId;
    const char* title;
    const char* helpTopic;
    WindowDescriptor* descriptor;  // stored at start-up by the layout definitions
};

// Creates the control of every row of the table, in row order, in window
// (parentWindow: an explicit parent handle, or null for the window's own),
// and stores each object in its row's variable. A table whose first row's
// variable already holds an object is left alone. Types this builder does
// not know create nothing.
void BuildControls(const ControlDescriptor* table, PFrameWindow* window, HWND parentWindow);

// Places the controls of a built table for a layout area of width x height
// (rows whose variable holds no object are skipped).
void LayoutControls(const ControlDescriptor* table, PFrameWindow* window, int width, int height);

// Deletes the control objects of a table, last row first, and clears their
// variables.
void DestroyControlTable(const ControlDescriptor* table);
