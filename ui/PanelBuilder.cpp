// The grid arithmetic and the control builder. A grid line's size is its
// pixels plus its font units in GUI-font characters plus a weighted share of
// the room left over; a control's rectangle is the span of its cell. The
// builder creates the widget of every row it knows and the layout moves them
// when the window's size changes.
#include "ui/PanelBuilder.h"

#include <math.h>

#include "ui/Font.h"
#include "ui/FrameWindow.h"
#include "ui/ListBox.h"
#include "ui/Toolkit.h"

namespace {

int CountLines(const GridLineSpec* const* lines)
{
    int count = 0;
    while (lines != NULL && lines[count] != NULL && count < GRID_MAX_LINES)
        count++;
    return count;
}

float FontWidthUnit()
{
    PFont* font = GuiFont();
    return font != NULL ? font->averageCharWidth : 0.0f;
}

float FontHeightUnit()
{
    PFont* font = GuiFont();
    return font != NULL ? font->charHeight : 0.0f;
}

// The rectangle of a row in the container's coordinates, shifted below the
// caption a docked window draws itself.
void RowRect(const ControlDescriptor& row, PFrameWindow* window, HWND parentWindow, int width, int height,
             RECT* rect)
{
    if (row.grid != NULL) {
        row.grid->SetSize(width, height);
        row.grid->GetCellRect(row.cell, rect);
    } else {
        SetRect(rect, 0, 0, 100, 100);
    }
    if (parentWindow == NULL && window != NULL && window->windowType == WT_DOCKED)
        OffsetRect(rect, 1, g_Toolkit.iCaptionHeight);
    if (rect->right == rect->left)
        rect->right = rect->left + 50;
    if (rect->bottom == rect->top)
        rect->bottom = rect->top + 50;
}

}  // namespace

int ComputeGridLines(const GridLineSpec* const* lines, int total, float fontUnit, int* positions)
{
    int count = CountLines(lines);
    int fixed = 0, weights = 0, lastWeighted = -1;
    for (int i = 0; i < count; i++) {
        fixed += lines[i]->pixels + (int)lroundf(lines[i]->fontUnits * fontUnit);
        if (lines[i]->weight > 0) {
            weights += lines[i]->weight;
            lastWeighted = i;
        }
    }
    int room = total - fixed;
    if (room < 0)
        room = 0;
    int shared = 0;
    positions[0] = 0;
    for (int i = 0; i < count; i++) {
        int size = lines[i]->pixels + (int)lroundf(lines[i]->fontUnits * fontUnit);
        if (lines[i]->weight > 0) {
            int share = (int)((long long)room * lines[i]->weight / weights);
            if (i == lastWeighted)
                share = room - shared;
            shared += share;
            size += share;
        }
        positions[i + 1] = positions[i] + size;
    }
    return count;
}

void GridLayout::SetSize(int width, int height)
{
    columnCount = ComputeGridLines(columns, width, FontWidthUnit(), columnPositions);
    rowCount = ComputeGridLines(rows, height, FontHeightUnit(), rowPositions);
}

void GridLayout::GetCellRect(unsigned cell, RECT* rect) const
{
    int column = 0, row = 0, columnSpan = columnCount, rowSpan = rowCount;
    if (cell >= 0x10000) {
        column = (int)((cell >> 24) & 0x7F);
        row = (int)((cell >> 16) & 0xFF);
        columnSpan = (int)((cell >> 8) & 0xFF);
        rowSpan = (int)(cell & 0xFF);
    }
    int lastColumn = column + columnSpan > columnCount ? columnCount : column + columnSpan;
    int lastRow = row + rowSpan > rowCount ? rowCount : row + rowSpan;
    if (column > columnCount)
        column = columnCount;
    if (row > rowCount)
        row = rowCount;
    SetRect(rect, columnPositions[column], rowPositions[row], columnPositions[lastColumn], rowPositions[lastRow]);
}

void BuildControls(const ControlDescriptor* table, PFrameWindow* window, HWND parentWindow)
{
    if (table == NULL || table->type == 0 || (table->variable != NULL && *table->variable != NULL))
        return;
    HWND parent = parentWindow != NULL ? parentWindow : window != NULL ? window->hwnd : NULL;
    for (const ControlDescriptor* row = table; row->type != 0; row++) {
        RECT r;
        RowRect(*row, window, parentWindow, window ? window->layoutWidth : 0, window ? window->layoutHeight : 0, &r);
        PControl* control = NULL;
        switch (row->type) {
        case CT_LISTBOX: {
            PListBox* list = new PListBox(window, parent, row->caption, row->id, r.left, r.top, r.right - r.left,
                                          r.bottom - r.top, (DWORD)row->parameter);
            list->AddStrings(static_cast<const char* const*>(row->extra));
            control = list;
            break;
        }
        default:
            break;
        }
        if (row->variable != NULL)
            *row->variable = control;
    }
}

void LayoutControls(const ControlDescriptor* table, PFrameWindow* window, int width, int height)
{
    if (table == NULL)
        return;
    for (const ControlDescriptor* row = table; row->type != 0; row++) {
        if (row->variable == NULL || *row->variable == NULL)
            continue;
        RECT r;
        RowRect(*row, window, NULL, width, height, &r);
        (*row->variable)->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top, KEEP_CURRENT, KEEP_CURRENT,
                                    NULL);
    }
}

void DestroyControlTable(const ControlDescriptor* table)
{
    if (table == NULL)
        return;
    int count = 0;
    while (table[count].type != 0)
        count++;
    for (int i = count - 1; i >= 0; i--) {
        PControl** variable = table[i].variable;
        if (variable != NULL && *variable != NULL) {
            delete *variable;
            *variable = NULL;
        }
    }
}
