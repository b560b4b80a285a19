// The turtle that draws an expanded L-system: its state, the stack of
// saved states, and the interpretation of one run of command characters
// (F G D M + - | ! \ / C < > @ [ ]). Coordinates are the turtle's own; the
// view maps them to image pixels (rows counted from the bottom).
#pragma once
#include <windows.h>
#include <stdint.h>

class Fractal;

struct TurtleState {
    double x, y;
    double direction;       // step direction, radians
    double colour;
    double length;          // step length
    double angleStep;       // radians per '+' or '-'
    double freeDirection;   // direction of 'D' and 'M', radians
    int32_t swap;           // '!' swaps the senses of the turns
};

enum { TURTLE_STACK_ROOM = 500, TURTLE_STACK_USED = 491 };

// A formula as the calculation reads it: copied under the formulas' lock,
// so the main thread may edit or delete the original meanwhile.
struct LSystemCopy {
    char* axiom;              // heap, never null once copied
    char* rules[256];         // replacement by symbol (first rule wins), heap or null
    double angleDivisor;
};

struct LSystemDrawContext {
    Fractal* fractal;
    int32_t maxDepth;
    double left, top, right, bottom;
    HDC dc;
    const LSystemCopy* formula;
    TurtleState turtle;
    TurtleState* stack;       // TURTLE_STACK_ROOM records
    int32_t saved;
};

// Converts the run of digits and '.' at position with "%lf" (at most 99
// characters of it; an empty run gives 0) and sets *last to the index of the
// run's last character (position - 1 when the run is empty).
double ReadLSystemNumber(const char* string, int position, int* last);

// Interprets length characters of string (numbers may run beyond). Returns
// how many characters the numbers read beyond length, or length when the
// turtle stack overflowed (the saved states are dropped).
int DrawLSystemString(LSystemDrawContext* context, const char* string, int length);
