// Mouse input of fractal windows: zoom by double click, the selection box
// drawn and edited with its handles, moving the view by dragging, dragging
// a layer, the observer drags of 3D views, the quaternion window's camera
// widget and the parameter pick. The box, drag and camera arithmetic are
// plain functions so that they are tested without windows; MouseClicked
// and MouseMoved apply them to a fractal's task.
#pragma once

#include <windows.h>

class Fractal;
class PControl;
class PFrameWindow;

// Mouse event codes passed by the window procedures.
enum MouseEvent {
    ME_LEFT_DOWN = 100, ME_MIDDLE_DOWN = 101, ME_RIGHT_DOWN = 102,
    ME_LEFT_UP = 200, ME_MIDDLE_UP = 201, ME_RIGHT_UP = 202,
    ME_LEFT_DOUBLE = 1000, ME_MIDDLE_DOUBLE = 1001, ME_RIGHT_DOUBLE = 1002,
};

// Selection-box modes of a task (FractalTask::mouseMode).
enum BoxMode {
    BOX_NONE = 0, BOX_IDLE = 1, BOX_MOVING = 2,
    BOX_CORNER_X1Y1 = 3, BOX_CORNER_X2Y1 = 4, BOX_CORNER_X2Y2 = 5, BOX_CORNER_X1Y2 = 6,
    BOX_EDGE_X1 = 7, BOX_EDGE_Y1 = 8, BOX_EDGE_X2 = 9, BOX_EDGE_Y2 = 10,
};

// "Not set" of the task's pixel positions (drag start, markers, box).
const int NOT_SET = -10000;

// Which of Shift, Control and Alt are held.
struct ModifierKeys {
    bool shift, control, alt;
    static ModifierKeys Current();
};

// True when a modifier setting (1 Shift, 2 Control, 4 Alt, 0 none of them)
// is satisfied by the keys held.
bool ModifierMatches(int setting, const ModifierKeys& keys);

// A selection box in the task's order: x1, x2, y1, y2.
struct SelectionBox {
    int x1, x2, y1, y2;
};

// The box mode a left press at (x, y) starts on a shown box: a handle
// within 4 pixels (corners first, then the edge middles), BOX_MOVING
// strictly inside, else BOX_IDLE.
int BoxModeAt(const SelectionBox& box, int x, int y);

// The box while the mouse is at (x, y) in a drag of mode mode that started
// at (startX, startY) on the box saved at the press. Corner drags keep
// the aspect ratio (width / height), the opposite corner fixed; edge drags
// move one side; BOX_MOVING shifts the saved box.
SelectionBox DragSelectionBox(const SelectionBox& box, const SelectionBox& saved, int mode,
                              double aspect, int startX, int startY, int x, int y);

// True once the mouse is more than 5 pixels (|dx| + |dy|) from the start:
// from then on a press is a drag.
bool IsPastDragThreshold(int startX, int startY, int x, int y);

// The camera a 3D drag turns: the observer looks at the viewpoint, the
// top vector points up.
struct ViewCamera {
    double observer[3], top[3], viewpoint[3];
};

// Degrees a drag from start to now turns: (start - now) x scale / size.
double DragAngle(int start, int now, double scale, int size);

// The orbit of the OpenGL view and of an attractor: the saved observer
// turned about the viewpoint around -top by aroundTop degrees, then tilted
// toward the top vector by tilt degrees (the top vector follows the tilt).
ViewCamera OrbitObserver(const ViewCamera& saved, double aroundTop, double tilt);

// An attractor's Shift drag: the observer stays and the saved viewpoint
// turns about it, around the top vector by pan degrees, then around
// unit(viewpoint - observer) x top by -tilt degrees.
ViewCamera TurnViewpoint(const ViewCamera& saved, double pan, double tilt);

// Right drags change the observer's distance: observer = viewpoint +
// (saved observer - viewpoint) x percent / 100. The OpenGL view grows with
// the square root of the rows dragged, an attractor with 2% a row.
double OpenGLDistancePercent(int dy);
double AttractorDistancePercent(int dy);

// The target of a parameter pick armed by a formula slot: the two doubles
// that receive the complex point under the mouse in the picked fractal's
// window, and a routine that shows them in the slot's number fields.
struct ParameterPickTarget {
    Fractal* fractal;   // whose parameter is picked
    double* re;
    double* im;
    void (*showValues)(double re, double im);
};
extern ParameterPickTarget g_ParameterPick;

// The splitter left of the "Fractal Formulas" window's formula list: a
// press in its strip and a drag set the list column's width.
struct FormulaSplitter {
    PControl* list;    // the formula list while the window exists (the window's code sets it)
    int columnWidth;   // the list column's width, which the window's layout reads
    bool dragging;
    int pressX, pressWidth;
};
extern FormulaSplitter g_FormulaSplitter;

// Whether (x, y) lies in the 8-pixel strip from the list's left edge
// (left to left + 7, top to bottom inclusive).
bool InSplitterStrip(const RECT& list, int x, int y);
// The column width while the mouse is at x in a drag that started at
// pressX with pressWidth: pressWidth + (x - pressX), never below 0.
int SplitterColumnWidth(int pressWidth, int pressX, int x);

// Button handling of a window; event is a MouseEvent, x and y client pixels.
void MouseClicked(PFrameWindow* window, int x, int y, int event);
void MouseMoved(PFrameWindow* window, int x, int y);
// The same under the exception guard ("Mouse Clicked for window ID %d",
// "Mouse Moved"): a failure is reported and input goes on.
void MouseClickedGuarded(PFrameWindow* window, int x, int y, int event);
void MouseMovedGuarded(PFrameWindow* window, int x, int y);
