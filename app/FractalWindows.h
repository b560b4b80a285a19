// The fractal windows (MDI children, window id 2100) of calculation tasks:
// binds the task hooks that make, size, show, title and delete them, and the
// toolkit's painting of their client area from the task's image.
#pragma once

// Fills the window entries of g_TaskHooks, the painting, mouse, key, timer,
// palette and resize entries of g_UiHandlers and the listing hook that
// titles a fractal window.
void BindFractalWindows();
