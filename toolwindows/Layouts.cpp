// The layout definitions built once before the main initialisation: the 85
// grid lines every window shares, the grids of the window tables that exist,
// and the links from each row to its grid and from each window definition to
// its placement record (the seven parameter windows share "Parameters").
#include "toolwindows/Layouts.h"

#include "foundation/MessageBox.h"
#include "toolwindows/MessageWindow.h"
#include "toolwindows/ToolWindows.h"
#include "ui/WindowPlacement.h"

const char* const kLayoutFailureText =
    "It seems as if global layout information has not been created.\nMake sure the proper link settings are "
    "active. Program will terminate!";
const char* const kLayoutFailureTitle = "Failure";

// {pixels, font units, weight}, in their fixed order.
const GridLineSpec g_SharedGridLines[SHARED_GRID_LINE_COUNT] = {
    {0, 0.0f, 0},  // 0
    {1, 0.0f, 0},  // 1px
    {-1, 0.0f, 0},  // -1px
    {-2, 0.0f, 0},  // -2px
    {-3, 0.0f, 0},  // -3px
    {-5, 0.0f, 0},  // -5px
    {2, 0.0f, 0},  // 2px
    {3, 0.0f, 0},  // 3px
    {4, 0.0f, 0},  // 4px
    {5, 0.0f, 0},  // 5px
    {6, 0.0f, 0},  // 6px
    {7, 0.0f, 0},  // 7px
    {8, 0.0f, 0},  // 8px
    {9, 0.0f, 0},  // 9px
    {10, 0.0f, 0},  // 10px
    {13, 0.0f, 0},  // 13px
    {14, 0.0f, 0},  // 14px
    {15, 0.0f, 0},  // 15px
    {16, 0.0f, 0},  // 16px
    {18, 0.0f, 0},  // 18px
    {20, 0.0f, 0},  // 20px
    {22, 0.0f, 0},  // 22px
    {24, 0.0f, 0},  // 24px
    {26, 0.0f, 0},  // 26px
    {28, 0.0f, 0},  // 28px
    {30, 0.0f, 0},  // 30px
    {34, 0.0f, 0},  // 34px
    {36, 0.0f, 0},  // 36px
    {38, 0.0f, 0},  // 38px
    {50, 0.0f, 0},  // 50px
    {83, 0.0f, 0},  // 83px
    {100, 0.0f, 5},  // 100px+*5
    {3, 1.0f, 0},  // 3px+1u
    {6, 1.0f, 0},  // 6px+1u
    {8, 1.2f, 0},  // 8px+1.2u
    {15, 4.0f, 0},  // 15px+4u
    {3, 0.5f, 0},  // 3px+0.5u
    {0, 1.0f, 0},  // 1u
    {0, 2.0f, 0},  // 2u
    {0, 3.0f, 0},  // 3u
    {0, 4.0f, 0},  // 4u
    {0, 5.0f, 0},  // 5u
    {0, 6.0f, 0},  // 6u
    {0, 7.0f, 0},  // 7u
    {0, 8.0f, 0},  // 8u
    {0, 9.0f, 0},  // 9u
    {0, 10.0f, 0},  // 10u
    {0, 11.0f, 0},  // 11u
    {20, 1.0f, 5},  // 20px+1u+*5
    {3, 4.0f, 2},  // 3px+4u+*2
    {3, 5.0f, 5},  // 3px+5u+*5
    {0, 5.0f, 5},  // 5u+*5
    {0, 6.0f, 5},  // 6u+*5
    {0, 7.0f, 2},  // 7u+*2
    {0, 7.0f, 5},  // 7u+*5
    {0, 12.0f, 5},  // 12u+*5
    {0, 12.0f, 2},  // 12u+*2
    {0, 12.0f, 0},  // 12u
    {0, 13.0f, 0},  // 13u
    {0, 14.0f, 0},  // 14u
    {0, 15.0f, 0},  // 15u
    {20, 15.0f, 5},  // 20px+15u+*5
    {80, 20.0f, 5},  // 80px+20u+*5
    {0, 17.0f, 0},  // 17u
    {0, 20.0f, 0},  // 20u
    {0, 30.0f, 0},  // 30u
    {0, 0.0f, 1},  // *1
    {0, 0.0f, 2},  // *2
    {0, 0.0f, 5},  // *5
    {0, 8.0f, 5},  // 8u+*5
    {0, 4.0f, 5},  // 4u+*5
    {5, 2.3f, 0},  // 5px+2.3u
    {12, 1.0f, 0},  // 12px+1u
    {15, 1.0f, 0},  // 15px+1u
    {5, 5.0f, 0},  // 5px+5u
    {5, 6.0f, 0},  // 5px+6u
    {10, 6.0f, 0},  // 10px+6u
    {20, 6.0f, 5},  // 20px+6u+*5
    {20, 6.0f, 0},  // 20px+6u
    {20, 8.0f, 0},  // 20px+8u
    {30, 12.0f, 0},  // 30px+12u
    {5, 11.0f, 0},  // 5px+11u
    {0, 10.0f, 5},  // 10u+*5
    {30, 1.0f, 0},  // 30px+1u
    {0, 15.0f, 5},  // 15u+*5
};

namespace {

// Indexes of the shared lines the grids below use.
enum { LINE_2PX = 6, LINE_WEIGHT5 = 68 };

const GridLineSpec* const kPadded[] = {&g_SharedGridLines[LINE_2PX], &g_SharedGridLines[LINE_WEIGHT5],
                                       &g_SharedGridLines[LINE_2PX], NULL};

// Window 460: the list fills the window inside a 2-pixel border.
GridLayout g_MessageGrid = {kPadded, kPadded, {}, {}, 0, 0};

struct TableGrid {
    ControlDescriptor* table;
    GridLayout* grid;
};

// Every table built so far with the grid of its rows.
const TableGrid kTableGrids[] = {
    {g_MessageWindowControls, &g_MessageGrid},
};

}  // namespace

bool CheckGridLayout(const GridLayout* grid)
{
    if (grid != NULL && grid->columns != NULL && grid->columns[0] != NULL)
        return true;
    g_ErrorBox.Show(kLayoutFailureTitle, kLayoutFailureText);
    return false;
}

bool BuildWindowLayouts()
{
    static bool built = false;
    if (built)
        return true;
    g_ParameterWindow = NULL;
    for (ToolWindowEntry* entry = ToolWindowTable(); entry->windowId != 0; entry++)
        entry->definition->descriptor = FindWindowDescriptor(entry->placement);
    for (const TableGrid& link : kTableGrids) {
        if (!CheckGridLayout(link.grid))
            return false;
        for (ControlDescriptor* row = link.table; row->type != 0; row++)
            row->grid = link.grid;
    }
    built = true;
    return true;
}
