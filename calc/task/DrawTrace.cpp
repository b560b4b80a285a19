// The drawing-step trace hook; null unless a tool sets it.
#include "calc/task/DrawTrace.h"

void (*g_DrawTrace)(const double* values, int count) = nullptr;
