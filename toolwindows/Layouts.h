// The layout definitions of the tool windows: the 85 grid lines all windows
// share, the grids of each window's tables, and the links made once at
// start-up between rows and grids, definitions and placement records.
// BuildWindowLayouts runs before the main initialisation.
#pragma once

#include "ui/PanelBuilder.h"

enum { SHARED_GRID_LINE_COUNT = 85 };

// The shared lines in their fixed order (0, 1px, -1px, ... 15u+*5).
extern const GridLineSpec g_SharedGridLines[SHARED_GRID_LINE_COUNT];

// Builds the layouts: empties the shared parameter slot, links every
// window definition with its placement record (the seven parameter windows
// with "Parameters"), and stores the grid of every row of every table the
// program has so far. A grid without columns shows the "Failure" box ("It
// seems as if global layout information has not been created...") and
// answers false: the program must end. True otherwise; later calls do
// nothing and answer true.
bool BuildWindowLayouts();

// Whether a grid can be used: it has at least one column line. Shows the
// failure box when not.
bool CheckGridLayout(const GridLayout* grid);

// The text and title of that failure box.
extern const char* const kLayoutFailureText;
extern const char* const kLayoutFailureTitle;
