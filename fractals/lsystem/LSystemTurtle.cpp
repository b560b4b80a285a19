// The L-system turtle: each command character moves, turns, recolours or
// saves the turtle; 'F' and 'D' draw a line into the image in the palette
// colour of the turtle's colour wrapped into 0..251.
#include "fractals/lsystem/LSystemTurtle.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "calc/FractalTask.h"
#include "calc/task/DrawTrace.h"
#include "calc/task/Plot.h"
#include "document/Fractal.h"
#include "fractals/dynsys/PixelClip.h"

namespace {

const double kPi = 3.141592653589793;
bool IsNumberChar(char c)
{
    return (c >= '0' && c <= '9') || c == '.';
}

int PaletteColour(double colour)
{
    if (!isfinite(colour))
        return 0;
    int c = (int)fmod(trunc(colour), 252.0);
    return c < 0 ? c + 252 : c;
}

void ToPixel(const LSystemDrawContext* cx, double x, double y, double* col, double* row)
{
    const FractalHeader* h = cx->fractal->header;
    *col = (x - cx->left) * h->Width / (cx->right - cx->left);
    *row = (y - cx->bottom) * h->Height / (cx->top - cx->bottom);
}

// One step of the turtle's length along direction, drawn or not.
void Step(LSystemDrawContext* cx, double direction, bool draw)
{
    TurtleState& t = cx->turtle;
    double x0 = t.x, y0 = t.y;
    t.x += cos(direction) * t.length;
    t.y += sin(direction) * t.length;
    if (!draw)
        return;
    int c = PaletteColour(t.colour);
    Fractal* f = cx->fractal;
    const RGBQUAD& e = f->task->dib.colors[c];
    if (f->task->penColour[0] != e.rgbRed || f->task->penColour[1] != e.rgbGreen ||
        f->task->penColour[2] != e.rgbBlue)
        SelectPaletteColor(f, cx->dc, c);
    double c0, r0, c1, r1;
    ToPixel(cx, x0, y0, &c0, &r0);
    ToPixel(cx, t.x, t.y, &c1, &r1);
    if (ClipToPixelReach(&c0, &r0, &c1, &r1)) {
        MoveTo(f, cx->dc, (int)c0, (int)r0);
        DrawLine(f, cx->dc, (int)c1, (int)r1, c);
    }
    if (g_DrawTrace) {
        const double v[5] = { x0, y0, t.x, t.y, (double)c };
        g_DrawTrace(v, 5);
    }
}

}  // namespace

double ReadLSystemNumber(const char* string, int position, int* last)
{
    int end = position;
    while (IsNumberChar(string[end]))
        end++;
    *last = end - 1;
    char run[100];
    int n = end - position;
    if (n > 99)
        n = 99;
    memcpy(run, string + position, n);
    run[n] = 0;
    double value = 0.0;
    if (n == 0 || sscanf(run, "%lf", &value) != 1)
        value = 0.0;
    return value;
}

int DrawLSystemString(LSystemDrawContext* cx, const char* s, int length)
{
    TurtleState& t = cx->turtle;
    int i = 0;
    for (; i < length; i++) {
        int last = i;
        switch (s[i]) {
        case 'F': Step(cx, t.direction, true); break;
        case 'G': Step(cx, t.direction, false); break;
        case 'D': Step(cx, t.freeDirection, true); break;
        case 'M': Step(cx, t.freeDirection, false); break;
        case '+': t.direction += t.swap ? -t.angleStep : t.angleStep; break;
        case '-': t.direction += t.swap ? t.angleStep : -t.angleStep; break;
        case '|': t.direction += kPi; break;
        case '!': t.swap = !t.swap; break;
        case '\\': {
            double d = ReadLSystemNumber(s, i + 1, &last) * kPi / 180.0;
            t.freeDirection += t.swap ? -d : d;
            i = last;
            break;
        }
        case '/': {
            double d = ReadLSystemNumber(s, i + 1, &last) * kPi / 180.0;
            t.freeDirection += t.swap ? d : -d;
            i = last;
            break;
        }
        case 'C': t.colour = ReadLSystemNumber(s, i + 1, &last); i = last; break;
        case '<': t.colour += ReadLSystemNumber(s, i + 1, &last); i = last; break;
        case '>': t.colour -= ReadLSystemNumber(s, i + 1, &last); i = last; break;
        case '@': {
            bool reciprocal = false, root = false;
            for (int k = 1; k <= 2 && s[i + k]; k++) {
                reciprocal |= s[i + k] == 'I';
                root |= s[i + k] == 'Q';
            }
            int j = i + 1;
            while (s[j] == 'I' || s[j] == 'Q')
                j++;
            double v = ReadLSystemNumber(s, j, &last);
            if (reciprocal)
                v = 1.0 / v;
            if (root)
                v = sqrt(v);
            t.length *= v;
            i = last;
            break;
        }
        case '[':
            if (cx->saved >= TURTLE_STACK_USED) {
                cx->saved = 0;
                return length;
            }
            cx->stack[cx->saved++] = t;
            break;
        case ']':
            if (cx->saved > 0)
                t = cx->stack[--cx->saved];
            break;
        default: break;
        }
    }
    return i - length;
}
