#pragma once
#include "foundation/List.h"

// A folder of fractals (a parameter file or an animation). Every folder
// hangs in the global FolderList; the folder's fractals are the Fractal
// nodes of its list.
class FractalFolder : public ListNode {
public:
    FractalFolder();
    // Deletes no fractal: they are deleted one by one before the folder goes.
    virtual ~FractalFolder();

    NodeList fractals;   // the Fractal nodes of the folder
};
