// The fractal windows (MDI children, window id 2100) of calculation tasks:
// binds the task hooks that make, size, show, title and delete them, and the
// toolkit's painting of their client area from the task's image.
#pragma once

// Fills the window entries of g_TaskHooks, g_UiHandlers.PaintFractalWindow
// and the listing hook that titles a fractal window.
void BindFractalWindows();
