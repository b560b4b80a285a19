// Selection changes of list and combo controls in tool and fractal windows.
#pragma once

class PFrameWindow;

// Reports the selection of control controlId to the request handlers. The
// scale combos of timelines placed in the window are handled with their
// timelines.
void OnSelectionChanged(PFrameWindow* window, int controlId);
